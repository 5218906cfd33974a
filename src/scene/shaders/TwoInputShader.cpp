#include "scene/shaders/TwoInputShader.h"

#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "raytracer/interface.h"
#include "scene/shaders/RecursionGuard.h"

namespace korvane {

std::optional<Color> combinedRepresentativeColor(const BaseShader* shader1, const BaseShader* shader2) {
    RecursionGuard guard;
    if (guard.tooDeep() || !shader1) return std::nullopt;
    std::optional<Color> first = shader1->representativeColor();
    if (!first) return std::nullopt;
    std::optional<Color> second = shader2 ? shader2->representativeColor() : std::nullopt;
    if (!second) return first;
    return first->blended(0.5, *second);
}

void TwoInputShader::appendToRenderer(BaseRenderer& renderer) {
    RecursionGuard guard;
    if (guard.tooDeep()) return;
    if (shader1_) shader1_->appendToRenderer(renderer);
    if (shader2_) shader2_->appendToRenderer(renderer);
}

yafaray::yafrayInterface_t* TwoInputShader::beginCombiningNode(BaseRenderer& renderer, const char* type) {
    RecursionGuard guard;
    yafaray::yafrayInterface_t* yi = interfaceOf(renderer);
    if (guard.tooDeep() || !yi || !shader1_ || !shader2_) return nullptr;
    shader1_->appendShaderNodeToRenderer(renderer);
    shader2_->appendShaderNodeToRenderer(renderer);
    yi->paramsPushList();
    yi->paramsSetString("element", "shader_node");
    yi->paramsSetString("type", type);
    yi->paramsSetString("name", name().c_str());
    return yi;
}

std::optional<Color> TwoInputShader::representativeColor() const {
    return combinedRepresentativeColor(shader1_.get(), shader2_.get());
}

void TwoInputShader::setBumpStrength(float strength) {
    RecursionGuard guard;
    if (guard.tooDeep()) return;
    if (shader1_ && shader1_->respondsToSetBumpStrength()) shader1_->setBumpStrength(strength);
    if (shader2_ && shader2_->respondsToSetBumpStrength()) shader2_->setBumpStrength(strength);
}

void TwoInputShader::encode(KeyedArchiver& coder) const {
    BaseShader::encode(coder);
    coder.encodeObject("shader1", shader1_.get());
    coder.encodeObject("shader2", shader2_.get());
}

void TwoInputShader::decode(KeyedUnarchiver& coder) {
    BaseShader::decode(coder);
    shader1_ = coder.decodeObjectOfClass<BaseShader>("shader1");
    shader2_ = coder.decodeObjectOfClass<BaseShader>("shader2");
}

}  // namespace korvane
