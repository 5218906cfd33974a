// `korvane materials FILE --preset KEY [-o OUT]`: rebuilds the document's terrain materials from one of
// the texture layer's presets (materials and automatic slope and height fills) and saves.
// `korvane materials [FILE] --list`: the presets' keys and names.
#include <iomanip>
#include <optional>

#include "cli/CommandArguments.h"
#include "cli/Commands.h"
#include "scene/layers/terrain/TerrainLayer.h"
#include "scene/layers/texture/TerrainTextureLayer.h"

namespace korvane::cli {

namespace {


std::optional<PresetDictionary> presetWithKey(const std::string& key) {
    for (const PresetDictionary& preset : TerrainTextureLayer::presetDictionaries()) {
        if (preset.presetKey == key) return preset;
    }
    return std::nullopt;
}

void listPresets(std::ostream& out) {
    for (const PresetDictionary& preset : TerrainTextureLayer::presetDictionaries())
        out << std::left << std::setw(34) << preset.presetKey << " " << preset.name << "\n";
}

// The layer the terrain renders with: the first texture layer of the scene.
bool applyPreset(Scene& scene, const PresetDictionary& preset, const std::string& path, std::ostream& err) {
    const auto layers = scene.layersOfClass<TerrainTextureLayer>();
    if (layers.empty()) {
        err << "korvane: " << path << ": the document has no terrain texture layer\n";
        return false;
    }
    TerrainTextureLayer& layer = *layers.front();
    // Without a heightmap the fills would leave every mask blank.
    if (!layer.terrainLayer() || !layer.terrainLayer()->heightmapImageRep()) {
        err << "korvane: " << path << ": the terrain texture layer has no terrain to fill its masks from\n";
        return false;
    }
    layer.configureWithPresetDictionary(preset);
    return true;
}

}  // namespace

int runMaterials(const std::vector<std::string>& args, Console& console) {
    std::ostream& out = console.out;
    std::ostream& err = console.err;
    ArgumentCursor cursor(args, "materials", err);
    std::string path, output, presetKey;
    bool list = false;
    while (!cursor.done()) {
        const std::string argument = cursor.take();
        if (argument == "--list") {
            list = true;
        } else if (argument == "--preset" || argument == "-o" || argument == "--output") {
            std::optional<std::string> value = cursor.value(argument);
            if (!value) return 2;
            (argument == "--preset" ? presetKey : output) = *value;
        } else if (path.empty() && !argument.empty() && argument[0] != '-') {
            path = argument;
        } else {
            return cursor.fail((argument.starts_with("-") ? "unknown option '" : "unexpected argument '") +
                               argument + "'");
        }
    }
    if (list) {
        if (!presetKey.empty() || !output.empty()) {
            cursor.fail("--list takes no --preset or -o");
            return 2;
        }
        listPresets(out);
        return 0;
    }
    if (path.empty()) return cursor.fail("no file given");
    if (presetKey.empty()) return cursor.fail("--preset KEY or --list is needed");
    // An unknown key would empty the stack, so it is refused before the document is opened.
    std::optional<PresetDictionary> preset = presetWithKey(presetKey);
    if (!preset) {
        return cursor.fail("unknown preset '" + presetKey + "' (korvane materials --list shows them)");
    }
    const int status = editSceneFile(
        path, output, [&](Scene& scene) { return applyPreset(scene, *preset, path, err); }, err);
    if (status == 0) console.wrote(output.empty() ? path : output);
    return status;
}

}  // namespace korvane::cli
