#include "cli/LayerFields.h"

#include <sstream>

namespace korvane::cli {

namespace {
std::string quoted(const std::string& text) { return "'" + text + "'"; }
}  // namespace

SetError checkRange(double value, Range range) {
    if (value >= range.minimum && value <= range.maximum) return std::nullopt;
    std::ostringstream reason;
    reason << value << " is outside ";
    if (std::isinf(range.maximum)) {
        reason << "the allowed values (at least " << range.minimum << ")";
    } else if (std::isinf(range.minimum)) {
        reason << "the allowed values (at most " << range.maximum << ")";
    } else {
        reason << range.minimum << " to " << range.maximum;
    }
    return reason.str();
}

std::string notANumber(const std::string& text) { return quoted(text) + " is not a number"; }
std::string notABoolean(const std::string& text) { return quoted(text) + " is not true or false"; }
std::string notAPoint(const std::string& text) { return quoted(text) + " is not a point x,y"; }
std::string notAColor(const std::string& text) {
    return quoted(text) + " is not a colour r,g,b or r,g,b,a with components from 0 to 1";
}

void writePoint(JsonWriter& w, Point point) {
    w.beginArray();
    w.value(point.x);
    w.value(point.y);
    w.endArray();
}

void writeColor(JsonWriter& w, const Color& color) {
    w.beginArray();
    for (double component : {color.red, color.green, color.blue, color.alpha}) w.value(component);
    w.endArray();
}

}  // namespace korvane::cli
