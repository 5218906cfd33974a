#pragma once

#include <string>
#include <vector>

#include "foundation/Bitmap.h"

namespace korvane::tools {

// One plant image as the plants layer uses it: the colour picture and its transparency map
// (black where the plant is, white where it is clear), stored under the given file names.
struct PlantTexture {
    std::string colorFileName;
    std::string transparencyFileName;
    Bitmap color;
    Bitmap transparency;
};

// Every plant image of the plant kinds, drawn from fixed seeds: tufts of grass in several colours,
// grass with daisies, a wheat stalk and a fallen leaf.
std::vector<PlantTexture> drawPlantTextures();

}  // namespace korvane::tools
