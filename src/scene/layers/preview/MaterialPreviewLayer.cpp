#include "scene/layers/preview/MaterialPreviewLayer.h"

#include "raytracer/interface.h"
#include "scene/BaseRenderer.h"
#include "scene/materials/BaseMaterial.h"

namespace korvane {

namespace {

constexpr double kSwatchLow = -5.0;
constexpr double kSwatchHigh = 15.0;
constexpr double kSwatchHeight = 0.1;
constexpr float kSwatchTextureRange = 0.5f;

}  // namespace

MaterialPreviewLayer::MaterialPreviewLayer(Scene* scene) : BaseSceneLayer(scene) {}

std::shared_ptr<BaseSceneLayer> MaterialPreviewLayer::copy() const {
    auto layer = std::make_shared<MaterialPreviewLayer>();
    layer->material_ = material_;
    return layer;
}

void MaterialPreviewLayer::appendToRenderer(BaseRenderer& renderer) {
    if (!renderer.isYafarayRenderer() || !renderer.yafrayinterface()) return;
    yafaray::yafrayInterface_t& yi = *renderer.yafrayinterface();
    // Without a material (or one that creates nothing) the square still shows, plain white.
    const yafaray::material_t* material = material_ ? material_->appendToRenderer(renderer) : nullptr;

    // Corners A, B, C, D (indices 0…3 of the new mesh) with their texture coordinates a, b, c, d;
    // the mesh's vertex and triangle counts are only size hints to the ray tracer.
    unsigned int meshId = 0;
    yi.startTriMesh(meshId, 8, 12, false, true, 0);
    yi.addVertex(kSwatchLow, kSwatchLow, kSwatchHeight);
    yi.addVertex(kSwatchLow, kSwatchHigh, kSwatchHeight);
    yi.addVertex(kSwatchHigh, kSwatchHigh, kSwatchHeight);
    yi.addVertex(kSwatchHigh, kSwatchLow, kSwatchHeight);
    yi.addUV(0.0f, 0.0f);
    yi.addUV(0.0f, kSwatchTextureRange);
    yi.addUV(kSwatchTextureRange, kSwatchTextureRange);
    yi.addUV(kSwatchTextureRange, 0.0f);
    constexpr int a = 0, b = 1, c = 2, d = 3;
    yi.addTriangle(c, b, a, c, b, a, material);
    yi.addTriangle(a, d, c, a, d, c, material);
    yi.endTriMesh();
}

}  // namespace korvane
