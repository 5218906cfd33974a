#include "scene/layers/lighting/PointLight.h"

#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "raytracer/interface.h"
#include "scene/BaseRenderer.h"
#include "scene/CheckedValue.h"
#include "scene/Scene.h"
#include "scene/layers/lighting/LightingLayer.h"

namespace korvane {

namespace {
constexpr Color kMissingColor{0, 0, 0, 1};  // what a missing colour object renders as
}

PointLight::PointLight(LightingLayer* lightingLayer) : BaseLight(lightingLayer) {
    userName_ = "Point Light";
    canBeDeleted_ = true;
    if (lightingLayer && lightingLayer->scene()) {
        const Size size = lightingLayer->scene()->size();
        position_ = {size.width / 2, size.height / 2};
    }
}

void PointLight::setColor(const Color& color) {
    color_ = color;
    postSceneDidChange();
}

void PointLight::setPosition(Point position) {
    position_ = position;
    postSceneDidChange();
}

void PointLight::setPower(float power) {
    power_ = power;
    postSceneDidChange();
}

void PointLight::setHeightOverGround(float height) {
    heightOverGround_ = height;
    postSceneDidChange();
}

void PointLight::appendToRenderer(BaseRenderer& renderer) {
    if (!renderer.isYafarayRenderer() || !renderer.yafrayinterface()) return;
    const Scene* scene = sceneForRenderer(renderer);
    if (!scene) return;
    yafaray::yafrayInterface_t& yi = *renderer.yafrayinterface();
    const double sceneHeight = scene->size().height;
    yi.paramsClearAll();
    yi.paramsSetString("type", "pointlight");
    // Plan y grows the opposite way to ground y.
    const Point groundPoint{position_.x, sceneHeight - position_.y};
    const float elevation = scene->highestTerrainElevationAtScenePoint(groundPoint, true);
    const float z = elevation + heightOverGround_;
    yi.paramsSetPoint("from", groundPoint.x, groundPoint.y, z);
    yi.paramsSetColor("color", static_cast<float>(color_.red), static_cast<float>(color_.green),
                      static_cast<float>(color_.blue), 1.0f);
    yi.paramsSetFloat("power", power_);
    if (renderer.rendererType() == 0) yi.paramsSetInt("samples", renderer.lightSamples());
    yi.createLight(name_.c_str());
}

void PointLight::encode(KeyedArchiver& coder) const {
    BaseLight::encode(coder);
    coder.encodePoint("position", position_);
    coder.encodeColor("color", color_);
    coder.encodeFloat("power", power_);
    coder.encodeFloat("heightOverGround", heightOverGround_);
}

void PointLight::decode(KeyedUnarchiver& coder) {
    BaseLight::decode(coder);
    position_ = coder.decodePoint("position");
    color_ = coder.decodeColor("color").value_or(kMissingColor);
    const std::string what = "light '" + (userName().empty() ? name() : userName()) + "'";
    power_ = decodeCheckedFloat(coder, "power", what + " power", kNonNegativeRange);
    heightOverGround_ =
        decodeCheckedFloat(coder, "heightOverGround", what + " height over ground", kHeightRange);
}

}  // namespace korvane
