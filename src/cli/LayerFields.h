#pragma once

// How `korvane set` and `korvane info --json` reach a model object's fields: by the model's field
// name, through the object's own getter and setter (the ones the editors use), with the command
// line's text parsed and checked before the setter sees it.
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <ostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/CommandArguments.h"
#include "cli/JsonWriter.h"
#include "foundation/Color.h"
#include "foundation/Geometry.h"

namespace korvane::cli {

// The reason a text is not a value of a field ("'abc' is not a number"); none when it was set.
using SetError = std::optional<std::string>;

template <class Object>
struct Field {
    std::string name;
    // Parses `text`, checks it and calls the setter, or answers why not (the object unchanged).
    std::function<SetError(Object&, const std::string& text)> set;
    // Writes the current value; empty for a field that can only be set (a preset key).
    std::function<void(const Object&, JsonWriter&)> write;
};

template <class Object>
using FieldTable = std::vector<Field<Object>>;

// The closed interval a number must lie in.
struct Range {
    double minimum = -std::numeric_limits<double>::infinity();
    double maximum = std::numeric_limits<double>::infinity();
};
inline constexpr Range kNonNegative{0.0, std::numeric_limits<double>::infinity()};
// Heights above the ground or the water, and the water level: no higher than the largest height
// scale a scene can have (a fog or a water box reaching further only costs render time).
inline constexpr Range kHeight{0.0, kMaximumTerrainHeight};

// Checks a parsed number against a range: the reason when it lies outside.
SetError checkRange(double value, Range range);
// Texts of the parse failures, naming the text that was given.
std::string notANumber(const std::string& text);
std::string notABoolean(const std::string& text);
std::string notAPoint(const std::string& text);
std::string notAColor(const std::string& text);

void writePoint(JsonWriter& w, Point point);
void writeColor(JsonWriter& w, const Color& color);

template <class Object>
const Field<Object>* findField(const FieldTable<Object>& table, std::string_view name) {
    for (const Field<Object>& field : table) {
        if (field.name == name) return &field;
    }
    return nullptr;
}

// Every readable field of the table as "name": value pairs of the JSON object being written.
template <class Object>
void writeFields(const FieldTable<Object>& table, const Object& object, JsonWriter& w) {
    for (const Field<Object>& field : table) {
        if (!field.write) continue;
        w.key(field.name);
        field.write(object, w);
    }
}

template <class Object>
Field<Object> boolField(const char* name, bool (Object::*get)() const, void (Object::*set)(bool)) {
    return {name,
            [set](Object& o, const std::string& text) -> SetError {
                std::optional<bool> value = parseBoolean(text);
                if (!value) return notABoolean(text);
                (o.*set)(*value);
                return std::nullopt;
            },
            [get](const Object& o, JsonWriter& w) { w.value((o.*get)()); }};
}

template <class Object>
Field<Object> floatField(const char* name, float (Object::*get)() const, void (Object::*set)(float),
                         Range range = {}) {
    return {name,
            [set, range](Object& o, const std::string& text) -> SetError {
                std::optional<double> value = parseNumber(text);
                if (!value) return notANumber(text);
                if (SetError outside = checkRange(*value, range)) return outside;
                if (std::abs(*value) > std::numeric_limits<float>::max()) return "'" + text + "' is too large";
                (o.*set)(static_cast<float>(*value));
                return std::nullopt;
            },
            [get](const Object& o, JsonWriter& w) { w.value((o.*get)()); }};
}

template <class Object>
Field<Object> pointField(const char* name, Point (Object::*get)() const, void (Object::*set)(Point)) {
    return {name,
            [set](Object& o, const std::string& text) -> SetError {
                std::optional<Point> value = parsePoint(text);
                if (!value) return notAPoint(text);
                (o.*set)(*value);
                return std::nullopt;
            },
            [get](const Object& o, JsonWriter& w) { writePoint(w, (o.*get)()); }};
}

template <class Object>
Field<Object> colorField(const char* name, Color (Object::*get)() const, void (Object::*set)(const Color&)) {
    return {name,
            [set](Object& o, const std::string& text) -> SetError {
                std::optional<Color> value = parseColor(text);
                if (!value) return notAColor(text);
                (o.*set)(*value);
                return std::nullopt;
            },
            [get](const Object& o, JsonWriter& w) { writeColor(w, (o.*get)()); }};
}

// The names of a table's fields, in its order.
template <class Object>
std::vector<std::string> fieldNames(const FieldTable<Object>& table) {
    std::vector<std::string> names;
    for (const Field<Object>& field : table) names.push_back(field.name);
    return names;
}

// One family of `set` keys, "PREFIX.FIELD": its field table and the object of a scene that holds
// the fields.
struct FieldFamily {
    std::string prefix;  // "water", "lighting.sun"
    std::vector<std::string> fields;
    std::function<bool(std::string_view field)> hasField;
    // Tries the value on a new object outside any scene: the reason when no document would take it.
    std::function<SetError(std::string_view field, const std::string& text)> check;
    // Sets the field on the scene's object, or answers why not.
    std::function<SetError(Scene& scene, std::string_view field, const std::string& text)> set;
};

// `find` answers the object holding the fields, or null when the scene has none; `missing` is the
// reason given then ("the document has no water layer"). `scratch` makes a new object of the class,
// outside any scene, for check().
template <class Object>
FieldFamily fieldFamily(std::string prefix, const FieldTable<Object>& table, std::function<Object*(Scene&)> find,
                        std::string missing, std::function<std::shared_ptr<Object>()> scratch) {
    return {std::move(prefix), fieldNames(table),
            [&table](std::string_view field) { return findField(table, field) != nullptr; },
            [&table, scratch](std::string_view field, const std::string& text) -> SetError {
                const Field<Object>* entry = findField(table, field);
                if (!entry) return "unknown field";
                std::shared_ptr<Object> object = scratch();
                return entry->set(*object, text);
            },
            [&table, find, missing](Scene& scene, std::string_view field, const std::string& text) -> SetError {
                const Field<Object>* entry = findField(table, field);
                if (!entry) return "unknown field";
                Object* object = find(scene);
                if (!object) return missing;
                return entry->set(*object, text);
            }};
}

// A command-line option that sets a field ("--power 2" sets "power"), as given.
struct FieldOption {
    std::string option;
    std::string field;
    std::string value;
};

// Sets each option's field on `object` in the order given and answers the first refusal as
// "OPTION: reason". Tried on a new object outside any scene, it finds the values that no document
// would take, so commands call it so before they open one.
template <class Object>
std::optional<std::string> checkFieldOptions(const FieldTable<Object>& table, Object& object,
                                             const std::vector<FieldOption>& options) {
    for (const FieldOption& option : options) {
        const Field<Object>* field = findField(table, option.field);
        SetError error = field ? field->set(object, option.value) : SetError("unknown field " + option.field);
        if (error) return option.option + ": " + *error;
    }
    return std::nullopt;
}

// Sets each option's field on the object in the order given; at the first refusal prints
// "korvane: FILE: OPTION: reason" and answers false.
template <class Object>
bool applyFieldOptions(const FieldTable<Object>& table, Object& object, const std::vector<FieldOption>& options,
                       const std::string& path, std::ostream& err) {
    if (std::optional<std::string> refused = checkFieldOptions(table, object, options)) {
        err << "korvane: " << path << ": " << *refused << "\n";
        return false;
    }
    return true;
}

}  // namespace korvane::cli
