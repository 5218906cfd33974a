#pragma once

#include <memory>

#include "scene/shaders/TwoInputShader.h"

namespace korvane {

// Lays shader2 over shader1 with the ray tracer's "layer" node. Kept in the model and in archives;
// made through its class factory.
class LayerShader final : public TwoInputShader {
public:
    static constexpr int kDefaultMode = 2;

    LayerShader() = default;
    // layerShaderWithShader1:andShader2:
    static std::shared_ptr<LayerShader> layerShaderWithShader1(std::shared_ptr<BaseShader> shader1,
                                                               std::shared_ptr<BaseShader> shader2);

    // Not archived: always the default after decoding.
    int mode() const { return mode_; }
    void setMode(int mode) { mode_ = mode; }

    // Only the unscaled node is overridden, so a scale given to the layer does not reach its inputs.
    void appendShaderNodeToRenderer(BaseRenderer& renderer) override;
    using BaseShader::appendShaderNodeToRenderer;

    // Archive: "name", "shader1", "shader2".
    std::string archiveClassName() const override { return "LayerShader"; }

private:
    int mode_ = kDefaultMode;
};

}  // namespace korvane
