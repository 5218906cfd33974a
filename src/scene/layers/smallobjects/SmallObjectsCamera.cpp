// The camera as object placement sees it.
#include "scene/Scene.h"
#include "scene/layers/camera/CameraLayer.h"
#include "scene/layers/smallobjects/BaseSmallObject.h"

namespace korvane {

SmallObjectsCamera::SmallObjectsCamera(const Scene& scene) {
    auto cameras = scene.layersOfClass<CameraLayer>();
    if (!cameras.empty()) camera_ = cameras.back();
}

SmallObjectsCamera::~SmallObjectsCamera() = default;

Point SmallObjectsCamera::fromPoint() const { return camera_ ? camera_->fromPoint() : Point{}; }

float SmallObjectsCamera::distanceFromPointInScene(float x, float y) const {
    return camera_ ? camera_->distanceFromPointInScene({x, y, 0.0f}) : 0.0f;
}

}  // namespace korvane
