// The scene's keys in a document archive, and the defaults that let older files open.
#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "scene/Scene.h"

namespace korvane {

namespace {
constexpr float kDefaultMaxTerrainHeight = 4.0f;
}

void Scene::encode(KeyedArchiver& coder) const {
    coder.encodeObjects("layers", layers_);
    coder.encodeSize("size", size_);
    coder.encodeFloat("maxTerrainHeight", maxTerrainHeight_);
    coder.encodeBool("farDepthOfField", farDepthOfField_);
    coder.encodeFloat("farDepthOfFieldStart", farDepthOfFieldStart_);
    coder.encodeFloat("farDepthOfFieldBias", farDepthOfFieldBias_);
    coder.encodeFloat("farDepthOfFieldMaximumStrength", farDepthOfFieldMaximumStrength_);
    coder.encodeBool("nearDepthOfField", nearDepthOfField_);
    coder.encodeFloat("nearDepthOfFieldEnd", nearDepthOfFieldEnd_);
    coder.encodeFloat("nearDepthOfFieldBias", nearDepthOfFieldBias_);
    coder.encodeFloat("nearDepthOfFieldMaximumStrength", nearDepthOfFieldMaximumStrength_);
    coder.encodeBool("bloomFilter", bloomFilter_);
    coder.encodeFloat("bloomRadius", bloomRadius_);
    coder.encodeFloat("bloomIntensity", bloomIntensity_);
    coder.encodeBool("depthTint", depthTint_);
    coder.encodeFloat("depthTintStart", depthTintStart_);
    coder.encodeFloat("depthTintBias", depthTintBias_);
    coder.encodeFloat("depthTintOpacity", depthTintOpacity_);
    coder.encodeColor("depthTintColor", depthTintColor_);
    coder.encodeBool("vibranceFilter", vibranceFilter_);
    coder.encodeFloat("vibranceStrength", vibranceStrength_);
}

void Scene::decode(KeyedUnarchiver& coder) {
    // The instance already holds every default of a new scene.
    layers_ = coder.decodeObjects<BaseSceneLayer>("layers");
    // A layer whose stored scene is some other object would keep a reference that outlives it:
    // every layer of this stack belongs to this scene.
    for (const auto& layer : layers_) {
        if (layer->scene() != this) layer->setScene(this);
    }
    size_ = coder.decodeSize("size");
    maxTerrainHeight_ = coder.decodeFloat("maxTerrainHeight");
    if (maxTerrainHeight_ == 0.0f) maxTerrainHeight_ = kDefaultMaxTerrainHeight;

    // Each group of settings is read only when its switch is stored, so files written before the
    // settings existed keep the defaults.
    if (coder.containsValue("farDepthOfField")) {
        farDepthOfField_ = coder.decodeBool("farDepthOfField");
        farDepthOfFieldStart_ = coder.decodeFloat("farDepthOfFieldStart");
        farDepthOfFieldBias_ = coder.decodeFloat("farDepthOfFieldBias");
        farDepthOfFieldMaximumStrength_ = coder.decodeFloat("farDepthOfFieldMaximumStrength");
    }
    if (coder.containsValue("nearDepthOfField")) {
        nearDepthOfField_ = coder.decodeBool("nearDepthOfField");
        nearDepthOfFieldEnd_ = coder.decodeFloat("nearDepthOfFieldEnd");
        nearDepthOfFieldBias_ = coder.decodeFloat("nearDepthOfFieldBias");
        nearDepthOfFieldMaximumStrength_ = coder.decodeFloat("nearDepthOfFieldMaximumStrength");
    }
    if (coder.containsValue("bloomFilter")) {
        bloomFilter_ = coder.decodeBool("bloomFilter");
        bloomIntensity_ = coder.decodeFloat("bloomIntensity");
        bloomRadius_ = coder.decodeFloat("bloomRadius");
    }
    if (coder.containsValue("depthTint")) {
        depthTint_ = coder.decodeBool("depthTint");
        depthTintStart_ = coder.decodeFloat("depthTintStart");
        depthTintBias_ = coder.decodeFloat("depthTintBias");
        depthTintOpacity_ = coder.decodeFloat("depthTintOpacity");
        // A stored colour of the wrong kind reads as none; the default colour stays then.
        if (std::optional<Color> color = coder.decodeColor("depthTintColor")) depthTintColor_ = *color;
    }
    if (coder.containsValue("vibranceFilter")) {
        vibranceFilter_ = coder.decodeBool("vibranceFilter");
        vibranceStrength_ = coder.decodeFloat("vibranceStrength");
    }
}

}  // namespace korvane
