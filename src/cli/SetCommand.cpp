// `korvane set FILE KEY=VALUE…`: sets model fields by their names through the setters the editors
// use, then saves. Any unknown key or bad value changes nothing: the file stays as it was.
#include <vector>

#include "cli/CommandArguments.h"
#include "cli/Commands.h"
#include "cli/FieldFamilies.h"

namespace korvane::cli {

namespace {

constexpr const char* kSetUsage = "usage: korvane set FILE KEY=VALUE...\n";

const std::vector<FieldFamily>& fieldFamilies() {
    static const std::vector<FieldFamily> families = {
        sceneFieldFamily(), terrainFieldFamily(), cameraFieldFamily(), waterFieldFamily(),
        skyFieldFamily(),   fogFieldFamily(),     sunFieldFamily(),
    };
    return families;
}

std::string knownPrefixes() {
    std::string list;
    for (const FieldFamily& family : fieldFamilies()) list += (list.empty() ? "" : ", ") + family.prefix + ".*";
    return list;
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

int runSet(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
    ArgumentCursor cursor(args, "set", err);
    if (cursor.done() || cursor.peek().starts_with("-")) {
        err << kSetUsage;
        return 2;
    }
    std::string path = cursor.take();
    std::vector<Assignment> assignments;
    while (!cursor.done()) {
        std::string argument = cursor.take();
        size_t equals = argument.find('=');
        if (equals == std::string::npos || equals == 0) {
            cursor.fail("'" + argument + "' is not KEY=VALUE");
            err << kSetUsage;
            return 2;
        }
        std::string key = argument.substr(0, equals);
        std::optional<Assignment> assignment = resolve(key, argument.substr(equals + 1));
        if (!assignment) return cursor.fail("unknown key '" + key + "' (keys: " + knownPrefixes() + ")");
        assignments.push_back(*assignment);
    }
    if (assignments.empty()) {
        err << kSetUsage;
        return 2;
    }
    return editSceneFile(path, {}, [&](Scene& scene) {
        for (const Assignment& assignment : assignments) {
            if (SetError error = assignment.family->set(scene, assignment.field, assignment.value)) {
                err << "korvane: set: " << assignment.key << ": " << *error << "\n";
                return false;
            }
        }
        return true;
    }, err);
}

}  // namespace korvane::cli
