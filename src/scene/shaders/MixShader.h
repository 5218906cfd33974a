#pragma once

#include <memory>

#include "scene/shaders/TwoInputShader.h"

namespace korvane {

// Mixes two shaders by a constant factor with the ray tracer's "mix" node. Kept in the model and in
// archives; made through its class factory.
class MixShader final : public TwoInputShader {
public:
    MixShader() = default;
    // mixShaderWithShader1:andShader2:
    static std::shared_ptr<MixShader> mixShaderWithShader1(std::shared_ptr<BaseShader> shader1,
                                                           std::shared_ptr<BaseShader> shader2);

    int mode() const { return mode_; }
    void setMode(int mode) { mode_ = mode; }
    float factor() const { return factor_; }
    void setFactor(float factor) { factor_ = factor; }

    // Only the unscaled node is overridden, so a scale given to the mix does not reach its inputs.
    void appendShaderNodeToRenderer(BaseRenderer& renderer) override;
    using BaseShader::appendShaderNodeToRenderer;

    // Archive: "name", "shader1", "shader2", "factor", "mode".
    std::string archiveClassName() const override { return "MixShader"; }
    void encode(KeyedArchiver& coder) const override;
    void decode(KeyedUnarchiver& coder) override;

private:
    int mode_ = 0;
    float factor_ = 0.5f;
};

}  // namespace korvane
