#pragma once

#include <string>

#include "scene/layers/smallobjects/SmallRock.h"

namespace yafaray {
class yafrayInterface_t;
class material_t;
}  // namespace yafaray

namespace korvane {

// The render materials of the small objects, sent as the diffuse material of the materials model
// sends itself: textures first, then the material with its texture-mapper nodes. Each call makes
// fresh, uniquely named textures and a material; the handle is valid for the current render.

// A diffuse material coloured by an image resource of the plants folder and cut out by a second
// one as its transparency, with the given translucency. A missing image sends no texture (its node
// then names a texture that does not exist, as for any image texture without a source).
const yafaray::material_t* appendPlantMaterial(yafaray::yafrayInterface_t& yi, const std::string& diffuseImage,
                                               const std::string& transparencyImage, float translucency);

// A rock material: two-colour marble with a marble bump of strength 0.1, or a plain colour.
const yafaray::material_t* appendRockMaterial(yafaray::yafrayInterface_t& yi, const RockMaterialRecipe& recipe);

}  // namespace korvane
