#pragma once

#include "scene/layers/smallobjects/BaseSmallObject.h"

namespace korvane {

// Fallen leaves: flat textured squares lying on level ground or floating on water, one mesh per
// density-map cell.
class LeafPlant final : public BaseSmallObject {
public:
    std::string className() const override { return "LeafPlant"; }
    std::string name() const override { return "Leafs"; }
    std::string icon() const override { return "Leaf1.png"; }
    Size size() const override { return {0.02, 0.02}; }

    // The leaf image cut out by its alpha map, half translucent.
    void prepareForRenderer(BaseRenderer& renderer) override;
    void placeSmallObject(int count, const Rect& cell, float strength, const Scene& scene,
                          BaseRenderer& renderer) override;

    // (x, y) each moved by up to ±range, drawn from the process-wide generator.
    static Point randomPointForPoint(Point p, float range);

    const yafaray::material_t* yLeafMaterial() const { return yLeafMaterial_; }

private:
    const yafaray::material_t* yLeafMaterial_ = nullptr;  // valid during one render only
};

}  // namespace korvane
