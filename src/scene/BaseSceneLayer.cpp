#include "scene/BaseSceneLayer.h"

#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "scene/Scene.h"

namespace korvane {

BaseSceneLayer::BaseSceneLayer(Scene* scene) : scene_(scene) {}

void BaseSceneLayer::appendToRenderer(BaseRenderer&) {}

void BaseSceneLayer::sceneSizeDidChange(Size, Size) {}

std::optional<float> BaseSceneLayer::terrainElevationAtScenePoint(Point) const { return std::nullopt; }

std::optional<float> BaseSceneLayer::activeWaterSurfaceHeight() const { return std::nullopt; }

void BaseSceneLayer::encode(KeyedArchiver& coder) const { coder.encodeObject("scene", scene_); }

void BaseSceneLayer::decode(KeyedUnarchiver& coder) {
    // The scene is being decoded when its layers are; the reference resolves to that very object.
    scene_ = coder.decodeObjectOfClass<Scene>("scene").get();
}

void BaseSceneLayer::postSceneDidChange() const {
    if (scene_) scene_->postSceneDidChangeNotification();
}

}  // namespace korvane
