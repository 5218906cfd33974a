#include "scene/layers/lighting/DirectionalLight.h"

namespace korvane {

DirectionalLight::DirectionalLight(LightingLayer* lightingLayer) : BaseDirectionalLight(lightingLayer) {
    userName_ = "Directional Light";
    canBeDeleted_ = true;
    direction_ = {-0.25, 0.25};
    power_ = 1.0f;
    shadowAngle_ = 2.0f;
}

}  // namespace korvane
