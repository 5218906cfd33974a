#include "scene/Scene.h"

#include <algorithm>

#include "foundation/NotificationCenter.h"
#include "scene/SceneNotifications.h"

namespace korvane {

namespace {
constexpr const char* kLayersKey = "layers";
}

Scene::Scene() = default;

Scene::~Scene() {
    // A layer only refers back to its scene; one still referring here would point at freed memory.
    for (const auto& layer : layers_) {
        if (layer->scene() == this) layer->setScene(nullptr);
    }
}

void Scene::registerUndo(std::function<void()> action) {
    if (undoManager_) undoManager_->registerUndo(this, std::move(action));
}

void Scene::addLayer(std::shared_ptr<BaseSceneLayer> layer) {
    if (!layer) return;
    willChange(KeyValueChangeKind::Insertion, {layers_.size()}, kLayersKey);
    layers_.push_back(layer);
    didChange(KeyValueChangeKind::Insertion, {layers_.size() - 1}, kLayersKey);
    // The undo keeps the layer alive, as the platform's undo manager retains its argument.
    registerUndo([this, layer] { removeLayer(layer); });
    postSceneDidChangeNotification();
}

void Scene::removeLayer(const std::shared_ptr<BaseSceneLayer>& layer) {
    if (!layer) return;
    std::shared_ptr<BaseSceneLayer> kept = layer;  // the argument may be an element of layers_
    std::vector<size_t> indexes;
    for (size_t i = 0; i < layers_.size(); ++i) {
        if (layers_[i] == kept) indexes.push_back(i);
    }
    willChange(KeyValueChangeKind::Removal, indexes, kLayersKey);
    std::erase(layers_, kept);
    didChange(KeyValueChangeKind::Removal, indexes, kLayersKey);
    registerUndo([this, kept] { addLayer(kept); });
    postSceneDidChangeNotification();
}

void Scene::setSize(Size size) {
    if (size.width == size_.width && size.height == size_.height) return;
    Size oldSize = size_;
    size_ = size;
    // The count is taken once: a layer reacting to the change does not change who is told.
    size_t count = layers_.size();
    for (size_t i = 0; i < count && i < layers_.size(); ++i) {
        std::shared_ptr<BaseSceneLayer> layer = layers_[i];
        layer->sceneSizeDidChange(oldSize, size);
    }
    // Heightmap and masks have been re-cut: no earlier undo step still applies.
    if (undoManager_) undoManager_->removeAllActions();
    postSceneDidChangeNotification();
}

void Scene::setMaxTerrainHeight(float height) {
    maxTerrainHeight_ = height;
    postSceneDidChangeNotification();
}

float Scene::highestTerrainElevationAtScenePoint(Point groundPoint, bool includingWater,
                                                 bool* didHitWater) const {
    float result = 0.0f;
    // The count is re-read on each step.
    for (size_t i = 0; i < layers_.size(); ++i) {
        const BaseSceneLayer& layer = *layers_[i];
        if (std::optional<float> terrain = layer.terrainElevationAtScenePoint(groundPoint)) {
            if (*terrain > result) {
                if (didHitWater) *didHitWater = false;
                result = *terrain;
            }
        } else if (std::optional<float> water = layer.activeWaterSurfaceHeight()) {
            if (!(*water < result)) {
                if (didHitWater) *didHitWater = true;
                if (includingWater) result = *water;
            }
        }
    }
    return result;
}

void Scene::postSceneDidChangeNotification() const {
    NotificationCenter::defaultCenter().post(SceneDidChangeNotificationName, this);
}

void Scene::postSceneDidChangeNotification(const void* undoTarget, UndoManager::Action undoAction) {
    postSceneDidChangeNotification();
    if (undoTarget && undoManager_) undoManager_->registerUndo(undoTarget, std::move(undoAction));
}

void Scene::postScenePostProcessDidChangeNotification() const {
    NotificationCenter::defaultCenter().post(ScenePostProcessDidChangeNotificationName, this);
}

}  // namespace korvane
