#pragma once

#include <memory>

#include "scene/materials/BaseMaterial.h"
#include "scene/shaders/BaseShader.h"

namespace korvane {

// Two materials blended through a mask shader (the application's "fixed_blend_mat"): material1
// where the mask is 0, material2 where it is 1. The terrain texture layer stacks its material maps
// with a chain of these, built for one render.
class BlendMaterial final : public BaseMaterial {
public:
    BlendMaterial() = default;

    const std::shared_ptr<BaseMaterial>& material1() const { return material1_; }
    void setMaterial1(std::shared_ptr<BaseMaterial> material) { material1_ = std::move(material); }
    const std::shared_ptr<BaseMaterial>& material2() const { return material2_; }
    void setMaterial2(std::shared_ptr<BaseMaterial> material) { material2_ = std::move(material); }
    const std::shared_ptr<BaseShader>& maskShader() const { return maskShader_; }
    void setMaskShader(std::shared_ptr<BaseShader> shader) { maskShader_ = std::move(shader); }

    // Both materials (with the same scales) and the mask's textures first, then the blend itself.
    // Null, with nothing created, when a part is missing.
    const yafaray::material_t* appendToRenderer(BaseRenderer& renderer, float scaleX, float scaleY,
                                                float scaleZ) override;
    using BaseMaterial::appendToRenderer;

    // Archive: "name", "material1", "material2", "maskShader".
    std::string archiveClassName() const override { return "BlendMaterial"; }
    void encode(KeyedArchiver& coder) const override;
    void decode(KeyedUnarchiver& coder) override;

private:
    std::shared_ptr<BaseMaterial> material1_;
    std::shared_ptr<BaseMaterial> material2_;
    std::shared_ptr<BaseShader> maskShader_;
};

}  // namespace korvane
