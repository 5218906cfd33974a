#pragma once

#include "foundation/Color.h"
#include "foundation/Geometry.h"
#include "scene/layers/lighting/BaseLight.h"

namespace korvane {

// The ray tracer's vector towards a light placed by a point of the unit disc: (x, −y, z) with
// z = 1 − |(x, y)| (0 at the rim, not normalised). The plan's y grows the opposite way to the
// ground's, hence the negation. The sum of squares is taken in double, the root and the difference
// in single precision, as the sun light and the sky both need the same value to agree.
struct LightDirectionVector {
    double x, y, z;
};
LightDirectionVector lightDirectionVector(Point direction);

// The fields and the append shared by the sun and the user's directional lights, which differ only
// in their defaults, icon and deletability. Not an archive class of its own.
class BaseDirectionalLight : public BaseLight {
public:
    Color color() const { return color_; }
    void setColor(const Color& color);
    // Inside the unit disc: (0, 0) straight overhead, length 1 on the horizon; plan axes.
    Point direction() const { return direction_; }
    void setDirection(Point direction);
    float power() const { return power_; }
    void setPower(float power);
    // Apparent angular size, the ray tracer's "angle": softens shadow edges.
    float shadowAngle() const { return shadowAngle_; }
    void setShadowAngle(float angle);

    // A "sunlight" created under the light's name.
    void appendToRenderer(BaseRenderer& renderer) override;

    // Archive: the base keys, then "direction", "color", "power", "shadowAngle".
    void encode(KeyedArchiver& coder) const override;
    void decode(KeyedUnarchiver& coder) override;

protected:
    using BaseLight::BaseLight;

    Color color_ = Color::calibratedWhite(1.0);
    Point direction_;
    float power_ = 1.0f;
    float shadowAngle_ = 1.0f;
};

}  // namespace korvane
