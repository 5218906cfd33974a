#pragma once

#include <memory>

#include "scene/shaders/BaseShader.h"

namespace korvane {

// Lays shader2 over shader1 with the ray tracer's "layer" node. Kept in the model and in archives;
// made through its class factory.
class LayerShader final : public BaseShader {
public:
    static constexpr int kDefaultMode = 2;

    LayerShader() = default;
    // layerShaderWithShader1:andShader2:
    static std::shared_ptr<LayerShader> layerShaderWithShader1(std::shared_ptr<BaseShader> shader1,
                                                               std::shared_ptr<BaseShader> shader2);

    const std::shared_ptr<BaseShader>& shader1() const { return shader1_; }
    void setShader1(std::shared_ptr<BaseShader> shader) { shader1_ = std::move(shader); }
    const std::shared_ptr<BaseShader>& shader2() const { return shader2_; }
    void setShader2(std::shared_ptr<BaseShader> shader) { shader2_ = std::move(shader); }
    // Not archived: always the default after decoding.
    int mode() const { return mode_; }
    void setMode(int mode) { mode_ = mode; }

    void appendToRenderer(BaseRenderer& renderer) override;
    // Only the unscaled node is overridden, so a scale given to the layer does not reach its inputs.
    void appendShaderNodeToRenderer(BaseRenderer& renderer) override;
    using BaseShader::appendShaderNodeToRenderer;

    std::optional<Color> representativeColor() const override;
    bool respondsToSetBumpStrength() const override { return true; }
    void setBumpStrength(float strength) override;

    // Archive: "name", "shader1", "shader2".
    std::string archiveClassName() const override { return "LayerShader"; }
    void encode(KeyedArchiver& coder) const override;
    void decode(KeyedUnarchiver& coder) override;

private:
    std::shared_ptr<BaseShader> shader1_;
    std::shared_ptr<BaseShader> shader2_;
    int mode_ = kDefaultMode;
};

// shader1's colour blended half-way toward shader2's; none when shader1 has none, shader1's alone when
// shader2 has none. Shared by the two combining shaders.
std::optional<Color> combinedRepresentativeColor(const BaseShader* shader1, const BaseShader* shader2);

}  // namespace korvane
