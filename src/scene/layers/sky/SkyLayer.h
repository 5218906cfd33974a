#pragma once

#include "scene/BaseSceneLayer.h"

namespace korvane {

// The world background: an analytic daylight sky ("darksky") whose sun follows the sun of the
// scene's lighting layer, optionally lighting the scene. A plain holder of the sky model's values.
class SkyLayer final : public BaseSceneLayer {
public:
    explicit SkyLayer(Scene* scene = nullptr);  // initWithScene:
    // A layer with no scene holding the same values.
    std::shared_ptr<BaseSceneLayer> copy() const override;

    // Layer table
    std::string name() const override { return "Sky"; }
    std::string icon() const override { return "SkyLayerIcon.png"; }
    std::string editLayerClassName() const override { return "EditSkyLayerViewController"; }
    int orderForFunctionsList() const override { return 15; }

    // Properties; every setter stores and posts scene-did-change.
    float turbidity() const { return turbidity_; }
    void setTurbidity(float value);
    float horizonBrightness() const { return horizonBrightness_; }  // sky model coefficient a
    void setHorizonBrightness(float value);
    float horizonLuminance() const { return horizonLuminance_; }  // coefficient b
    void setHorizonLuminance(float value);
    float circumsolarIntensity() const { return circumsolarIntensity_; }  // coefficient c
    void setCircumsolarIntensity(float value);
    float circumsolarWidth() const { return circumsolarWidth_; }  // coefficient d
    void setCircumsolarWidth(float value);
    float backscatteredLight() const { return backscatteredLight_; }  // coefficient e
    void setBackscatteredLight(float value);
    bool useBackgroundAsLightSource() const { return useBackgroundAsLightSource_; }
    void setUseBackgroundAsLightSource(bool value);
    bool night() const { return night_; }
    void setNight(bool value);

    // The background "world_background"; in path tracing it also tells the renderer whether the
    // background lights the scene.
    void appendToRenderer(BaseRenderer& renderer) override;

    // Archive: decoded through the setters; "useBackgroundAsLightSource" only when stored.
    std::string archiveClassName() const override { return "SkyLayer"; }
    void encode(KeyedArchiver& coder) const override;
    void decode(KeyedUnarchiver& coder) override;

private:
    float turbidity_ = 3.5f;
    float horizonBrightness_ = 2.4f;
    float horizonLuminance_ = 1.0f;
    float circumsolarIntensity_ = 30.0f;
    float circumsolarWidth_ = 30.0f;
    float backscatteredLight_ = 1.0f;
    bool useBackgroundAsLightSource_ = true;
    bool night_ = false;
};

}  // namespace korvane
