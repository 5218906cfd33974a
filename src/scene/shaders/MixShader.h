#pragma once

#include <memory>

#include "scene/shaders/BaseShader.h"

namespace korvane {

// Mixes two shaders by a constant factor with the ray tracer's "mix" node. Kept in the model and in
// archives; made through its class factory.
class MixShader final : public BaseShader {
public:
    MixShader() = default;
    // mixShaderWithShader1:andShader2:
    static std::shared_ptr<MixShader> mixShaderWithShader1(std::shared_ptr<BaseShader> shader1,
                                                           std::shared_ptr<BaseShader> shader2);

    const std::shared_ptr<BaseShader>& shader1() const { return shader1_; }
    void setShader1(std::shared_ptr<BaseShader> shader) { shader1_ = std::move(shader); }
    const std::shared_ptr<BaseShader>& shader2() const { return shader2_; }
    void setShader2(std::shared_ptr<BaseShader> shader) { shader2_ = std::move(shader); }
    int mode() const { return mode_; }
    void setMode(int mode) { mode_ = mode; }
    float factor() const { return factor_; }
    void setFactor(float factor) { factor_ = factor; }

    void appendToRenderer(BaseRenderer& renderer) override;
    // Only the unscaled node is overridden, so a scale given to the mix does not reach its inputs.
    void appendShaderNodeToRenderer(BaseRenderer& renderer) override;
    using BaseShader::appendShaderNodeToRenderer;

    std::optional<Color> representativeColor() const override;
    bool respondsToSetBumpStrength() const override { return true; }
    void setBumpStrength(float strength) override;

    // Archive: "name", "shader1", "shader2", "factor", "mode".
    std::string archiveClassName() const override { return "MixShader"; }
    void encode(KeyedArchiver& coder) const override;
    void decode(KeyedUnarchiver& coder) override;

private:
    std::shared_ptr<BaseShader> shader1_;
    std::shared_ptr<BaseShader> shader2_;
    int mode_ = 0;
    float factor_ = 0.5f;
};

}  // namespace korvane
