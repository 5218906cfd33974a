#include "scene/shaders/BaseShader.h"

#include "foundation/UniqueString.h"
#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "scene/BaseRenderer.h"
#include "scene/shaders/RecursionGuard.h"

namespace korvane {

BaseShader::BaseShader() : name_(uniqueString()) {}

void BaseShader::appendToRenderer(BaseRenderer&) {}

// The two base versions call each other; a shader that overrides neither (a plain BaseShader from an
// archive) would loop forever, so the guard ends the exchange and such a shader adds no node.
void BaseShader::appendShaderNodeToRenderer(BaseRenderer& renderer) {
    RecursionGuard guard;
    if (guard.tooDeep()) return;
    appendShaderNodeToRenderer(renderer, 1.0f, 1.0f, 1.0f);
}

void BaseShader::appendShaderNodeToRenderer(BaseRenderer& renderer, float, float, float) {
    RecursionGuard guard;
    if (guard.tooDeep()) return;
    appendShaderNodeToRenderer(renderer);
}

yafaray::yafrayInterface_t* BaseShader::interfaceOf(BaseRenderer& renderer) {
    if (!renderer.isYafarayRenderer()) return nullptr;
    return renderer.yafrayinterface();
}

void BaseShader::encode(KeyedArchiver& coder) const {
    coder.encodeString("name", name_);
}

void BaseShader::decode(KeyedUnarchiver& coder) {
    name_ = coder.decodeString("name").value_or("");
}

}  // namespace korvane
