// `korvane set FILE KEY=VALUE…`: sets model fields by their names through the setters the editors
// use, then saves. Every key and value is checked before the document is opened: an unknown key or
// a value that no document takes is a usage error; a document that cannot take a value (it lacks
// the layer) is a failure. Either way the file stays as it was.
#include <vector>

#include "cli/CommandArguments.h"
#include "cli/Commands.h"
#include "cli/FieldFamilies.h"

namespace korvane::cli {

namespace {

const std::vector<FieldFamily>& fieldFamilies() {
    static const std::vector<FieldFamily> families = {
        sceneFieldFamily(), terrainFieldFamily(), cameraFieldFamily(), waterFieldFamily(),
        skyFieldFamily(),   fogFieldFamily(),     sunFieldFamily(),
    };
    return families;
}

// What an unknown key could have been: the fields of the family it names, or the families.
std::string knownKeys(const std::string& key) {
    const FieldFamily* named = nullptr;
    for (const FieldFamily& family : fieldFamilies()) {
        const bool prefixMatches = key.size() > family.prefix.size() && key.starts_with(family.prefix) &&
                                   key[family.prefix.size()] == '.';
        // "lighting.sun" is longer than any prefix it could be confused with.
        if (prefixMatches && (!named || family.prefix.size() > named->prefix.size())) named = &family;
    }
    std::string list;
    if (named) {
        for (const std::string& field : named->fields) list += (list.empty() ? "" : ", ") + field;
        return named->prefix + " has " + list;
    }
    for (const FieldFamily& family : fieldFamilies()) list += (list.empty() ? "" : ", ") + family.prefix + ".*";
    return "keys: " + list;
}

struct Assignment {
    std::string key;
    const FieldFamily* family;
    std::string field;
    std::string value;
};

// The family and field a key names ("lighting.sun.power"), or none.
std::optional<Assignment> resolve(const std::string& key, const std::string& value) {
    for (const FieldFamily& family : fieldFamilies()) {
        if (key.size() <= family.prefix.size() + 1 || key.compare(0, family.prefix.size(), family.prefix) != 0 ||
            key[family.prefix.size()] != '.') {
            continue;
        }
        std::string field = key.substr(family.prefix.size() + 1);
        if (family.hasField(field)) return Assignment{key, &family, field, value};
    }
    return std::nullopt;
}

}  // namespace

int runSet(const std::vector<std::string>& args, Console& console) {
    std::ostream& err = console.err;
    ArgumentCursor cursor(args, "set", err);
    if (cursor.done() || cursor.peek().starts_with("-")) {
        return cursor.fail(cursor.done() ? "no file given" : "unknown option '" + cursor.peek() + "'");
    }
    std::string path = cursor.take();
    std::vector<Assignment> assignments;
    while (!cursor.done()) {
        std::string argument = cursor.take();
        size_t equals = argument.find('=');
        if (equals == std::string::npos || equals == 0) return cursor.fail("'" + argument + "' is not KEY=VALUE");
        std::string key = argument.substr(0, equals);
        std::optional<Assignment> assignment = resolve(key, argument.substr(equals + 1));
        if (!assignment) return cursor.fail("unknown key '" + key + "' (" + knownKeys(key) + ")");
        if (SetError refused = assignment->family->check(assignment->field, assignment->value))
            return cursor.fail(key + ": " + *refused);
        assignments.push_back(*assignment);
    }
    if (assignments.empty()) return cursor.fail("no KEY=VALUE given");
    const int status = editSceneFile(path, {}, [&](Scene& scene) {
        for (const Assignment& assignment : assignments) {
            if (SetError error = assignment.family->set(scene, assignment.field, assignment.value)) {
                err << "korvane: " << path << ": " << assignment.key << ": " << *error << "\n";
                return false;
            }
        }
        return true;
    }, err);
    if (status == 0) console.wrote(path);
    return status;
}

}  // namespace korvane::cli
