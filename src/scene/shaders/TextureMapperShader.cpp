#include "scene/shaders/TextureMapperShader.h"

#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "raytracer/interface.h"
#include "scene/shaders/GraphWalkMemo.h"

namespace korvane {

std::shared_ptr<TextureMapperShader> TextureMapperShader::textureMapperShaderWithTexture(
    std::shared_ptr<BaseTexture> texture) {
    auto shader = std::make_shared<TextureMapperShader>();
    shader->setTexture(std::move(texture));
    return shader;
}

void TextureMapperShader::appendToRenderer(BaseRenderer& renderer) {
    GraphWalkMemo<TextureWalk> memo;
    if (texture_ && memo.firstVisit(this)) texture_->appendToRenderer(renderer);
}

void TextureMapperShader::appendShaderNodeToRenderer(BaseRenderer& renderer, float scaleX, float scaleY,
                                                     float scaleZ) {
    GraphWalkMemo<NodeWalk> memo;
    yafaray::yafrayInterface_t* yi = interfaceOf(renderer);
    if (!yi || !texture_ || !memo.firstVisit(this)) return;
    yi->paramsPushList();
    yi->paramsSetString("element", "shader_node");
    yi->paramsSetString("type", "texture_mapper");
    yi->paramsSetString("name", name().c_str());
    yi->paramsSetString("texco", "uv");
    yi->paramsSetString("texture", texture_->name().c_str());
    yi->paramsSetFloat("bump_strength", bumpStrength_);
    // Written so that a NaN scale counts as different from 1 and is sent.
    if (!(scaleX == 1.0f && scaleY == 1.0f && scaleZ == 1.0f)) {
        yi->paramsSetPoint("scale", scaleX, scaleY, scaleZ);
    }
}

std::optional<Color> TextureMapperShader::representativeColor() const {
    if (!texture_) return std::nullopt;
    return texture_->representativeColor();
}

void TextureMapperShader::encode(KeyedArchiver& coder) const {
    BaseShader::encode(coder);
    coder.encodeObject("texture", texture_.get());
    coder.encodeFloat("bumpStrength", bumpStrength_);
}

void TextureMapperShader::decode(KeyedUnarchiver& coder) {
    BaseShader::decode(coder);
    texture_ = coder.decodeObjectOfClass<BaseTexture>("texture");
    bumpStrength_ = coder.decodeFloat("bumpStrength");
}

}  // namespace korvane
