// `korvane terrain FILE OP… [-o OUT]`: runs the terrain editor's generators and filters on the
// document's heightmap, in the order given, and saves. Every argument is checked before the document
// is touched.
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <sstream>

#include "cli/CommandArguments.h"
#include "cli/Commands.h"
#include "editing/FractalFilterSheet.h"
#include "editing/NoiseFilterSheet.h"
#include "editing/Perlin.h"
#include "editing/TerrainLayerEditing.h"
#include "scene/layers/terrain/TerrainLayer.h"

namespace korvane::cli {

namespace {

constexpr long long kMaxDrops = 1000000;

// One parsed operation: what it prints while it runs, and the edit itself.
struct TerrainOperation {
    std::string description;
    std::function<bool(TerrainLayer&)> apply;
};

// Reads the values of one operation from the cursor, reporting the first problem.
class OperationParser {
public:
    explicit OperationParser(ArgumentCursor& arguments) : arguments_(arguments) {}

    // A number in [low, high] (by default 0..1) after `option`.
    std::optional<float> numberIn(const std::string& option, double low = 0.0, double high = 1.0) {
        std::optional<double> value = arguments_.number(option);
        if (!value) return std::nullopt;
        if (*value < low || *value > high) {
            std::ostringstream message;
            message << option << ": " << *value << " is outside " << low << ".." << high;
            arguments_.fail(message.str());
            return std::nullopt;
        }
        return static_cast<float>(*value);
    }
    // An integer in [low, high] after `option`.
    std::optional<long long> integer(const std::string& option, long long low, long long high) {
        std::optional<std::string> text = arguments_.value(option);
        if (!text) return std::nullopt;
        std::optional<long long> value = parseInteger(*text);
        if (!value) {
            arguments_.fail(option + ": '" + *text + "' is not an integer");
            return std::nullopt;
        }
        if (*value < low || *value > high) {
            arguments_.fail(option + ": " + *text + " is outside " + std::to_string(low) + ".." +
                            std::to_string(high));
            return std::nullopt;
        }
        return value;
    }
    // The named sub-option that must come next, e.g. "--large" after "--fractal TAG".
    bool expect(const std::string& option, const std::string& after) {
        if (!arguments_.done() && arguments_.peek() == option) {
            arguments_.take();
            return true;
        }
        arguments_.fail(after + " needs " + option);
        return false;
    }
    bool nextIs(const std::string& option) const { return !arguments_.done() && arguments_.peek() == option; }
    void take() { arguments_.take(); }

private:
    ArgumentCursor& arguments_;
};

bool isFractalPreset(long long tag) {
    return (tag >= static_cast<int>(FractalPreset::CentralPeak) &&
            tag <= static_cast<int>(FractalPreset::TwoPeaks)) ||
           tag == static_cast<int>(FractalPreset::CurrentTerrain);
}

std::optional<int> noiseMode(const std::string& text) {
    if (text == "blend" || text == "0") return static_cast<int>(NoiseMode::Blend);
    if (text == "add" || text == "1") return static_cast<int>(NoiseMode::Add);
    if (text == "subtract" || text == "2") return static_cast<int>(NoiseMode::Subtract);
    return std::nullopt;
}

std::optional<TerrainOperation> parseFractal(OperationParser& p, ArgumentCursor& arguments) {
    std::optional<std::string> tagText = arguments.value("--fractal");
    if (!tagText) return std::nullopt;
    std::optional<long long> tag = parseInteger(*tagText);
    if (!tag || !isFractalPreset(*tag)) {
        arguments.fail("--fractal: '" + *tagText + "' is not a preset tag (0, 1, 2, 3, 4 or 256)");
        return std::nullopt;
    }
    if (!p.expect("--large", "--fractal")) return std::nullopt;
    std::optional<float> large = p.numberIn("--large");
    if (!large || !p.expect("--small", "--fractal")) return std::nullopt;
    std::optional<float> small = p.numberIn("--small");
    if (!small) return std::nullopt;
    // Without a seed, the current time, as the editor's sheet picks one.
    int64_t seed = static_cast<int64_t>(std::time(nullptr));
    if (p.nextIs("--seed")) {
        p.take();
        std::optional<long long> given = p.integer("--seed", INT64_MIN, INT64_MAX);
        if (!given) return std::nullopt;
        seed = *given;
    }
    std::ostringstream description;
    description << "fractal terrain, preset " << *tag << ", roughness " << *large << " / " << *small
                << ", seed " << seed;
    const int presetTag = static_cast<int>(*tag);
    return TerrainOperation{description.str(), [=](TerrainLayer& terrain) {
                                return generateFractalTerrainLayer(terrain, presetTag, *large, *small, seed);
                            }};
}

std::optional<TerrainOperation> parseNoise(OperationParser& p, ArgumentCursor& arguments) {
    std::optional<std::string> modeText = arguments.value("--noise");
    if (!modeText) return std::nullopt;
    std::optional<int> mode = noiseMode(*modeText);
    if (!mode) {
        arguments.fail("--noise: '" + *modeText + "' is not a mode (blend, add or subtract)");
        return std::nullopt;
    }
    if (!p.expect("--strength", "--noise")) return std::nullopt;
    std::optional<float> strength = p.numberIn("--strength");
    if (!strength || !p.expect("--frequency", "--noise")) return std::nullopt;
    std::optional<float> frequency = p.numberIn("--frequency", 0.0, 1.0e6);
    if (!frequency) return std::nullopt;
    if (*frequency <= 0.0f) {
        arguments.fail("--frequency: must be above 0");
        return std::nullopt;
    }
    if (!p.expect("--octaves", "--noise")) return std::nullopt;
    std::optional<long long> octaves = p.integer("--octaves", 0, Perlin::kMaxOctaves);
    if (!octaves) return std::nullopt;
    std::ostringstream description;
    description << "noise (" << *modeText << "), strength " << *strength << ", frequency " << *frequency
                << ", " << *octaves << " octaves";
    const int octaveCount = static_cast<int>(*octaves);
    return TerrainOperation{description.str(), [=](TerrainLayer& terrain) {
                                return addNoiseToTerrainLayer(terrain, *mode, *strength, *frequency,
                                                              octaveCount);
                            }};
}

// Parses one operation starting at option `name` (already taken).
std::optional<TerrainOperation> parseOperation(const std::string& name, ArgumentCursor& arguments) {
    OperationParser p(arguments);
    if (name == "--fractal") return parseFractal(p, arguments);
    if (name == "--noise") return parseNoise(p, arguments);
    if (name == "--clamp") {
        std::optional<float> bottom = p.numberIn("--clamp");
        if (!bottom) return std::nullopt;
        std::optional<float> top = p.numberIn("--clamp");
        if (!top) return std::nullopt;
        std::ostringstream description;
        description << "clamp to " << *bottom << ".." << *top;
        return TerrainOperation{description.str(), [=](TerrainLayer& terrain) {
                                    return clampTerrainLayer(terrain, *bottom, *top);
                                }};
    }
    if (name == "--equalize" || name == "--flats") {
        std::optional<float> strength = p.numberIn(name);
        if (!strength) return std::nullopt;
        std::ostringstream description;
        description << (name == "--equalize" ? "equalize" : "flats") << ", strength " << *strength;
        if (name == "--equalize") {
            return TerrainOperation{description.str(), [=](TerrainLayer& terrain) {
                                        return equalizeTerrainLayer(terrain, *strength);
                                    }};
        }
        return TerrainOperation{description.str(), [=](TerrainLayer& terrain) {
                                    return flattenTerrainLayer(terrain, *strength);
                                }};
    }
    if (name == "--erode") {
        std::optional<long long> drops = p.integer("--erode", 0, kMaxDrops);
        if (!drops) return std::nullopt;
        std::optional<float> strength = p.numberIn("--erode");
        if (!strength) return std::nullopt;
        std::ostringstream description;
        description << "erosion, " << *drops << " drops, strength " << *strength;
        const int dropCount = static_cast<int>(*drops);
        return TerrainOperation{description.str(), [=](TerrainLayer& terrain) {
                                    return erodeTerrainLayer(terrain, dropCount, *strength);
                                }};
    }
    arguments.fail("unknown operation '" + name + "'");
    return std::nullopt;
}

}  // namespace

int runTerrain(const std::vector<std::string>& args, Console& console) {
    std::ostream& err = console.err;
    ArgumentCursor arguments(args, "terrain", err);
    std::string path, output;
    std::vector<TerrainOperation> operations;
    while (!arguments.done()) {
        const std::string arg = arguments.take();
        if (arg == "-o") {
            std::optional<std::string> value = arguments.value(arg);
            if (!value) return kUsageError;
            output = *value;
        } else if (!arg.empty() && arg[0] == '-') {
            std::optional<TerrainOperation> operation = parseOperation(arg, arguments);
            if (!operation) return kUsageError;
            operations.push_back(std::move(*operation));
        } else if (path.empty()) {
            path = arg;
        } else {
            return arguments.fail("unexpected argument '" + arg + "'");
        }
    }
    if (path.empty() || operations.empty())
        return arguments.fail(path.empty() ? "no document given" : "no operation given");
    const int status = editSceneFile(
        path, output,
        [&](Scene& scene) {
            auto terrains = scene.layersOfClass<TerrainLayer>();
            if (terrains.empty() || !terrains.front()->heightmapImageRep()) {
                err << "korvane: " << path << ": the document has no terrain heightmap to edit\n";
                return false;
            }
            for (size_t i = 0; i < operations.size(); ++i) {
                if (!console.quiet())
                    err << "[" << (i + 1) << "/" << operations.size() << "] " << operations[i].description
                        << std::endl;
                if (!operations[i].apply(*terrains.front())) {
                    err << "korvane: " << path << ": " << operations[i].description << " failed\n";
                    return false;
                }
            }
            return true;
        },
        err);
    if (status == 0) console.wrote(output.empty() ? path : output);
    return status;
}

}  // namespace korvane::cli
