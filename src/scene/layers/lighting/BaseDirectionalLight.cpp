#include "scene/layers/lighting/BaseDirectionalLight.h"

#include <cmath>

#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "raytracer/interface.h"
#include "scene/BaseRenderer.h"
#include "scene/CheckedValue.h"

namespace korvane {

namespace {
constexpr Color kMissingColor{0, 0, 0, 1};  // what a missing colour object renders as
}

LightDirectionVector lightDirectionVector(Point direction) {
    const float squares = static_cast<float>(direction.x * direction.x + direction.y * direction.y);
    const float z = 1.0f - std::sqrt(squares);
    return {direction.x, -direction.y, static_cast<double>(z)};
}

void BaseDirectionalLight::setColor(const Color& color) {
    color_ = color;
    postSceneDidChange();
}

void BaseDirectionalLight::setDirection(Point direction) {
    direction_ = direction;
    postSceneDidChange();
}

void BaseDirectionalLight::setPower(float power) {
    power_ = power;
    postSceneDidChange();
}

void BaseDirectionalLight::setShadowAngle(float angle) {
    shadowAngle_ = angle;
    postSceneDidChange();
}

void BaseDirectionalLight::appendToRenderer(BaseRenderer& renderer) {
    if (!renderer.isYafarayRenderer() || !renderer.yafrayinterface()) return;
    yafaray::yafrayInterface_t& yi = *renderer.yafrayinterface();
    yi.paramsClearAll();
    yi.paramsSetString("type", "sunlight");
    const LightDirectionVector vector = lightDirectionVector(direction_);
    yi.paramsSetPoint("direction", vector.x, vector.y, vector.z);
    yi.paramsSetColor("color", static_cast<float>(color_.red), static_cast<float>(color_.green),
                      static_cast<float>(color_.blue), 1.0f);
    yi.paramsSetFloat("power", power_);
    yi.paramsSetFloat("angle", shadowAngle_);
    if (renderer.rendererType() == 0) yi.paramsSetInt("samples", renderer.lightSamples());
    yi.createLight(name_.c_str());
}

void BaseDirectionalLight::encode(KeyedArchiver& coder) const {
    BaseLight::encode(coder);
    coder.encodePoint("direction", direction_);
    coder.encodeColor("color", color_);
    coder.encodeFloat("power", power_);
    coder.encodeFloat("shadowAngle", shadowAngle_);
}

void BaseDirectionalLight::decode(KeyedUnarchiver& coder) {
    BaseLight::decode(coder);
    const std::string what = "light '" + (userName().empty() ? name() : userName()) + "'";
    direction_ = coder.decodePoint("direction");
    // A direction lies in the unit disc (on its rim at the horizon); one beyond it would put the
    // light below the ground, so it is drawn back onto the rim along its own bearing.
    if (const double length = std::hypot(direction_.x, direction_.y); length > 1.0) {
        const Point stored = direction_;
        direction_ = {stored.x / length, stored.y / length};
        coder.reportRepair(what + " direction {" + repairText(stored.x) + ", " + repairText(stored.y) +
                           "} is outside the unit disc; using {" + repairText(direction_.x) + ", " +
                           repairText(direction_.y) + "}");
    }
    color_ = coder.decodeColor("color").value_or(kMissingColor);
    power_ = decodeCheckedFloat(coder, "power", what + " power", kNonNegativeRange);
    shadowAngle_ = decodeCheckedFloat(coder, "shadowAngle", what + " shadow angle", kNonNegativeRange);
}

}  // namespace korvane
