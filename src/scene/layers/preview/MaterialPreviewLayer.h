#pragma once

#include <memory>

#include "scene/BaseSceneLayer.h"

namespace korvane {

class BaseMaterial;

// Shows one material on a flat, textured 20 × 20 square: the swatch of the material and texture
// editors' previews, which add a camera, a light and a sky around it. Built by the editors for
// their preview scenes only, never part of a document's stack.
class MaterialPreviewLayer final : public BaseSceneLayer {
public:
    explicit MaterialPreviewLayer(Scene* scene = nullptr);  // initWithScene:
    // The base layer's values and the same material object (edits show in both).
    std::shared_ptr<BaseSceneLayer> copy() const override;

    std::string name() const override { return "Material Preview"; }

    const std::shared_ptr<BaseMaterial>& material() const { return material_; }
    void setMaterial(std::shared_ptr<BaseMaterial> material) { material_ = std::move(material); }

    // The material, then the square at height 0.1 from (−5, −5) to (15, 15) carrying the texture
    // range 0…0.5 in both directions. Only for the ray tracer. Render worker thread.
    void appendToRenderer(BaseRenderer& renderer) override;

    std::string archiveClassName() const override { return "MaterialPreviewLayer"; }

private:
    std::shared_ptr<BaseMaterial> material_;
};

}  // namespace korvane
