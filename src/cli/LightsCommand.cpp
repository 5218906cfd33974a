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

constexpr const char* kDirectional = "directional";
constexpr const char* kPoint = "point";

// The options of each kind of light and the fields they set.
const std::map<std::string, std::string> kDirectionalOptions = {
    {"--direction", "direction"}, {"--power", "power"}, {"--color", "color"}, {"--shadow-angle", "shadowAngle"}};
const std::map<std::string, std::string> kPointOptions = {
    {"--position", "position"}, {"--power", "power"}, {"--color", "color"}, {"--height", "heightOverGround"}};

}  // namespace

int runLights(const std::vector<std::string>& args, Console& console) {
    std::ostream& err = console.err;
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
        } else if (arg.starts_with("-")) {
            if (!kDirectionalOptions.contains(arg) && !kPointOptions.contains(arg))
                return cursor.fail("unknown option '" + arg + "'");
            std::optional<std::string> value = cursor.value(arg);
            if (!value) return 2;
            given.emplace_back(arg, *value);
        } else if (path.empty()) {
            path = arg;
        } else {
            return cursor.fail("unexpected argument '" + arg + "'");
        }
    }
    if (path.empty()) return cursor.fail("no file given");
    if (!kind) return cursor.fail("--add directional|point is needed");
    const bool directional = *kind == kDirectional;
    const auto& known = directional ? kDirectionalOptions : kPointOptions;
    std::vector<FieldOption> options;
    for (const auto& [option, value] : given) {
        auto field = known.find(option);
        if (field == known.end()) {
            return cursor.fail(option + " does not apply to a " + *kind + " light");
        }
        options.push_back({option, field->second, value});
    }
    // Values no light takes are usage errors, found before the document is opened.
    std::optional<std::string> refused;
    if (directional) {
        DirectionalLight scratch;
        refused = checkFieldOptions(directionalLightFields(), static_cast<BaseDirectionalLight&>(scratch), options);
    } else {
        PointLight scratch;
        refused = checkFieldOptions(pointLightFields(), scratch, options);
    }
    if (refused) return cursor.fail(*refused);
    const int status = editSceneFile(path, {}, [&](Scene& scene) {
        LightingLayer* lighting = lastLayerOfClass<LightingLayer>(scene);
        if (!lighting) {
            err << "korvane: " << path << ": the document has no lighting layer\n";
            return false;
        }
        std::shared_ptr<BaseLight> light;
        if (directional) {
            auto created = std::make_shared<DirectionalLight>(lighting);
            if (!applyFieldOptions(directionalLightFields(), static_cast<BaseDirectionalLight&>(*created), options,
                                   path, err)) {
                return false;
            }
            light = created;
        } else {
            auto created = std::make_shared<PointLight>(lighting);
            if (!applyFieldOptions(pointLightFields(), *created, options, path, err)) return false;
            light = created;
        }
        if (userName) light->setUserName(*userName);
        lighting->addLight(light);
        return true;
    }, err);
    if (status == 0) console.wrote(path);
    return status;
}

}  // namespace korvane::cli
