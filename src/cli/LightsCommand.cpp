// `korvane lights FILE --add directional|point [OPTIONS]`: adds a directional or a point light to
// the lighting layer, with the new light's defaults for what the options leave out.
#include <map>

#include "cli/CommandArguments.h"
#include "cli/Commands.h"
#include "cli/FieldFamilies.h"
#include "scene/layers/lighting/DirectionalLight.h"
#include "scene/layers/lighting/LightingLayer.h"

namespace korvane::cli {

namespace {

constexpr const char* kLightsUsage =
    "usage: korvane lights FILE --add directional|point [--direction x,y | --position x,y] [--power P]\n"
    "                      [--color r,g,b[,a]] [--shadow-angle A] [--height H] [--name NAME]\n";
constexpr const char* kDirectional = "directional";
constexpr const char* kPoint = "point";

// The options of each kind of light and the fields they set.
const std::map<std::string, std::string> kDirectionalOptions = {
    {"--direction", "direction"}, {"--power", "power"}, {"--color", "color"}, {"--shadow-angle", "shadowAngle"}};
const std::map<std::string, std::string> kPointOptions = {
    {"--position", "position"}, {"--power", "power"}, {"--color", "color"}, {"--height", "heightOverGround"}};

}  // namespace

int runLights(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
    ArgumentCursor cursor(args, "lights", err);
    std::string path;
    std::optional<std::string> kind;
    std::optional<std::string> userName;
    std::vector<std::pair<std::string, std::string>> given;  // option, value
    while (!cursor.done()) {
        std::string arg = cursor.take();
        if (arg == "--add") {
            kind = cursor.value(arg);
            if (!kind) return 2;
            if (*kind != kDirectional && *kind != kPoint) {
                cursor.fail("--add: '" + *kind + "' is not a kind of light (directional, point)");
                return 2;
            }
        } else if (arg == "--name") {
            userName = cursor.value(arg);
            if (!userName) return 2;
        } else if (arg.starts_with("--")) {
            std::optional<std::string> value = cursor.value(arg);
            if (!value) return 2;
            given.emplace_back(arg, *value);
        } else if (path.empty()) {
            path = arg;
        } else {
            cursor.fail("unexpected argument '" + arg + "'");
            err << kLightsUsage;
            return 2;
        }
    }
    if (path.empty() || !kind) {
        err << kLightsUsage;
        return 2;
    }
    const bool directional = *kind == kDirectional;
    const auto& known = directional ? kDirectionalOptions : kPointOptions;
    std::vector<FieldOption> options;
    for (const auto& [option, value] : given) {
        auto field = known.find(option);
        if (field == known.end()) {
            cursor.fail(option + " does not apply to a " + *kind + " light");
            err << kLightsUsage;
            return 2;
        }
        options.push_back({option, field->second, value});
    }
    return editSceneFile(path, {}, [&](Scene& scene) {
        LightingLayer* lighting = lastLayerOfClass<LightingLayer>(scene);
        if (!lighting) {
            err << "korvane: " << path << ": the document has no lighting layer\n";
            return false;
        }
        std::shared_ptr<BaseLight> light;
        if (directional) {
            auto created = std::make_shared<DirectionalLight>(lighting);
            if (!applyFieldOptions(directionalLightFields(), static_cast<BaseDirectionalLight&>(*created), options,
                                   "lights", err)) {
                return false;
            }
            light = created;
        } else {
            auto created = std::make_shared<PointLight>(lighting);
            if (!applyFieldOptions(pointLightFields(), *created, options, "lights", err)) return false;
            light = created;
        }
        if (userName) light->setUserName(*userName);
        lighting->addLight(light);
        return true;
    }, err);
}

}  // namespace korvane::cli
