#pragma once

#include "cli/JsonWriter.h"

namespace korvane {
class BaseSceneLayer;
}

namespace korvane::cli {

// For a plants or rocks layer, adds to the layer's JSON object being written: "kind" (the kind's class
// name; left out for a layer without a kind), "kindName" (its display name, "none" without a kind),
// "mapSize" ([width, height] of the density map) and "meanDensity" (0–1). Other layers get nothing.
void writeSmallObjectsLayerInfo(const BaseSceneLayer& layer, JsonWriter& w);

}  // namespace korvane::cli
