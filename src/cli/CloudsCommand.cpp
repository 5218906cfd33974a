// `korvane clouds FILE --add [OPTIONS]`: adds a cloud to the clouds layer, with a new cloud's
// defaults for what the options leave out.
#include <map>

#include "cli/CommandArguments.h"
#include "cli/Commands.h"
#include "cli/FieldFamilies.h"
#include "scene/layers/clouds/CloudsLayer.h"

namespace korvane::cli {

namespace {

constexpr const char* kCloudsUsage =
    "usage: korvane clouds FILE --add [--box x0,y0,x1,y1] [--height H] [--above A] [--density D]\n"
    "                      [--cover C] [--sharpness S] [--edge-mode 0|1]\n";

// The options and the cloud fields they set.
const std::map<std::string, std::string> kCloudOptions = {
    {"--box", "boundingBox"},   {"--height", "height"}, {"--above", "heightAboveGround"},
    {"--density", "density"},   {"--cover", "cover"},   {"--sharpness", "sharpness"},
    {"--edge-mode", "edgeMode"},
};

}  // namespace

int runClouds(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
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
            cursor.fail("unexpected argument '" + arg + "'");
            err << kCloudsUsage;
            return 2;
        }
    }
    if (path.empty() || !add) {
        err << kCloudsUsage;
        return 2;
    }
    return editSceneFile(path, {}, [&](Scene& scene) {
        CloudsLayer* clouds = lastLayerOfClass<CloudsLayer>(scene);
        if (!clouds) {
            err << "korvane: " << path << ": the document has no clouds layer\n";
            return false;
        }
        auto cloud = std::make_shared<Cloud>();
        if (!applyFieldOptions(cloudFields(), *cloud, options, "clouds", err)) return false;
        clouds->addCloud(cloud);
        return true;
    }, err);
}

}  // namespace korvane::cli
