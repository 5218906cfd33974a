#pragma once

#include "cli/JsonWriter.h"

namespace korvane {
class BaseSceneLayer;
}

namespace korvane::cli {

// For an objects layer, adds "meshObjects" to the layer's JSON object being written: per object its
// "name", "position" ([x, y] on the plan), "scale", "zRotation", "heightOverTerrain", "bounds"
// ({"start": [x, y, z], "end": [x, y, z]}), "meshes", "vertices", "faces" and "materials" counts.
// Other layers get nothing.
void writeMeshLayerInfo(const BaseSceneLayer& layer, JsonWriter& w);

}  // namespace korvane::cli
