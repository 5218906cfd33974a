#include "scene/shaders/MixShader.h"

#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "raytracer/interface.h"

namespace korvane {

std::shared_ptr<MixShader> MixShader::mixShaderWithShader1(std::shared_ptr<BaseShader> shader1,
                                                           std::shared_ptr<BaseShader> shader2) {
    auto shader = std::make_shared<MixShader>();
    shader->setShader1(std::move(shader1));
    shader->setShader2(std::move(shader2));
    return shader;
}

void MixShader::appendShaderNodeToRenderer(BaseRenderer& renderer) {
    yafaray::yafrayInterface_t* yi = beginCombiningNode(renderer, "mix");
    if (!yi) return;
    yi->paramsSetString("input1", shader1_->name().c_str());
    yi->paramsSetString("input2", shader2_->name().c_str());
    yi->paramsSetFloat("value", factor_);
    yi->paramsSetInt("mode", mode_);
}

void MixShader::encode(KeyedArchiver& coder) const {
    TwoInputShader::encode(coder);
    coder.encodeFloat("factor", factor_);
    coder.encodeInt32("mode", mode_);
}

void MixShader::decode(KeyedUnarchiver& coder) {
    TwoInputShader::decode(coder);
    factor_ = coder.decodeFloat("factor");
    mode_ = coder.decodeInt32("mode");
}

}  // namespace korvane
