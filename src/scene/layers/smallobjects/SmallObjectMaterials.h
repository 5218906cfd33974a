#pragma once

#include <memory>
#include <string>

#include "foundation/Bitmap.h"
#include "scene/layers/smallobjects/SmallRock.h"
#include "scene/materials/DiffuseMaterial.h"

namespace korvane {

// The materials of the small objects, built from the materials model so that they reach the ray
// tracer as any other material does (the image textures through their temporary TGA files).

// A diffuse material coloured by an image of the plants resources and cut out by a second image as
// its transparency shader, with the given translucency. An image that cannot be found or read leaves
// its texture without a bitmap (the texture then creates nothing, and the material still renders).
std::shared_ptr<DiffuseMaterial> plantMaterial(const std::string& diffuseImage, const std::string& transparencyImage,
                                               float translucency);

// A rock material: a two-colour marble as the diffuse shader with a marble bump of strength 0.1, or
// a plain colour with a constant transparency.
std::shared_ptr<DiffuseMaterial> rockMaterial(const RockMaterialRecipe& recipe);

// The image of the plants resources with this file name ("GreenGrass.png"), decoded once per process
// and shared; null for an empty name, or when no resources folder holds it or it cannot be decoded.
// Any thread.
std::shared_ptr<Bitmap> plantImageNamed(const std::string& fileName);

}  // namespace korvane
