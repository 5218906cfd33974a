#pragma once

#include <memory>

#include "scene/shaders/BaseShader.h"
#include "scene/textures/BaseTexture.h"

namespace korvane {

// Reads one texture through the surface's UV coordinates: the shader the application builds
// everywhere (presets, water, the terrain's masks, small objects).
class TextureMapperShader final : public BaseShader {
public:
    TextureMapperShader() = default;
    // textureMapperShaderWithTexture:
    static std::shared_ptr<TextureMapperShader> textureMapperShaderWithTexture(
        std::shared_ptr<BaseTexture> texture);

    const std::shared_ptr<BaseTexture>& texture() const { return texture_; }
    void setTexture(std::shared_ptr<BaseTexture> texture) { texture_ = std::move(texture); }
    float bumpStrength() const { return bumpStrength_; }
    bool respondsToSetBumpStrength() const override { return true; }
    void setBumpStrength(float strength) override { bumpStrength_ = strength; }

    // The texture creates itself.
    void appendToRenderer(BaseRenderer& renderer) override;
    // The "texture_mapper" node with "uv" coordinates; a scale other than 1, 1, 1 is sent as "scale".
    void appendShaderNodeToRenderer(BaseRenderer& renderer, float scaleX, float scaleY,
                                    float scaleZ) override;
    using BaseShader::appendShaderNodeToRenderer;

    std::optional<Color> representativeColor() const override;

    // Archive: "name", "texture", "bumpStrength".
    std::string archiveClassName() const override { return "TextureMapperShader"; }
    void encode(KeyedArchiver& coder) const override;
    void decode(KeyedUnarchiver& coder) override;

private:
    std::shared_ptr<BaseTexture> texture_;
    float bumpStrength_ = 0.0f;
};

}  // namespace korvane
