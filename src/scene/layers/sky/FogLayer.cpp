#include "scene/layers/sky/FogLayer.h"

#include <cmath>

#include "foundation/UniqueString.h"
#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "raytracer/interface.h"
#include "scene/BaseRenderer.h"
#include "scene/CheckedValue.h"
#include "scene/Scene.h"
#include "scene/layers/water/WaterLayer.h"

namespace korvane {

namespace {
constexpr float kTopOverHeight = 1.5f;   // the region reaches 1.5 × height above its base
constexpr float kDensityFalloff = 2.0f;  // "b" of the exponential density
constexpr float kScatterDivisor = 50.0f;

// The attenuation grid of the volume, coarser for previews.
int attenuationGridScale(int detailsMode) {
    switch (detailsMode) {
        case 0:
            return 3;  // full render
        case 1:
            return 1;  // small previews
        case 2:
            return 2;  // preview-quality render
        default:
            return 0;
    }
}
}  // namespace

FogLayer::FogLayer(Scene* scene) : BaseSceneLayer(scene) {}

std::shared_ptr<BaseSceneLayer> FogLayer::copy() const {
    auto layer = std::make_shared<FogLayer>();
    layer->setActive(active_);
    layer->setDensity(density_);
    layer->setHeight(height_);
    layer->setScatter(scatter_);
    layer->setHazeActive(hazeActive_);
    layer->setHazeStrength(hazeStrength_);
    layer->setHazeDistance(hazeDistance_);
    return layer;
}

void FogLayer::setActive(bool value) {
    active_ = value;
    postSceneDidChange();
}

void FogLayer::setDensity(float value) {
    density_ = value;
    postSceneDidChange();
}

void FogLayer::setHeight(float value) {
    height_ = value;
    postSceneDidChange();
}

void FogLayer::setScatter(float value) {
    scatter_ = value;
    postSceneDidChange();
}

void FogLayer::setHazeActive(bool value) {
    hazeActive_ = value;
    postSceneDidChange();
}

void FogLayer::setHazeStrength(float value) {
    hazeStrength_ = value;
    postSceneDidChange();
}

void FogLayer::setHazeDistance(float value) {
    hazeDistance_ = value;
    postSceneDidChange();
}

void FogLayer::appendToRenderer(BaseRenderer& renderer) {
    if (!active_) return;
    if (!renderer.isYafarayRenderer() || !renderer.yafrayinterface()) return;
    const Scene* scene = renderer.scene() ? renderer.scene() : this->scene();
    if (!scene) return;
    yafaray::yafrayInterface_t& yi = *renderer.yafrayinterface();

    const Size size = scene->size();
    float base = 0.0f;
    auto waterLayers = scene->layersOfClass<WaterLayer>();
    if (!waterLayers.empty() && waterLayers.back()->active()) base = waterLayers.back()->height();
    // The margin is whole units, as the terrain's skirt and the water box use it.
    const int overflow = static_cast<int>(std::trunc(scene->sizeOverflow()));

    yi.paramsSetFloat("minX", static_cast<float>(-overflow));
    yi.paramsSetFloat("minY", static_cast<float>(-overflow));
    yi.paramsSetFloat("maxX", static_cast<float>(size.width + overflow));
    yi.paramsSetFloat("maxY", static_cast<float>(size.height + overflow));
    yi.paramsSetFloat("minZ", base);
    yi.paramsSetFloat("maxZ", height_ * kTopOverHeight + base);
    yi.paramsSetFloat("a", height_);
    yi.paramsSetFloat("b", kDensityFalloff);
    yi.paramsSetFloat("sigma_a", density_);
    yi.paramsSetFloat("sigma_s", scatter_ / kScatterDivisor);
    yi.paramsSetInt("attgridScale", attenuationGridScale(renderer.detailsMode()));
    yi.paramsSetString("type", "ExpDensityVolume");
    yi.createVolumeRegion(("Fog_" + uniqueString()).c_str());
}

void FogLayer::encode(KeyedArchiver& coder) const {
    BaseSceneLayer::encode(coder);
    coder.encodeBool("active", active_);
    coder.encodeFloat("density", density_);
    coder.encodeFloat("height", height_);
    coder.encodeFloat("scatter", scatter_);
    coder.encodeBool("hazeActive", hazeActive_);
    coder.encodeFloat("hazeStrength", hazeStrength_);
    coder.encodeFloat("hazeDistance", hazeDistance_);
}

void FogLayer::decode(KeyedUnarchiver& coder) {
    BaseSceneLayer::decode(coder);
    active_ = coder.decodeBool("active");
    density_ = decodeCheckedFloat(coder, "density", "fog density", kNonNegativeRange);
    height_ = decodeCheckedFloat(coder, "height", "fog height", kHeightRange);
    // Files from before scattering and haze existed keep their defaults.
    if (coder.containsValue("scatter"))
        scatter_ = decodeCheckedFloat(coder, "scatter", "fog scatter", kNonNegativeRange);
    if (coder.containsValue("hazeActive")) {
        hazeActive_ = coder.decodeBool("hazeActive");
        hazeStrength_ = decodeCheckedFloat(coder, "hazeStrength", "haze strength", kNonNegativeRange);
        hazeDistance_ = decodeCheckedFloat(coder, "hazeDistance", "haze distance", kNonNegativeRange);
    }
}

}  // namespace korvane
