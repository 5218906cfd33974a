#pragma once

#include <memory>
#include <optional>

#include "foundation/Bitmap.h"
#include "foundation/Color.h"
#include "scene/layers/smallobjects/BaseSmallObject.h"

namespace korvane {

class DiffuseMaterial;

// How a rock kind's material looks: a marble of two colours with a marble bump, or a plain colour
// with a constant transparency.
struct RockMaterialRecipe {
    bool marble = true;
    Color color1;              // marble: first colour; plain: the colour
    Color color2;              // marble only
    float transparency = 0.0f;  // plain only
};

// What tells the rock kinds apart.
struct SmallRockTraits {
    const char* className;
    const char* name;  // empty for SmallRock itself
    std::optional<RockMaterialRecipe> material;
    float baseSize;   // dome radius in x and y
    float size;       // footprint for the density
    float height;     // extra lift of the top
    int maxXYVertices;  // vertices around at full detail
    int maxZVertices;   // levels upwards at full detail
};

// Rocks: irregular domes sunk into the ground. All rocks of one layer form a single mesh, opened
// by beginPlacingSmallObjects and smoothed when it ends.
class SmallRock : public BaseSmallObject {
public:
    SmallRock();

    std::string className() const override { return traits_.className; }
    std::string name() const override { return traits_.name; }
    // Rock icons are no image resource but their material's swatch (iconImage).
    std::string icon() const override { return {}; }
    Bitmap iconImage() const;
    Size size() const override { return {traits_.size, traits_.size}; }
    Size baseSize() const { return {traits_.baseSize, traits_.baseSize}; }
    float height() const { return traits_.height; }
    int maxXYVertices() const { return traits_.maxXYVertices; }
    int maxZVertices() const { return traits_.maxZVertices; }
    // A new instance of the material every rock of the kind gets (none for SmallRock itself).
    std::shared_ptr<DiffuseMaterial> material() const;
    // How that material is made.
    const std::optional<RockMaterialRecipe>& materialRecipe() const { return traits_.material; }

    void prepareForRenderer(BaseRenderer& renderer) override;
    void beginPlacingSmallObjects(BaseRenderer& renderer) override;
    void endPlacingSmallObjects(BaseRenderer& renderer) override;
    // Places exactly `count` rocks in the cell.
    void placeSmallObject(int count, const Rect& cell, float strength, const Scene& scene,
                          BaseRenderer& renderer) override;

    // (x, y) each moved by up to ±range, drawn from the process-wide generator.
    static Point randomPointForPoint(Point p, float range);

    const yafaray::material_t* yMaterial() const { return yMaterial_; }

protected:
    explicit SmallRock(const SmallRockTraits& traits) : traits_(traits) {}

private:
    SmallRockTraits traits_;
    const yafaray::material_t* yMaterial_ = nullptr;  // valid during one render only
    std::unique_ptr<SmallObjectsCamera> camera_;        // during one placement bracket
    const Scene* cameraScene_ = nullptr;
    bool meshOpen_ = false;
};

// The kinds offered in the rocks layer's list (their traits are in SmallRock.cpp).
class GraySmallRock : public SmallRock {
public:
    GraySmallRock();

protected:
    using SmallRock::SmallRock;
};
class FlatGraySmallRock final : public GraySmallRock {
public:
    FlatGraySmallRock();
};
class SmallGraySmallRock final : public GraySmallRock {
public:
    SmallGraySmallRock();
};
class WhiteSmallRock final : public SmallRock {
public:
    WhiteSmallRock();
};
class BlackSmallRock : public SmallRock {
public:
    BlackSmallRock();

protected:
    using SmallRock::SmallRock;
};
class FlatBlackSmallRock final : public BlackSmallRock {
public:
    FlatBlackSmallRock();
};
class SmallBlackSmallRock final : public BlackSmallRock {
public:
    SmallBlackSmallRock();
};
class RedSmallRock : public SmallRock {
public:
    RedSmallRock();

protected:
    using SmallRock::SmallRock;
};
class FlatRedSmallRock final : public RedSmallRock {
public:
    FlatRedSmallRock();
};
class SmallRedSmallRock final : public RedSmallRock {
public:
    SmallRedSmallRock();
};
class DarkRedSmallRock final : public SmallRock {
public:
    DarkRedSmallRock();
};
class SandSmallRock final : public SmallRock {
public:
    SandSmallRock();
};
class DiamondSmallRock final : public SmallRock {
public:
    DiamondSmallRock();
};

}  // namespace korvane
