#include "cli/TextureLayerInfo.h"

#include <cstdint>
#include <optional>
#include <string>

#include "scene/layers/texture/TerrainTextureLayer.h"
#include "scene/materials/MaterialPresetRecognition.h"

namespace korvane::cli {

namespace {

double meanValue(const Bitmap& mask) {
    if (mask.empty()) return 0.0;
    uint64_t sum = 0;
    const uint8_t* samples = mask.data();
    for (size_t i = 0; i < mask.sizeInBytes(); ++i) sum += samples[i];
    return static_cast<double>(sum) / static_cast<double>(mask.sizeInBytes());
}

void writeMap(const TerrainTextureLayerMaterialMap& map, int index, JsonWriter& w) {
    w.beginObject();
    w.key("index");
    w.value(index);
    w.key("name");
    w.value(map.name());
    if (const Bitmap* mask = map.maskImageRep().get()) {
        w.key("maskSize");
        w.beginArray();
        w.value(mask->width());
        w.value(mask->height());
        w.endArray();
        w.key("meanMaskValue");
        w.value(meanValue(*mask));
    }
    if (map.material()) {
        if (std::optional<std::string> key = matchingPresetKey(*map.material())) {
            w.key("materialPresetKey");
            w.value(*key);
        }
    }
    w.endObject();
}

}  // namespace

void writeTextureLayerInfo(const BaseSceneLayer& layer, JsonWriter& w) {
    const auto* textureLayer = dynamic_cast<const TerrainTextureLayer*>(&layer);
    if (!textureLayer) return;
    w.key("materialMaps");
    w.beginArray();
    const auto& maps = textureLayer->materialMaps();
    for (size_t i = 0; i < maps.size(); ++i) writeMap(*maps[i], static_cast<int>(i), w);
    w.endArray();
}

}  // namespace korvane::cli
