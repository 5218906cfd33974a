#include "scene/layers/lighting/BaseLight.h"

#include "foundation/UniqueString.h"
#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "scene/BaseRenderer.h"
#include "scene/Scene.h"
#include "scene/layers/lighting/LightingLayer.h"

namespace korvane {

BaseLight::BaseLight(LightingLayer* lightingLayer) : name_(uniqueString()), lightingLayer_(lightingLayer) {}

void BaseLight::appendToRenderer(BaseRenderer&) {}

void BaseLight::postSceneDidChange() const {
    if (lightingLayer_ && lightingLayer_->scene()) lightingLayer_->scene()->postSceneDidChangeNotification();
}

const Scene* BaseLight::sceneForRenderer(const BaseRenderer& renderer) const {
    if (renderer.scene()) return renderer.scene();
    return lightingLayer_ ? lightingLayer_->scene() : nullptr;
}

void BaseLight::encode(KeyedArchiver& coder) const {
    coder.encodeObject("lightingLayer", lightingLayer_);
    coder.encodeBool("canBeDeleted", canBeDeleted_);
    coder.encodeString("name", name_);
    coder.encodeString("userName", userName_);
}

void BaseLight::decode(KeyedUnarchiver& coder) {
    // The instance already holds its class's defaults and a fresh unique name. The layer being
    // decoded owns this light; the reference resolves to it while it is still being read.
    lightingLayer_ = coder.decodeObjectOfClass<LightingLayer>("lightingLayer").get();
    canBeDeleted_ = coder.decodeBool("canBeDeleted");
    // A light without a stored name keeps its fresh one: the ray tracer needs a unique name.
    if (std::optional<std::string> name = coder.decodeString("name"); name && !name->empty()) name_ = *name;
    if (std::optional<std::string> userName = coder.decodeString("userName")) userName_ = *userName;
}

}  // namespace korvane
