#include "scene/shaders/TwoInputShader.h"

#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "raytracer/interface.h"
#include "scene/shaders/GraphWalkMemo.h"
#include "scene/shaders/RecursionGuard.h"

namespace korvane {

std::optional<Color> combinedRepresentativeColor(const BaseShader* shader1, const BaseShader* shader2) {
    RecursionGuard guard;
    GraphWalkMemo<ColorWalk, std::optional<Color>> memo;
    if (guard.tooDeep() || !shader1) return std::nullopt;
    // A shader met before in this walk answers from memory: shared inputs are asked once.
    auto colorOf = [&memo](const BaseShader* shader) -> std::optional<Color> {
        if (const std::optional<Color>* known = memo.find(shader)) return *known;
        memo.remember(shader, std::nullopt);  // an input that leads back here has no colour
        std::optional<Color> color = shader->representativeColor();
        memo.remember(shader, color);
        return color;
    };
    std::optional<Color> first = colorOf(shader1);
    if (!first) return std::nullopt;
    std::optional<Color> second = shader2 ? colorOf(shader2) : std::nullopt;
    if (!second) return first;
    return first->blended(0.5, *second);
}

void TwoInputShader::appendToRenderer(BaseRenderer& renderer) {
    RecursionGuard guard;
    GraphWalkMemo<TextureWalk> memo;
    if (guard.tooDeep() || !memo.firstVisit(this)) return;
    if (shader1_) shader1_->appendToRenderer(renderer);
    if (shader2_) shader2_->appendToRenderer(renderer);
}

yafaray::yafrayInterface_t* TwoInputShader::beginCombiningNode(BaseRenderer& renderer, const char* type) {
    RecursionGuard guard;
    GraphWalkMemo<NodeWalk> memo;
    yafaray::yafrayInterface_t* yi = interfaceOf(renderer);
    if (guard.tooDeep() || !yi || !shader1_ || !shader2_) return nullptr;
    // A node already in the list serves every shader that names it.
    if (!memo.firstVisit(this)) return nullptr;
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
    GraphWalkMemo<BumpStrengthWalk> memo;
    if (guard.tooDeep() || !memo.firstVisit(this)) return;
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
