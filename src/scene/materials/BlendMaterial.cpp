#include "scene/materials/BlendMaterial.h"

#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "raytracer/interface.h"
#include "scene/shaders/GraphWalkMemo.h"
#include "scene/shaders/RecursionGuard.h"

namespace korvane {

const yafaray::material_t* BlendMaterial::appendToRenderer(BaseRenderer& renderer, float scaleX, float scaleY,
                                                           float scaleZ) {
    RecursionGuard guard;
    // A blend met before in this walk (one material under two blends) was created then; its handle
    // serves again, so shared components are created once and not once per path.
    GraphWalkMemo<MaterialWalk, const yafaray::material_t*> memo;
    if (const yafaray::material_t* const* created = memo.find(this)) return *created;
    memo.remember(this, nullptr);  // a blend that leads back to itself gets nothing
    yafaray::yafrayInterface_t* yi = interfaceOf(renderer);
    if (guard.tooDeep() || !yi) return nullptr;
    if (!material1_ || !material2_ || !maskShader_) return nullptr;

    // The components must exist under their names before the blend names them; one met before in
    // this walk already does.
    auto appendOnce = [&](BaseMaterial& component) {
        if (memo.find(&component)) return;
        memo.remember(&component, component.appendToRenderer(renderer, scaleX, scaleY, scaleZ));
    };
    appendOnce(*material1_);
    appendOnce(*material2_);
    maskShader_->appendToRenderer(renderer);

    yi->paramsClearAll();
    yi->paramsSetString("type", "fixed_blend_mat");
    yi->paramsSetString("material1", material1_->materialNameForRenderer().c_str());
    yi->paramsSetString("material2", material2_->materialNameForRenderer().c_str());
    // The mask covers the whole surface once: it is not scaled with the components' textures.
    maskShader_->appendShaderNodeToRenderer(renderer);
    yi->paramsEndList();
    yi->paramsSetString("mask", maskShader_->name().c_str());
    const yafaray::material_t* material = yi->createMaterial(materialNameForRenderer().c_str());
    memo.remember(this, material);
    return material;
}

void BlendMaterial::encode(KeyedArchiver& coder) const {
    BaseMaterial::encode(coder);
    coder.encodeObject("material1", material1_.get());
    coder.encodeObject("material2", material2_.get());
    coder.encodeObject("maskShader", maskShader_.get());
}

void BlendMaterial::decode(KeyedUnarchiver& coder) {
    BaseMaterial::decode(coder);
    material1_ = coder.decodeObjectOfClass<BaseMaterial>("material1");
    material2_ = coder.decodeObjectOfClass<BaseMaterial>("material2");
    maskShader_ = coder.decodeObjectOfClass<BaseShader>("maskShader");
}

}  // namespace korvane
