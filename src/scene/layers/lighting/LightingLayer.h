#pragma once

#include <memory>
#include <vector>

#include "foundation/KeyValueObserving.h"
#include "scene/BaseSceneLayer.h"
#include "scene/layers/lighting/BaseLight.h"
#include "scene/layers/lighting/SunLight.h"

namespace korvane {

// The scene's light sources: always the sun first, then any directional and point lights the user
// added, in creation order. Observers of "lights" hear every change of the list. Main thread only;
// the render worker appends the lights.
class LightingLayer final : public BaseSceneLayer, public KeyValueObservable {
public:
    using LightList = std::vector<std::shared_ptr<BaseLight>>;

    // initWithScene: a list holding one new sun.
    explicit LightingLayer(Scene* scene = nullptr);
    // Lights that outlive the layer (shared with a copy) are left with no layer.
    ~LightingLayer() override;
    // A new layer with no scene whose list holds the same light objects; they keep pointing back to
    // this layer.
    std::shared_ptr<BaseSceneLayer> copy() const override;

    // Layer table
    std::string name() const override { return "Lighting"; }
    std::string icon() const override { return "LightingLayerIcon.png"; }
    std::string editLayerClassName() const override { return "EditLightingLayerViewController"; }
    int orderForFunctionsList() const override { return 10; }

    const LightList& lights() const { return lights_; }
    // Stores a copy of the list and posts scene-did-change. A list that does not start with a sun
    // gets this layer's current sun put in front, so that the sun is always element 0.
    void setLights(const LightList& lights);
    // Appends the light, then posts scene-did-change. Null is ignored.
    void addLight(std::shared_ptr<BaseLight> light);
    // Removes the light, then posts scene-did-change. The sun is never removed.
    void removeLight(const std::shared_ptr<BaseLight>& light);
    // Element 0 of the list; never null.
    std::shared_ptr<SunLight> sunLight() const;

    // Each light in list order, the sun first.
    void appendToRenderer(BaseRenderer& renderer) override;

    // Archive: the base keys and "lights".
    std::string archiveClassName() const override { return "LightingLayer"; }
    void encode(KeyedArchiver& coder) const override;
    void decode(KeyedUnarchiver& coder) override;

private:
    LightList lights_;
};

}  // namespace korvane
