#pragma once

#include "scene/layers/lighting/BaseDirectionalLight.h"

namespace korvane {

// A further directional light added by the user; renders exactly like the sun.
class DirectionalLight final : public BaseDirectionalLight {
public:
    // "Directional Light", direction (−0.25, 0.25), power 1, shadow angle 2, white, deletable.
    explicit DirectionalLight(LightingLayer* lightingLayer = nullptr);

    std::string userIcon() const override { return "DirectionalLightIcon.png"; }
    std::string archiveClassName() const override { return "DirectionalLight"; }
};

}  // namespace korvane
