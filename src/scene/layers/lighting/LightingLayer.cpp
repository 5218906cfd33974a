#include "scene/layers/lighting/LightingLayer.h"

#include <algorithm>

#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "scene/BaseRenderer.h"

namespace korvane {

namespace {
constexpr const char* kLightsKey = "lights";
}

LightingLayer::LightingLayer(Scene* scene) : BaseSceneLayer(scene) {
    lights_.push_back(std::make_shared<SunLight>(this));
}

LightingLayer::~LightingLayer() {
    for (const auto& light : lights_) {
        if (light->lightingLayer() == this) light->setLightingLayer(nullptr);
    }
}

std::shared_ptr<BaseSceneLayer> LightingLayer::copy() const {
    auto layer = std::make_shared<LightingLayer>();
    layer->setLights(lights_);
    return layer;
}

void LightingLayer::setLights(const LightList& lights) {
    willChange(KeyValueChangeKind::Setting, {}, kLightsKey);
    LightList stored;
    stored.reserve(lights.size() + 1);
    for (const auto& light : lights) {
        if (light) stored.push_back(light);
    }
    if (stored.empty() || !std::dynamic_pointer_cast<SunLight>(stored.front())) {
        stored.insert(stored.begin(), sunLight());
    }
    lights_ = std::move(stored);
    postSceneDidChange();
    didChange(KeyValueChangeKind::Setting, {}, kLightsKey);
}

void LightingLayer::addLight(std::shared_ptr<BaseLight> light) {
    if (!light) return;
    willChange(KeyValueChangeKind::Insertion, {lights_.size()}, kLightsKey);
    lights_.push_back(std::move(light));
    didChange(KeyValueChangeKind::Insertion, {lights_.size() - 1}, kLightsKey);
    postSceneDidChange();
}

void LightingLayer::removeLight(const std::shared_ptr<BaseLight>& light) {
    if (!light || light == lights_.front()) return;
    std::shared_ptr<BaseLight> kept = light;  // the argument may be an element of lights_
    std::vector<size_t> indexes;
    for (size_t i = 0; i < lights_.size(); ++i) {
        if (lights_[i] == kept) indexes.push_back(i);
    }
    if (indexes.empty()) return;
    willChange(KeyValueChangeKind::Removal, indexes, kLightsKey);
    std::erase(lights_, kept);
    didChange(KeyValueChangeKind::Removal, indexes, kLightsKey);
    postSceneDidChange();
}

std::shared_ptr<SunLight> LightingLayer::sunLight() const {
    // The list always starts with a sun (constructor, setLights, removeLight keep it so).
    return std::static_pointer_cast<SunLight>(lights_.front());
}

void LightingLayer::appendToRenderer(BaseRenderer& renderer) {
    if (!renderer.isYafarayRenderer()) return;
    // A copy: a light may not change the list, but the list must not move under the loop either.
    const LightList lights = lights_;
    for (const auto& light : lights) light->appendToRenderer(renderer);
}

void LightingLayer::encode(KeyedArchiver& coder) const {
    BaseSceneLayer::encode(coder);
    coder.encodeObjects(kLightsKey, lights_);
}

void LightingLayer::decode(KeyedUnarchiver& coder) {
    // The instance holds a new sun already; the stored list replaces it.
    BaseSceneLayer::decode(coder);
    LightList decoded = coder.decodeObjects<BaseLight>(kLightsKey);
    // Every stored light belongs to this layer: a reference to some other object would not outlive
    // the archive.
    for (const auto& light : decoded) {
        if (light->lightingLayer() != this) light->setLightingLayer(this);
    }
    setLights(decoded);
}

}  // namespace korvane
