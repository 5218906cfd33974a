#pragma once

#include "cli/JsonWriter.h"
#include "scene/BaseSceneLayer.h"

namespace korvane::cli {

// Adds to the open JSON object of a layer what `korvane info --json` tells of terrain and camera
// layers: the heightmap's size, border mode, smoothing and height range, or every camera field.
// Other layers get nothing.
void writeTerrainAndCameraInfo(const BaseSceneLayer& layer, JsonWriter& w);

}  // namespace korvane::cli
