// `korvane info FILE [--json]`: what a scene document holds.
#include <functional>
#include <iomanip>
#include <variant>

#include "cli/Commands.h"
#include "cli/FieldFamilies.h"
#include "cli/JsonWriter.h"
#include "cli/SmallObjectsInfo.h"
#include "cli/TerrainInfo.h"
#include "cli/MeshInfo.h"
#include "cli/TextureLayerInfo.h"
#include "cli/CommandArguments.h"
#include "document/Document.h"

namespace korvane::cli {

namespace {

using SettingValue = std::variant<bool, float, Color>;

struct PostProcessingSetting {
    const char* name;
    std::function<SettingValue(const Scene&)> read;
};

// The post-processing settings in the order the archive stores them.
const std::vector<PostProcessingSetting>& postProcessingSettings() {
    static const std::vector<PostProcessingSetting> settings = {
        {"farDepthOfField", [](const Scene& s) { return SettingValue(s.farDepthOfField()); }},
        {"farDepthOfFieldStart", [](const Scene& s) { return SettingValue(s.farDepthOfFieldStart()); }},
        {"farDepthOfFieldBias", [](const Scene& s) { return SettingValue(s.farDepthOfFieldBias()); }},
        {"farDepthOfFieldMaximumStrength",
         [](const Scene& s) { return SettingValue(s.farDepthOfFieldMaximumStrength()); }},
        {"nearDepthOfField", [](const Scene& s) { return SettingValue(s.nearDepthOfField()); }},
        {"nearDepthOfFieldEnd", [](const Scene& s) { return SettingValue(s.nearDepthOfFieldEnd()); }},
        {"nearDepthOfFieldBias", [](const Scene& s) { return SettingValue(s.nearDepthOfFieldBias()); }},
        {"nearDepthOfFieldMaximumStrength",
         [](const Scene& s) { return SettingValue(s.nearDepthOfFieldMaximumStrength()); }},
        {"bloomFilter", [](const Scene& s) { return SettingValue(s.bloomFilter()); }},
        {"bloomRadius", [](const Scene& s) { return SettingValue(s.bloomRadius()); }},
        {"bloomIntensity", [](const Scene& s) { return SettingValue(s.bloomIntensity()); }},
        {"depthTint", [](const Scene& s) { return SettingValue(s.depthTint()); }},
        {"depthTintStart", [](const Scene& s) { return SettingValue(s.depthTintStart()); }},
        {"depthTintBias", [](const Scene& s) { return SettingValue(s.depthTintBias()); }},
        {"depthTintOpacity", [](const Scene& s) { return SettingValue(s.depthTintOpacity()); }},
        {"depthTintColor", [](const Scene& s) { return SettingValue(s.depthTintColor()); }},
        {"vibranceFilter", [](const Scene& s) { return SettingValue(s.vibranceFilter()); }},
        {"vibranceStrength", [](const Scene& s) { return SettingValue(s.vibranceStrength()); }},
    };
    return settings;
}

std::string json(const Scene& scene) {
    JsonWriter w;
    w.beginObject();
    w.key("size");
    w.beginArray();
    w.value(scene.size().width);
    w.value(scene.size().height);
    w.endArray();
    w.key("maxTerrainHeight");
    w.value(scene.maxTerrainHeight());
    w.key("sizeOverflow");
    w.value(scene.sizeOverflow());
    w.key("layers");
    w.beginArray();
    for (const auto& layer : scene.layers()) {
        w.beginObject();
        w.key("class");
        w.value(layer->archiveClassName());
        w.key("name");
        w.value(layer->name());
        writeTextureLayerInfo(*layer, w);
        writeLightingLayerInfo(*layer, w);
        writeSkyLayerInfo(*layer, w);
        writeFogLayerInfo(*layer, w);
        writeWaterLayerInfo(*layer, w);
        writeCloudsLayerInfo(*layer, w);
        writeSmallObjectsLayerInfo(*layer, w);
        writeTerrainAndCameraInfo(*layer, w);
        writeMeshLayerInfo(*layer, w);
        w.endObject();
    }
    w.endArray();
    w.key("postProcessing");
    w.beginObject();
    for (const PostProcessingSetting& setting : postProcessingSettings()) {
        w.key(setting.name);
        std::visit(
            [&](const auto& v) {
                using T = std::decay_t<decltype(v)>;
                if constexpr (std::is_same_v<T, Color>) {
                    w.beginArray();
                    for (double component : {v.red, v.green, v.blue, v.alpha}) w.value(component);
                    w.endArray();
                } else {
                    w.value(v);
                }
            },
            setting.read(scene));
    }
    w.endObject();
    w.endObject();
    return w.text();
}

void text(const Scene& scene, std::ostream& out) {
    out << "size: " << scene.size().width << " x " << scene.size().height << "\n";
    out << "maximum terrain height: " << scene.maxTerrainHeight() << "\n";
    out << "layers (" << scene.layers().size() << "):\n";
    for (size_t i = 0; i < scene.layers().size(); ++i) {
        const auto& layer = scene.layers()[i];
        out << "  " << (i + 1) << ". " << layer->name() << " (" << layer->archiveClassName() << ")\n";
    }
    out << "post-processing:\n";
    for (const PostProcessingSetting& setting : postProcessingSettings()) {
        out << "  " << setting.name << ": ";
        std::visit(
            [&](const auto& v) {
                using T = std::decay_t<decltype(v)>;
                if constexpr (std::is_same_v<T, Color>) {
                    out << "rgba(" << v.red << ", " << v.green << ", " << v.blue << ", " << v.alpha << ")";
                } else if constexpr (std::is_same_v<T, bool>) {
                    out << (v ? "on" : "off");
                } else {
                    out << v;
                }
            },
            setting.read(scene));
        out << "\n";
    }
}

}  // namespace

int runInfo(const std::vector<std::string>& args, Console& console) {
    ArgumentCursor cursor(args, "info", console.err);
    std::string path;
    bool asJson = false;
    for (const std::string& arg : args) {
        if (arg == "--json") {
            asJson = true;
        } else if (path.empty() && (arg.empty() || arg[0] != '-')) {
            path = arg;
        } else {
            return cursor.fail("unexpected argument '" + arg + "'");
        }
    }
    if (path.empty()) return cursor.fail("no scene file given");
    Document document;
    if (!openDocument(path, document, console.err)) return kFailure;
    if (asJson) {
        console.out << json(document.scene()) << "\n";
    } else {
        text(document.scene(), console.out);
    }
    return 0;
}

}  // namespace korvane::cli
