// `korvane clouds FILE --add [OPTIONS]`: adds a cloud to the clouds layer, with a new cloud's
// defaults for what the options leave out.
#include <map>

#include "cli/CommandArguments.h"
#include "cli/Commands.h"
#include "cli/FieldFamilies.h"
#include "scene/layers/clouds/CloudsLayer.h"

namespace korvane::cli {

namespace {


// The options and the cloud fields they set.
const std::map<std::string, std::string> kCloudOptions = {
    {"--box", "boundingBox"},   {"--height", "height"}, {"--above", "heightAboveGround"},
    {"--density", "density"},   {"--cover", "cover"},   {"--sharpness", "sharpness"},
    {"--edge-mode", "edgeMode"},
};

}  // namespace

int runClouds(const std::vector<std::string>& args, Console& console) {
    std::ostream& err = console.err;
    ArgumentCursor cursor(args, "clouds", err);
    std::string path;
    bool add = false;
    std::vector<FieldOption> options;
    while (!cursor.done()) {
        std::string arg = cursor.take();
        if (arg == "--add") {
            add = true;
        } else if (auto field = kCloudOptions.find(arg); field != kCloudOptions.end()) {
            std::optional<std::string> value = cursor.value(arg);
            if (!value) return 2;
            options.push_back({arg, field->second, *value});
        } else if (path.empty() && !arg.starts_with("-")) {
            path = arg;
        } else {
            return cursor.fail((arg.starts_with("-") ? "unknown option '" : "unexpected argument '") + arg + "'");
        }
    }
    if (path.empty()) return cursor.fail("no file given");
    if (!add) return cursor.fail("--add is needed");
    // Values no cloud takes are usage errors, found before the document is opened.
    Cloud scratch;
    if (std::optional<std::string> refused = checkFieldOptions(cloudFields(), scratch, options))
        return cursor.fail(*refused);
    const int status = editSceneFile(path, {}, [&](Scene& scene) {
        CloudsLayer* clouds = lastLayerOfClass<CloudsLayer>(scene);
        if (!clouds) {
            err << "korvane: " << path << ": the document has no clouds layer\n";
            return false;
        }
        auto cloud = std::make_shared<Cloud>();
        if (!applyFieldOptions(cloudFields(), *cloud, options, path, err)) return false;
        clouds->addCloud(cloud);
        return true;
    }, err);
    if (status == 0) console.wrote(path);
    return status;
}

}  // namespace korvane::cli
