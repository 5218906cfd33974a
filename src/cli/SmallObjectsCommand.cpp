// `korvane plants FILE --add KIND …` and `korvane rocks FILE --add KIND …`: add a plants or rocks
// layer of one kind, its density map painted evenly or filled from the terrain's steepness or height.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <iomanip>

#include "cli/CommandArguments.h"
#include "cli/Commands.h"
#include "cli/FieldFamilies.h"
#include "editing/AutoFillSheetController.h"
#include "scene/layers/smallobjects/PlantsLayer.h"
#include "scene/layers/smallobjects/RocksLayer.h"
#include "scene/layers/terrain/TerrainLayer.h"

namespace korvane::cli {

namespace {

// What the command line asks of the new layer's density map.
struct MapRequest {
    std::string fill;  // "", "steepness" or "height"
    std::optional<int> type;
    std::optional<double> threshold;
    std::optional<double> strength;
    std::optional<double> height;
    std::optional<double> paintAll;
};

std::string lowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A kind of the layer named by its class name ("GreenGrassPlant") or its display name ("green grass").
const SmallObjectClass* kindNamed(const SmallObjectsLayer& layer, const std::string& name) {
    for (const SmallObjectClass* kind : layer.allSmallObjectClasses()) {
        if (kind->className == name || lowerCase(kind->name()) == lowerCase(name)) return kind;
    }
    return nullptr;
}

std::shared_ptr<SmallObjectsLayer> newLayer(const std::string& command, Scene* scene) {
    if (command == "plants") return std::make_shared<PlantsLayer>(scene);
    return std::make_shared<RocksLayer>(scene);
}

int listKinds(const std::string& command, std::ostream& out) {
    auto layer = newLayer(command, nullptr);
    for (const SmallObjectClass* kind : layer->allSmallObjectClasses()) {
        out << std::left << std::setw(22) << kind->className << kind->name() << "\n";
    }
    return 0;
}

bool within(double value, double low, double high) { return value >= low && value <= high; }

// Checks the values' ranges; prints the usage error and returns false for the first one out of range.
bool checkRequest(const MapRequest& r, ArgumentCursor& cursor) {
    if (!r.fill.empty() && r.fill != "steepness" && r.fill != "height") {
        cursor.fail("--fill takes steepness or height, not '" + r.fill + "'");
        return false;
    }
    if (r.fill.empty() && (r.type || r.threshold || r.strength || r.height)) {
        cursor.fail("--type, --threshold, --strength and --height need --fill");
        return false;
    }
    if (!r.fill.empty() && r.paintAll) {
        cursor.fail("--fill and --paint-all cannot be combined");
        return false;
    }
    if (r.fill == "steepness" && r.height) {
        cursor.fail("--height belongs to --fill height");
        return false;
    }
    if (r.fill == "height" && r.strength) {
        cursor.fail("--strength belongs to --fill steepness");
        return false;
    }
    const int lastType = r.fill == "steepness" ? 1 : 2;
    if (r.type && !within(*r.type, 0, lastType)) {
        cursor.fail("--type must be 0 to " + std::to_string(lastType) + " for --fill " + r.fill);
        return false;
    }
    const std::pair<const char*, const std::optional<double>&> fractions[] = {
        {"--threshold", r.threshold}, {"--height", r.height}, {"--paint-all", r.paintAll}};
    for (const auto& [option, value] : fractions) {
        if (value && !within(*value, 0.0, 1.0)) {
            cursor.fail(std::string(option) + " must be between 0 and 1");
            return false;
        }
    }
    if (r.strength && !(*r.strength >= 0)) {
        cursor.fail("--strength must not be negative");
        return false;
    }
    return true;
}

// Paints or fills the layer's map as asked; false (after saying why) when the fill has no terrain.
bool applyRequest(const MapRequest& r, Scene& scene, SmallObjectsLayer& layer, const std::string& path,
                  std::ostream& err) {
    Bitmap* map = layer.mapImageRep().get();
    if (!map || map->empty()) return true;
    if (r.paintAll) {
        const auto value = static_cast<uint8_t>(std::lround(*r.paintAll * 255.0));
        std::memset(map->data(), value, map->sizeInBytes());
        return true;
    }
    if (r.fill.empty()) return true;
    TerrainLayer* terrain = lastLayerOfClass<TerrainLayer>(scene);
    const Bitmap* heightmap = terrain ? terrain->heightmapImageRep() : nullptr;
    if (!heightmap) {
        err << "korvane: " << path << ": the document has no terrain to fill the density map from\n";
        return false;
    }
    bool filled = false;
    if (r.fill == "steepness") {
        filled = SteepnessAutoFillSheet::applyFunctionToBitmap(*map, *heightmap, r.type.value_or(0),
                                                               static_cast<float>(r.threshold.value_or(0.5)),
                                                               static_cast<float>(r.strength.value_or(0.5)));
    } else {
        filled = HeightAutoFillSheet::applyFunctionToBitmap(*map, *heightmap, r.type.value_or(0),
                                                            static_cast<float>(r.threshold.value_or(0.1)),
                                                            static_cast<float>(r.height.value_or(0.5)));
    }
    if (!filled) {
        err << "korvane: " << path << ": the terrain's heightmap does not match the scene size\n";
        return false;
    }
    return true;
}

int runSmallObjects(const std::string& command, const std::vector<std::string>& args, Console& console) {
    std::ostream& err = console.err;
    ArgumentCursor cursor(args, command, err);
    std::string path, kindName;
    bool list = false;
    MapRequest request;
    auto number = [&](const std::string& option, std::optional<double>& into) {
        into = cursor.number(option);
        return into.has_value();
    };
    while (!cursor.done()) {
        const std::string arg = cursor.take();
        bool ok = true;
        if (arg == "--list") {
            list = true;
        } else if (arg == "--add" || arg == "--fill") {
            std::optional<std::string> value = cursor.value(arg);
            if (!value) return 2;
            (arg == "--add" ? kindName : request.fill) = *value;
        } else if (arg == "--type") {
            std::optional<std::string> value = cursor.value(arg);
            if (!value) return 2;
            std::optional<long long> type = parseInteger(*value);
            if (!type || *type < 0 || *type > 2) {
                cursor.fail("--type takes 0, 1 or 2, not '" + *value + "'");
                return 2;
            }
            request.type = static_cast<int>(*type);
        } else if (arg == "--threshold") {
            ok = number(arg, request.threshold);
        } else if (arg == "--strength") {
            ok = number(arg, request.strength);
        } else if (arg == "--height") {
            ok = number(arg, request.height);
        } else if (arg == "--paint-all") {
            ok = number(arg, request.paintAll);
        } else if (path.empty() && !arg.starts_with("-")) {
            path = arg;
        } else {
            return cursor.fail((arg.starts_with("-") ? "unknown option '" : "unexpected argument '") + arg + "'");
        }
        if (!ok) return 2;
    }
    if (list && path.empty() && kindName.empty()) return listKinds(command, console.out);
    if (path.empty() || kindName.empty() || list) {
        return cursor.fail(path.empty() ? "no scene file given" : kindName.empty() ? "--add KIND is needed"
                                                                                   : "--list takes no scene file");
    }
    if (!checkRequest(request, cursor)) return 2;
    const SmallObjectClass* kind = kindNamed(*newLayer(command, nullptr), kindName);
    if (!kind) {
        cursor.fail("unknown kind '" + kindName + "' (korvane " + command + " --list names them)");
        return 2;
    }
    std::shared_ptr<SmallObjectsLayer> added;
    const int status = editSceneFile(path, {}, [&](Scene& scene) {
        std::shared_ptr<SmallObjectsLayer> layer = newLayer(command, &scene);
        layer->setBaseSmallObjectClass(kind);
        if (!applyRequest(request, scene, *layer, path, err)) return false;
        scene.addLayer(layer);
        added = layer;
        return true;
    }, err);
    if (status == 0 && added) {
        console.notes() << added->name() << ": mean density " << added->meanDensity() << "\n";
        console.wrote(path);
    }
    return status;
}

}  // namespace

int runPlants(const std::vector<std::string>& args, Console& console) {
    return runSmallObjects("plants", args, console);
}

int runRocks(const std::vector<std::string>& args, Console& console) {
    return runSmallObjects("rocks", args, console);
}

}  // namespace korvane::cli
