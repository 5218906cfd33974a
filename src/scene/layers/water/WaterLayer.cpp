#include "scene/layers/water/WaterLayer.h"

#include <algorithm>
#include <cmath>

#include "foundation/ImageCodecs.h"
#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "raytracer/interface.h"
#include "scene/BaseRenderer.h"
#include "scene/CheckedValue.h"
#include "scene/Scene.h"
#include "scene/layers/water/WaterMaterial.h"
#include "scene/textures/OptionalColorArchive.h"

namespace korvane {

namespace {
constexpr float kDefaultHeight = 0.25f;
constexpr float kBoxBottom = -0.01f;  // just below the ground so that the shore has no seam
constexpr int kBoxVertices = 8;
constexpr int kBoxTriangles = 12;
}  // namespace

WaterLayer::WaterLayer(Scene* scene) : BaseSceneLayer(scene) {
    active_ = false;
    height_ = kDefaultHeight;
    configureWithPresetDictionary(presetDictionaries().front());
}

std::shared_ptr<BaseSceneLayer> WaterLayer::copy() const {
    auto layer = std::make_shared<WaterLayer>();
    layer->setActive(active_);
    layer->setAbsorbtion(absorbtion_);
    layer->setHeight(height_);
    layer->setWavesTwirl(wavesTwirl_);
    layer->setWavesHeight(wavesHeight_);
    layer->setWavesSize(wavesSize_);
    layer->setIOR(IOR_);
    layer->setWaterColor(waterColor_);
    layer->setMirrorColor(mirrorColor_);
    return layer;
}

void WaterLayer::setActive(bool value) {
    active_ = value;
    postSceneDidChange();
}

void WaterLayer::setHeight(float value) {
    height_ = value;
    postSceneDidChange();
}

void WaterLayer::setAbsorbtion(float value) {
    absorbtion_ = value;
    postSceneDidChange();
}

void WaterLayer::setWavesHeight(float value) {
    wavesHeight_ = value;
    postSceneDidChange();
}

void WaterLayer::setWavesTwirl(float value) {
    wavesTwirl_ = value;
    postSceneDidChange();
}

void WaterLayer::setWavesSize(float value) {
    wavesSize_ = value;
    postSceneDidChange();
}

void WaterLayer::setIOR(float value) {
    IOR_ = value;
    postSceneDidChange();
}

void WaterLayer::setWaterColor(std::optional<Color> color) {
    waterColor_ = color;
    postSceneDidChange();
}

void WaterLayer::setMirrorColor(std::optional<Color> color) {
    mirrorColor_ = color;
    postSceneDidChange();
}

std::shared_ptr<Bitmap> WaterLayer::depthImageRep() const {
    if (!scene()) return nullptr;
    const Size size = scene()->size();
    const int overflow = static_cast<int>(std::trunc(scene()->sizeOverflow()));
    const double widthInPixels = size.width + 2.0 * overflow;
    const double heightInPixels = size.height + 2.0 * overflow;
    if (!(widthInPixels >= 1 && heightInPixels >= 1) ||
        widthInPixels * heightInPixels > static_cast<double>(kMaxImagePixels)) {
        return nullptr;
    }
    const int width = static_cast<int>(widthInPixels);
    const int height = static_cast<int>(heightInPixels);
    auto bitmap = std::make_shared<Bitmap>(width, height, PixelFormat::Gray8);
    if (bitmap->empty() || !(height_ > 0.0f)) return bitmap;
    uint8_t* pixels = bitmap->data();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const float elevation = scene()->highestTerrainElevationAtScenePoint(
                {static_cast<double>(x - overflow), static_cast<double>(y - overflow)}, false);
            const float fraction = std::min(1.0f, elevation / height_);
            pixels[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(std::trunc(fraction * 255.0f));
        }
    }
    return bitmap;
}

void WaterLayer::appendToRenderer(BaseRenderer& renderer) {
    if (!renderer.isYafarayRenderer() || !renderer.yafrayinterface() || !active_) return;
    const Scene* scene = renderer.scene() ? renderer.scene() : this->scene();
    if (!scene) return;
    yafaray::yafrayInterface_t& yi = *renderer.yafrayinterface();

    const Size size = scene->size();
    const yafaray::material_t* material = appendWaterMaterial(*this, renderer);

    unsigned int meshId = 0;
    yi.startTriMesh(meshId, kBoxVertices, kBoxTriangles, false, true, 0);
    // The box spans the scene and its whole-unit overflow margin on every side.
    const int overflow = static_cast<int>(std::trunc(scene->sizeOverflow()));
    const float x1 = static_cast<float>(size.width + overflow);
    const float y1 = static_cast<float>(size.height + overflow);
    const float x0 = static_cast<float>(-overflow);
    const float y0 = x0;
    const float z1 = height_;
    const float z0 = kBoxBottom;
    const float corners[kBoxVertices][3] = {
        {x1, y0, z1}, {x1, y0, z0}, {x1, y1, z0}, {x1, y1, z1},
        {x0, y1, z1}, {x0, y1, z0}, {x0, y0, z0}, {x0, y0, z1},
    };
    for (const auto& p : corners) yi.addVertex(p[0], p[1], p[2]);

    const float a = x1 / 10.0f;
    const float a2 = a / 10.0f;
    const float b = x0 / 10.0f;
    const float uvs[kBoxVertices][2] = {{a, a2}, {a, a2}, {a, b}, {a, b}, {b, b}, {b, b}, {b, a2}, {b, a2}};
    for (const auto& uv : uvs) yi.addUV(uv[0], uv[1]);

    // Vertex indices, then UV indices. The second triangle of the x = X0 face reuses T6 for its
    // second corner, as documents have always rendered it.
    const int faces[kBoxTriangles][6] = {
        {0, 1, 2, 0, 1, 2}, {2, 3, 0, 2, 3, 0},  // x = X1
        {4, 5, 6, 4, 5, 6}, {6, 7, 4, 6, 6, 4},  // x = X0
        {6, 5, 2, 6, 5, 2}, {6, 2, 1, 6, 2, 1},  // bottom
        {0, 4, 7, 0, 4, 7}, {4, 0, 3, 4, 0, 3},  // top
        {0, 6, 1, 0, 6, 1}, {6, 0, 7, 6, 0, 7},  // y = Y0
        {3, 2, 5, 3, 2, 5}, {5, 4, 3, 5, 4, 3},  // y = Y1
    };
    for (const auto& f : faces) yi.addTriangle(f[0], f[1], f[2], f[3], f[4], f[5], material);
    yi.endTriMesh();
}

void WaterLayer::encode(KeyedArchiver& coder) const {
    BaseSceneLayer::encode(coder);
    coder.encodeBool("active", active_);
    coder.encodeFloat("height", height_);
    coder.encodeFloat("absorbtion", absorbtion_);
    coder.encodeFloat("wavesTwirl", wavesTwirl_);
    coder.encodeFloat("wavesHeight", wavesHeight_);
    coder.encodeFloat("wavesSize", wavesSize_);
    coder.encodeFloat("IOR", IOR_);
    encodeOptionalColor(coder, "waterColor", waterColor_);
    encodeOptionalColor(coder, "mirrorColor", mirrorColor_);
}

void WaterLayer::decode(KeyedUnarchiver& coder) {
    BaseSceneLayer::decode(coder);
    active_ = coder.decodeBool("active");
    height_ = decodeCheckedFloat(coder, "height", "water height", kHeightRange);
    absorbtion_ = decodeCheckedFloat(coder, "absorbtion", "water absorption", kNonNegativeRange);
    wavesTwirl_ = decodeCheckedFloat(coder, "wavesTwirl", "water waves twirl", kNonNegativeRange);
    wavesHeight_ = decodeCheckedFloat(coder, "wavesHeight", "water waves height", kNonNegativeRange);
    wavesSize_ = decodeCheckedFloat(coder, "wavesSize", "water waves size", kNonNegativeRange);
    IOR_ = decodeCheckedFloat(coder, "IOR", "water index of refraction", kNonNegativeRange);
    setWaterColor(coder.decodeColor("waterColor"));
    setMirrorColor(coder.decodeColor("mirrorColor"));
}

}  // namespace korvane
