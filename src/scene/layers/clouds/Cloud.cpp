#include "scene/layers/clouds/Cloud.h"

#include <algorithm>
#include <cmath>

#include "foundation/UniqueString.h"
#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "raytracer/interface.h"
#include "scene/BaseRenderer.h"
#include "scene/CheckedValue.h"
#include "scene/Scene.h"
#include "scene/layers/clouds/CloudsLayer.h"
#include "scene/materials/MaterialClasses.h"

namespace korvane {

namespace {
constexpr const char* kBoundingBoxKey = "boundingBox";
constexpr ValueRange kEdgeModeRange{0, 1};  // 0 soft (ellipsoid), 1 hard (box); others render nothing

// The new cloud's noise: coarse, hard-edged cells.
constexpr int kTextureDepth = 3;
constexpr float kTextureSize = 5.0f;
constexpr int kTextureNoiseType = 4;

// What the noise volume receives besides the cloud's own values.
constexpr float kAbsorption = 0.05f;
constexpr float kScattering = 0.5f;
constexpr float kCoverOffset = 0.3f;
constexpr float kSharpnessScale = 20.0f;
constexpr float kSharpnessOffset = 1.0f;
constexpr float kDensityScale = 40.0f;
constexpr int kLargestGridScale = 5;
constexpr int kSmallestGridScale = 2;

std::shared_ptr<CloudsTexture> newDefaultTexture() {
    auto texture = std::make_shared<CloudsTexture>();
    texture->setDepth(kTextureDepth);
    texture->setHard(true);
    texture->setSize(kTextureSize);
    texture->setNoiseType(kTextureNoiseType);
    return texture;
}

// An independent copy of the texture, made through the archive so that every stored value comes
// along; null when the texture cannot be read back.
std::shared_ptr<CloudsTexture> archivedCopy(const CloudsTexture& texture) {
    registerMaterialClasses();
    std::vector<uint8_t> bytes = KeyedArchiver::archivedData(texture);
    return std::dynamic_pointer_cast<CloudsTexture>(KeyedUnarchiver::unarchive(bytes).root);
}

// The attenuation grid of the volume: coarse for previews; for a full render it grows with the
// cloud's largest extent, from 2 up to 5.
int attenuationGridScale(int detailsMode, const Box& box, float height) {
    switch (detailsMode) {
        case 0:
            break;
        case 1:
            return 1;  // small previews
        case 2:
            return 2;  // preview-quality render
        default:
            return 0;
    }
    int extent = static_cast<int>(std::trunc(box.end.x - box.start.x));
    const float depth = box.end.y - box.start.y;
    if (depth > static_cast<float>(extent)) extent = static_cast<int>(std::trunc(depth));
    if (height > static_cast<float>(extent)) extent = static_cast<int>(std::trunc(height));
    const int scale = static_cast<int>(std::trunc(std::ceil(extent * 0.5)));
    if (scale > kLargestGridScale) return kLargestGridScale;
    if (scale <= 1) return kSmallestGridScale;
    return scale;
}
}  // namespace

Cloud::Cloud() : cloudsTexture_(newDefaultTexture()) {}

std::shared_ptr<Cloud> Cloud::copy() const {
    auto cloud = std::make_shared<Cloud>();
    cloud->boundingBox_ = boundingBox_;
    cloud->cover_ = cover_;
    cloud->density_ = density_;
    cloud->sharpness_ = sharpness_;
    cloud->height_ = height_;
    cloud->heightAboveGround_ = heightAboveGround_;
    cloud->edgeMode_ = edgeMode_;
    cloud->cloudsTexture_ = cloudsTexture_ ? archivedCopy(*cloudsTexture_) : nullptr;
    if (cloud->cloudsTexture_) cloud->cloudsTexture_->setName(uniqueString());
    return cloud;
}

void Cloud::setCloudsTexture(std::shared_ptr<CloudsTexture> texture) {
    cloudsTexture_ = std::move(texture);
    postSceneDidChange();
}

void Cloud::setBoundingBox(const Box& box) {
    boundingBox_ = box;
    postSceneDidChange();
}

void Cloud::setDensity(float density) {
    density_ = density;
    postSceneDidChange();
}

void Cloud::setCover(float cover) {
    cover_ = cover;
    postSceneDidChange();
}

void Cloud::setSharpness(float sharpness) {
    sharpness_ = sharpness;
    postSceneDidChange();
}

void Cloud::setHeightAboveGround(float height) {
    heightAboveGround_ = height;
    postSceneDidChange();
}

void Cloud::setHeight(float height) {
    height_ = height;
    postSceneDidChange();
}

void Cloud::setEdgeMode(int edgeMode) {
    edgeMode_ = edgeMode;
    postSceneDidChange();
}

std::string Cloud::name() const {
    size_t number = 0;
    if (cloudsLayer_) {
        const auto& clouds = cloudsLayer_->clouds();
        auto at = std::find_if(clouds.begin(), clouds.end(),
                               [this](const auto& cloud) { return cloud.get() == this; });
        if (at != clouds.end()) number = static_cast<size_t>(at - clouds.begin()) + 1;
    }
    return "Cloud " + std::to_string(number);
}

void Cloud::appendToRenderer(BaseRenderer& renderer) {
    if (!renderer.isYafarayRenderer() || !renderer.yafrayinterface()) return;
    // Without a texture the volume would have no density to evaluate.
    if (!cloudsTexture_) return;
    const Scene* scene = sceneForRenderer(renderer);
    if (!scene) return;
    yafaray::yafrayInterface_t& yi = *renderer.yafrayinterface();
    const double sceneHeight = scene->size().height;

    cloudsTexture_->appendToRenderer(renderer);
    yi.paramsClearAll();
    // The footprint is stored in plan coordinates; the renderer's y runs the other way.
    yi.paramsSetFloat("minX", boundingBox_.start.x);
    yi.paramsSetFloat("minY", sceneHeight - static_cast<double>(boundingBox_.end.y));
    yi.paramsSetFloat("maxX", boundingBox_.end.x);
    yi.paramsSetFloat("maxY", sceneHeight - static_cast<double>(boundingBox_.start.y));
    const int gridScale = attenuationGridScale(renderer.detailsMode(), boundingBox_, height_);
    yi.paramsSetFloat("minZ", heightAboveGround_);
    yi.paramsSetFloat("maxZ", heightAboveGround_ + height_);
    yi.paramsSetFloat("sigma_a", kAbsorption);
    yi.paramsSetFloat("sigma_s", kScattering);
    yi.paramsSetInt("attgridScale", gridScale);
    yi.paramsSetFloat("cover", cover_ + kCoverOffset);
    yi.paramsSetFloat("sharpness", sharpness_ * kSharpnessScale + kSharpnessOffset);
    yi.paramsSetFloat("density", density_ * kDensityScale);
    yi.paramsSetString("textureName", cloudsTexture_->name().c_str());
    yi.paramsSetInt("edgeMode", edgeMode_);
    yi.paramsSetString("type", "FixedNoiseVolume");
    yi.createVolumeRegion(("Clouds_" + uniqueString()).c_str());
}

void Cloud::encode(KeyedArchiver& coder) const {
    coder.encodeFloat("density", density_);
    coder.encodeFloat("cover", cover_);
    coder.encodeFloat("sharpness", sharpness_);
    coder.encodeFloat("heightAboveGround", heightAboveGround_);
    coder.encodeFloat("height", height_);
    coder.encodeObject("cloudsTexture", cloudsTexture_.get());
    coder.encodeObject("cloudsLayer", cloudsLayer_);
    coder.encodeInt32("edgeMode", edgeMode_);
    encodeBox(coder, kBoundingBoxKey, boundingBox_);
}

void Cloud::decode(KeyedUnarchiver& coder) {
    // The instance already holds its defaults and a new texture.
    density_ = decodeCheckedFloat(coder, "density", "cloud density", kNonNegativeRange);
    cover_ = coder.decodeFloat("cover");  // any finite number
    sharpness_ = decodeCheckedFloat(coder, "sharpness", "cloud sharpness", kNonNegativeRange);
    heightAboveGround_ =
        decodeCheckedFloat(coder, "heightAboveGround", "cloud height above ground", kHeightRange);
    height_ = decodeCheckedFloat(coder, "height", "cloud thickness", kHeightRange);
    edgeMode_ = decodeCheckedInt32(coder, "edgeMode", "cloud edge mode", kEdgeModeRange);
    // "cloudsLayer" is not read back: the layer being decoded adopts this cloud once its list is
    // read, and a reference to any other object could not be trusted to outlive the archive.
    cloudsLayer_ = nullptr;
    // A cloud without a texture could not render; one stored without keeps the new one.
    if (auto texture = coder.decodeObjectOfClass<CloudsTexture>("cloudsTexture")) {
        setCloudsTexture(std::move(texture));
    }
    boundingBox_ = decodeBox(coder, kBoundingBoxKey);
}

void Cloud::postSceneDidChange() const {
    if (cloudsLayer_ && cloudsLayer_->scene()) cloudsLayer_->scene()->postSceneDidChangeNotification();
}

const Scene* Cloud::sceneForRenderer(const BaseRenderer& renderer) const {
    if (cloudsLayer_ && cloudsLayer_->scene()) return cloudsLayer_->scene();
    return renderer.scene();
}

}  // namespace korvane
