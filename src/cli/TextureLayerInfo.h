#pragma once

#include "cli/JsonWriter.h"

namespace korvane {
class BaseSceneLayer;
}

namespace korvane::cli {

// For a terrain texture layer, adds "materialMaps" to the layer's JSON object being written: per map
// its "index", "name", "maskSize" ([width, height]) and "meanMaskValue" (0–255; both left out for the
// base map, which has no mask), and "materialPresetKey" while its material still is exactly one of
// the material presets. Other layers get nothing.
void writeTextureLayerInfo(const BaseSceneLayer& layer, JsonWriter& w);

}  // namespace korvane::cli
