#include "scene/layers/lighting/SunLight.h"

namespace korvane {

namespace {
constexpr float kDefaultDirection = 0.4f;
}

SunLight::SunLight(LightingLayer* lightingLayer) : BaseDirectionalLight(lightingLayer) {
    userName_ = "Sun";
    canBeDeleted_ = false;
    direction_ = {-static_cast<double>(kDefaultDirection), static_cast<double>(kDefaultDirection)};
    power_ = 1.0f;
    shadowAngle_ = 1.0f;
}

}  // namespace korvane
