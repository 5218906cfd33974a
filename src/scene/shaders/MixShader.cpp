#include "scene/shaders/MixShader.h"

#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "raytracer/interface.h"
#include "scene/shaders/LayerShader.h"
#include "scene/shaders/RecursionGuard.h"

namespace korvane {

std::shared_ptr<MixShader> MixShader::mixShaderWithShader1(std::shared_ptr<BaseShader> shader1,
                                                           std::shared_ptr<BaseShader> shader2) {
    auto shader = std::make_shared<MixShader>();
    shader->setShader1(std::move(shader1));
    shader->setShader2(std::move(shader2));
    return shader;
}

void MixShader::appendToRenderer(BaseRenderer& renderer) {
    RecursionGuard guard;
    if (guard.tooDeep()) return;
    if (shader1_) shader1_->appendToRenderer(renderer);
    if (shader2_) shader2_->appendToRenderer(renderer);
}

void MixShader::appendShaderNodeToRenderer(BaseRenderer& renderer) {
    RecursionGuard guard;
    yafaray::yafrayInterface_t* yi = interfaceOf(renderer);
    if (guard.tooDeep() || !yi || !shader1_ || !shader2_) return;
    shader1_->appendShaderNodeToRenderer(renderer);
    shader2_->appendShaderNodeToRenderer(renderer);
    yi->paramsPushList();
    yi->paramsSetString("element", "shader_node");
    yi->paramsSetString("type", "mix");
    yi->paramsSetString("name", name().c_str());
    yi->paramsSetString("input1", shader1_->name().c_str());
    yi->paramsSetString("input2", shader2_->name().c_str());
    yi->paramsSetFloat("value", factor_);
    yi->paramsSetInt("mode", mode_);
}

std::optional<Color> MixShader::representativeColor() const {
    return combinedRepresentativeColor(shader1_.get(), shader2_.get());
}

void MixShader::setBumpStrength(float strength) {
    RecursionGuard guard;
    if (guard.tooDeep()) return;
    if (shader1_ && shader1_->respondsToSetBumpStrength()) shader1_->setBumpStrength(strength);
    if (shader2_ && shader2_->respondsToSetBumpStrength()) shader2_->setBumpStrength(strength);
}

void MixShader::encode(KeyedArchiver& coder) const {
    BaseShader::encode(coder);
    coder.encodeObject("shader1", shader1_.get());
    coder.encodeObject("shader2", shader2_.get());
    coder.encodeFloat("factor", factor_);
    coder.encodeInt32("mode", mode_);
}

void MixShader::decode(KeyedUnarchiver& coder) {
    BaseShader::decode(coder);
    shader1_ = coder.decodeObjectOfClass<BaseShader>("shader1");
    shader2_ = coder.decodeObjectOfClass<BaseShader>("shader2");
    factor_ = coder.decodeFloat("factor");
    mode_ = coder.decodeInt32("mode");
}

}  // namespace korvane
