#pragma once

#include "scene/layers/lighting/BaseDirectionalLight.h"

namespace korvane {

// The scene's sun: element 0 of every lighting layer, never deleted. The sky places its bright
// spot from the same direction.
class SunLight final : public BaseDirectionalLight {
public:
    // "Sun", direction (−0.4, 0.4) (single-precision values widened), power 1, shadow angle 1, white.
    explicit SunLight(LightingLayer* lightingLayer = nullptr);

    std::string userIcon() const override { return "SunLightIcon.png"; }
    std::string archiveClassName() const override { return "SunLight"; }
};

}  // namespace korvane
