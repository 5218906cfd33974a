#include "scene/layers/sky/SkyLayer.h"

#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "raytracer/interface.h"
#include "scene/BaseRenderer.h"
#include "scene/CheckedValue.h"
#include "scene/Scene.h"
#include "scene/layers/lighting/LightingLayer.h"

namespace korvane {

namespace {
constexpr const char* kBackgroundName = "world_background";
constexpr const char* kUseBackgroundKey = "useBackgroundAsLightSource";
}  // namespace

SkyLayer::SkyLayer(Scene* scene) : BaseSceneLayer(scene) {}

std::shared_ptr<BaseSceneLayer> SkyLayer::copy() const {
    auto layer = std::make_shared<SkyLayer>();
    layer->setTurbidity(turbidity_);
    layer->setHorizonBrightness(horizonBrightness_);
    layer->setHorizonLuminance(horizonLuminance_);
    layer->setCircumsolarIntensity(circumsolarIntensity_);
    layer->setCircumsolarWidth(circumsolarWidth_);
    layer->setBackscatteredLight(backscatteredLight_);
    layer->setUseBackgroundAsLightSource(useBackgroundAsLightSource_);
    layer->setNight(night_);
    return layer;
}

void SkyLayer::setTurbidity(float value) {
    turbidity_ = value;
    postSceneDidChange();
}

void SkyLayer::setHorizonBrightness(float value) {
    horizonBrightness_ = value;
    postSceneDidChange();
}

void SkyLayer::setHorizonLuminance(float value) {
    horizonLuminance_ = value;
    postSceneDidChange();
}

void SkyLayer::setCircumsolarIntensity(float value) {
    circumsolarIntensity_ = value;
    postSceneDidChange();
}

void SkyLayer::setCircumsolarWidth(float value) {
    circumsolarWidth_ = value;
    postSceneDidChange();
}

void SkyLayer::setBackscatteredLight(float value) {
    backscatteredLight_ = value;
    postSceneDidChange();
}

void SkyLayer::setUseBackgroundAsLightSource(bool value) {
    useBackgroundAsLightSource_ = value;
    postSceneDidChange();
}

void SkyLayer::setNight(bool value) {
    night_ = value;
    postSceneDidChange();
}

void SkyLayer::appendToRenderer(BaseRenderer& renderer) {
    if (!renderer.isYafarayRenderer() || !renderer.yafrayinterface()) return;
    yafaray::yafrayInterface_t& yi = *renderer.yafrayinterface();

    // The sun of the last lighting layer places the sky's bright spot; without one it stands at
    // the zenith.
    Point sunDirection;
    const Scene* scene = renderer.scene() ? renderer.scene() : this->scene();
    if (scene) {
        auto lightingLayers = scene->layersOfClass<LightingLayer>();
        if (!lightingLayers.empty()) sunDirection = lightingLayers.back()->sunLight()->direction();
    }

    yi.paramsClearAll();
    yi.paramsSetString("type", "darksky");
    const LightDirectionVector from = lightDirectionVector(sunDirection);
    yi.paramsSetPoint("from", from.x, from.y, from.z);
    yi.paramsSetFloat("power", 1.0);
    yi.paramsSetFloat("turbidity", turbidity_);
    yi.paramsSetFloat("a_var", horizonBrightness_);
    yi.paramsSetFloat("b_var", horizonLuminance_);
    yi.paramsSetFloat("c_var", circumsolarIntensity_);
    yi.paramsSetFloat("d_var", circumsolarWidth_);
    yi.paramsSetFloat("e_var", backscatteredLight_);
    yi.paramsSetBool("night", night_);
    if (renderer.rendererType() == 0 && useBackgroundAsLightSource_) {
        yi.paramsSetBool("background_light", true);
        yi.paramsSetInt("light_samples", renderer.lightSamples());
    } else if (renderer.rendererType() == 1) {
        // The path tracer reads the flag as its "use_background" when the integrators are set up.
        renderer.setUseBackgroundAsLightSource(useBackgroundAsLightSource_);
    }
    yi.createBackground(kBackgroundName);
}

void SkyLayer::encode(KeyedArchiver& coder) const {
    BaseSceneLayer::encode(coder);
    coder.encodeBool("night", night_);
    coder.encodeBool(kUseBackgroundKey, useBackgroundAsLightSource_);
    coder.encodeFloat("turbidity", turbidity_);
    coder.encodeFloat("horizonBrightness", horizonBrightness_);
    coder.encodeFloat("horizonLuminance", horizonLuminance_);
    coder.encodeFloat("circumsolarWidth", circumsolarWidth_);
    coder.encodeFloat("circumsolarIntensity", circumsolarIntensity_);
    coder.encodeFloat("backscatteredLight", backscatteredLight_);
}

void SkyLayer::decode(KeyedUnarchiver& coder) {
    BaseSceneLayer::decode(coder);
    setNight(coder.decodeBool("night"));
    // Files from before the switch existed keep the default: the sky lights the scene.
    if (coder.containsValue(kUseBackgroundKey))
        setUseBackgroundAsLightSource(coder.decodeBool(kUseBackgroundKey));
    // The other sky parameters take any finite number (the unarchiver reports the rest).
    setTurbidity(decodeCheckedFloat(coder, "turbidity", "sky turbidity", kNonNegativeRange));
    setHorizonBrightness(coder.decodeFloat("horizonBrightness"));
    setHorizonLuminance(coder.decodeFloat("horizonLuminance"));
    setCircumsolarWidth(coder.decodeFloat("circumsolarWidth"));
    setCircumsolarIntensity(coder.decodeFloat("circumsolarIntensity"));
    setBackscatteredLight(coder.decodeFloat("backscatteredLight"));
}

}  // namespace korvane
