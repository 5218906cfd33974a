#pragma once

#include "foundation/Color.h"
#include "foundation/Geometry.h"
#include "scene/layers/lighting/BaseLight.h"

namespace korvane {

// A light at a point of the plan, floating a fixed height above the highest surface (terrain or
// water) under it.
class PointLight final : public BaseLight {
public:
    // "Point Light" at the centre of the layer's scene (the origin without one), power 1, height 0.5,
    // white, deletable.
    explicit PointLight(LightingLayer* lightingLayer = nullptr);

    Color color() const { return color_; }
    void setColor(const Color& color);
    // Plan coordinates: 0..scene width, 0..scene height.
    Point position() const { return position_; }
    void setPosition(Point position);
    float power() const { return power_; }
    void setPower(float power);
    // Above the highest surface under the light, in scene height units.
    float heightOverGround() const { return heightOverGround_; }
    void setHeightOverGround(float height);

    std::string userIcon() const override { return "PointLightIcon.png"; }

    // A "pointlight" created under the light's name.
    void appendToRenderer(BaseRenderer& renderer) override;

    // Archive: the base keys, then "position", "color", "power", "heightOverGround".
    std::string archiveClassName() const override { return "PointLight"; }
    void encode(KeyedArchiver& coder) const override;
    void decode(KeyedUnarchiver& coder) override;

private:
    Color color_ = Color::calibratedWhite(1.0);
    Point position_;
    float power_ = 1.0f;
    float heightOverGround_ = 0.5f;
};

}  // namespace korvane
