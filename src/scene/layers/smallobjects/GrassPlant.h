#pragma once

#include <string>

#include "scene/layers/smallobjects/BaseSmallObject.h"

namespace korvane {

// What tells the grass kinds apart: names, texture images and sizes.
struct GrassPlantTraits {
    const char* className;
    const char* name;                         // empty for GrassPlant itself (never offered)
    const char* diffuseTextureFileName;       // image resource in the plants folder
    const char* transparencyTextureFileName;  // its alpha map: white opaque, black clear
    Size size;                                // footprint for the density
    Size basePlantSize;                       // blade half width and height
};

// Grass: single upright textured quads standing on the terrain, one mesh per density-map cell.
class GrassPlant : public BaseSmallObject {
public:
    GrassPlant();

    std::string className() const override { return traits_.className; }
    std::string name() const override { return traits_.name; }
    // The image named by the diffuse texture.
    std::string icon() const override { return traits_.diffuseTextureFileName; }
    Size size() const override { return traits_.size; }
    std::string diffuseTextureFileName() const { return traits_.diffuseTextureFileName; }
    std::string transparencyTextureFileName() const { return traits_.transparencyTextureFileName; }
    Size basePlantSize() const { return traits_.basePlantSize; }

    // A diffuse material showing the kind's image, cut out by its alpha map.
    void prepareForRenderer(BaseRenderer& renderer) override;
    void placeSmallObject(int count, const Rect& cell, float strength, const Scene& scene,
                          BaseRenderer& renderer) override;

    const yafaray::material_t* yMaterial() const { return yMaterial_; }

protected:
    explicit GrassPlant(const GrassPlantTraits& traits) : traits_(traits) {}

private:
    GrassPlantTraits traits_;
    const yafaray::material_t* yMaterial_ = nullptr;  // valid during one render only
};

// The kinds offered in the plants layer's list (their traits are in GrassPlant.cpp).
class GreenGrassPlant final : public GrassPlant {
public:
    GreenGrassPlant();
};
class GreenGrassPlant2 final : public GrassPlant {
public:
    GreenGrassPlant2();
};
class GreenGrassPlant3 final : public GrassPlant {
public:
    GreenGrassPlant3();
};
class YellowGrassPlant final : public GrassPlant {
public:
    YellowGrassPlant();
};
class IcyGrassPlant final : public GrassPlant {
public:
    IcyGrassPlant();
};
class DesertGrassPlant final : public GrassPlant {
public:
    DesertGrassPlant();
};
class DesertGrassPlant2 final : public GrassPlant {
public:
    DesertGrassPlant2();
};
class DaisyGrassPlant final : public GrassPlant {
public:
    DaisyGrassPlant();
};
class SmallWheatPlant final : public GrassPlant {
public:
    SmallWheatPlant();
};
class LargeWheatPlant final : public GrassPlant {
public:
    LargeWheatPlant();
};

}  // namespace korvane
