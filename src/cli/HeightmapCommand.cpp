// `korvane heightmap FILE --import IMAGE [-o OUT]` draws a picture into the document's terrain;
// `korvane heightmap FILE --export OUT.png` writes the terrain as a 16-bit grey PNG.
#include <optional>

#include "cli/CommandArguments.h"
#include "cli/Commands.h"
#include "foundation/FileIO.h"
#include "document/Document.h"
#include "scene/layers/terrain/TerrainLayer.h"

namespace korvane::cli {

namespace {

// Pictures larger than this are refused before decoding.
constexpr size_t kMaxImageBytes = size_t(1) << 30;

constexpr const char* kHeightmapExtension = ".png";

// The document's terrain (the first in the stack); prints why there is none.
TerrainLayer* terrainOf(Scene& scene, const std::string& path, std::ostream& err) {
    auto terrains = scene.layersOfClass<TerrainLayer>();
    if (terrains.empty()) {
        err << "korvane: " << path << ": the document has no terrain layer\n";
        return nullptr;
    }
    if (!terrains.front()->heightmapImageRep()) {
        err << "korvane: " << path << ": the terrain has no heightmap (the scene has no area)\n";
        return nullptr;
    }
    return terrains.front().get();
}

int importHeightmap(const std::string& path, const std::string& image, const std::string& output,
                    Console& console) {
    std::ostream& err = console.err;
    std::string error;
    std::optional<std::vector<uint8_t>> bytes = readFileContents(image, kMaxImageBytes, &error);
    if (!bytes) {
        err << "korvane: " << image << ": " << error << "\n";
        return 1;
    }
    const int status = editSceneFile(
        path, output,
        [&](Scene& scene) {
            TerrainLayer* terrain = terrainOf(scene, path, err);
            if (!terrain) return false;
            if (!terrain->importHeightmap(*bytes, &error)) {
                err << "korvane: " << image << ": " << error << "\n";
                return false;
            }
            return true;
        },
        err);
    if (status == 0) console.wrote(output.empty() ? path : output);
    return status;
}

int exportHeightmap(const std::string& path, const std::string& png, Console& console) {
    std::ostream& err = console.err;
    if (std::optional<std::string> reason = unwritableReason(png)) {
        err << "korvane: " << png << ": " << *reason << "\n";
        return 1;
    }
    Document document;
    if (!openDocument(path, document, err)) return 1;
    TerrainLayer* terrain = terrainOf(document.scene(), path, err);
    if (!terrain) return 1;
    const std::vector<uint8_t> encoded = terrain->exportHeightmapPng();
    std::string error;
    if (encoded.empty() || !writeFileAtomically(png, encoded, &error)) {
        err << "korvane: " << png << ": " << (encoded.empty() ? "the heightmap could not be encoded" : error)
            << "\n";
        return 1;
    }
    console.wrote(png);
    return 0;
}

}  // namespace

int runHeightmap(const std::vector<std::string>& args, Console& console) {
    std::ostream& err = console.err;
    ArgumentCursor arguments(args, "heightmap", err);
    std::string path, output;
    std::optional<std::string> image, png;
    while (!arguments.done()) {
        const std::string arg = arguments.take();
        std::optional<std::string>* target = arg == "--import" ? &image : arg == "--export" ? &png : nullptr;
        if (target || arg == "-o") {
            std::optional<std::string> value = arguments.value(arg);
            if (!value) return kUsageError;
            if (target) {
                *target = *value;
            } else {
                output = *value;
            }
        } else if (path.empty() && !arg.empty() && arg[0] != '-') {
            path = arg;
        } else {
            return arguments.fail((arg.starts_with("-") ? "unknown option '" : "unexpected argument '") + arg + "'");
        }
    }
    if (path.empty()) return arguments.fail("no document given");
    if (image.has_value() == png.has_value()) return arguments.fail("give exactly one of --import and --export");
    if (png && !output.empty()) return arguments.fail("-o goes with --import only");
    if (png && !hasExtension(*png, kHeightmapExtension))
        return arguments.fail("--export writes a PNG: '" + *png + "' must end in " + kHeightmapExtension);
    return image ? importHeightmap(path, *image, output, console) : exportHeightmap(path, *png, console);
}

}  // namespace korvane::cli
