#pragma once

#include "scene/BaseRenderer.h"
#include "scene/BaseSceneLayer.h"

namespace korvane {

// Ground fog over the whole terrain, lying on the water surface when there is water, and the haze
// settings that the renderer's volume integrator reads from the last fog layer of the scene.
class FogLayer final : public BaseSceneLayer, public RendererHazeSource {
public:
    explicit FogLayer(Scene* scene = nullptr);  // initWithScene:
    // A layer with no scene holding the same values.
    std::shared_ptr<BaseSceneLayer> copy() const override;

    // Layer table
    std::string name() const override { return "Fog & Haze"; }
    std::string icon() const override { return "FogLayerIcon.png"; }
    std::string editLayerClassName() const override { return "EditFogLayerViewController"; }
    int orderForFunctionsList() const override { return 17; }

    // Properties; every setter stores and posts scene-did-change.
    bool active() const { return active_; }  // whether the fog volume is rendered
    void setActive(bool value);
    float density() const { return density_; }  // absorption, "sigma_a"
    void setDensity(float value);
    float height() const { return height_; }  // above the fog's base, in scene height units
    void setHeight(float value);
    float scatter() const { return scatter_; }  // the renderer receives scatter / 50 as "sigma_s"
    void setScatter(float value);
    bool hazeActive() const override { return hazeActive_; }  // whether the volume integrator adds haze
    void setHazeActive(bool value);
    float hazeStrength() const override { return hazeStrength_; }
    void setHazeStrength(float value);
    float hazeDistance() const override { return hazeDistance_; }
    void setHazeDistance(float value);

    // When active, an "ExpDensityVolume" region over the scene and its overflow margin, from the
    // active water's surface (or 0) up to 1.5 × height above it, named afresh on every render.
    void appendToRenderer(BaseRenderer& renderer) override;

    // Archive: stored directly; "scatter" and the haze group only when stored.
    std::string archiveClassName() const override { return "FogLayer"; }
    void encode(KeyedArchiver& coder) const override;
    void decode(KeyedUnarchiver& coder) override;

private:
    bool active_ = false;
    float density_ = 0.01f;
    float height_ = 0.5f;
    float scatter_ = 0.5f;
    bool hazeActive_ = true;
    float hazeStrength_ = 1.0f;
    float hazeDistance_ = 20.0f;
};

}  // namespace korvane
