#include "scene/materials/DiffuseMaterial.h"

#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "raytracer/interface.h"
#include "scene/textures/OptionalColorArchive.h"

namespace korvane {

namespace {

void sendColor(yafaray::yafrayInterface_t& yi, const char* key, const Color& color) {
    yi.paramsSetColor(key, static_cast<float>(color.red), static_cast<float>(color.green),
                      static_cast<float>(color.blue), static_cast<float>(color.alpha));
}

}  // namespace

const yafaray::material_t* DiffuseMaterial::appendToRenderer(BaseRenderer& renderer, float scaleX,
                                                             float scaleY, float scaleZ) {
    yafaray::yafrayInterface_t* yi = interfaceOf(renderer);
    if (!yi) return nullptr;

    // Which shaders take part; the same conditions govern textures, nodes and the names below.
    BaseShader* bump = bumpShader_.get();
    BaseShader* diffuse = useDiffuseShader_ ? diffuseShader_.get() : nullptr;
    BaseShader* transparency = transparencyShader_.get();
    BaseShader* mirror = useMirrorShader_ ? mirrorShader_.get() : nullptr;

    // Textures first: each clears and uses the main parameter map, and must exist before the
    // material that names it.
    if (bump) {
        if (bump->respondsToSetBumpStrength()) bump->setBumpStrength(bumpStrength_);
        bump->appendToRenderer(renderer);
    }
    if (diffuse) diffuse->appendToRenderer(renderer);
    if (transparency) transparency->appendToRenderer(renderer);
    if (mirror) mirror->appendToRenderer(renderer);

    yi->paramsClearAll();
    yi->paramsSetString("type", "shinydiffusemat");
    yi->paramsSetFloat("diffuse_reflect", diffuseReflect_);
    // With the mirror switch on, reflection comes from the mirror shader alone (or not at all).
    if (!useMirrorShader_) yi->paramsSetFloat("specular_reflect", spectacularReflect_);
    yi->paramsSetFloat("transparency", transparency_);
    yi->paramsSetFloat("translucency", translucency_);
    yi->paramsSetFloat("transmit_filter", transmitFilter_);
    sendColor(*yi, "color", color_.value_or(Color::calibratedRGB(1, 1, 1, 1)));
    if (mirrorColor_) sendColor(*yi, "mirror_color", *mirrorColor_);

    if (bump) bump->appendShaderNodeToRenderer(renderer, scaleX, scaleY, scaleZ);
    if (diffuse) diffuse->appendShaderNodeToRenderer(renderer, scaleX, scaleY, scaleZ);
    if (transparency) transparency->appendShaderNodeToRenderer(renderer, scaleX, scaleY, scaleZ);
    if (mirror) mirror->appendShaderNodeToRenderer(renderer, scaleX, scaleY, scaleZ);
    yi->paramsEndList();

    if (bump) yi->paramsSetString("bump_shader", bump->name().c_str());
    if (diffuse) yi->paramsSetString("diffuse_shader", diffuse->name().c_str());
    if (transparency) yi->paramsSetString("transparency_shader", transparency->name().c_str());
    if (mirror) yi->paramsSetString("mirror_shader", mirror->name().c_str());

    return yi->createMaterial(materialNameForRenderer().c_str());
}

void DiffuseMaterial::encode(KeyedArchiver& coder) const {
    BaseMaterial::encode(coder);
    coder.encodeBool("useDiffuseShader", useDiffuseShader_);
    encodeOptionalColor(coder, "color", color_);
    coder.encodeObject("diffuseShader", diffuseShader_.get());
    coder.encodeFloat("bumpStrength", bumpStrength_);
    coder.encodeObject("bumpShader", bumpShader_.get());
    coder.encodeObject("transparencyShader", transparencyShader_.get());
    coder.encodeBool("useMirrorShader", useMirrorShader_);
    coder.encodeObject("mirrorShader", mirrorShader_.get());
    encodeOptionalColor(coder, "mirrorColor", mirrorColor_);
    coder.encodeFloat("diffuseReflect", diffuseReflect_);
    coder.encodeFloat("spectacularReflect", spectacularReflect_);
    coder.encodeFloat("transparency", transparency_);
    coder.encodeFloat("translucency", translucency_);
    coder.encodeFloat("transmitFilter", transmitFilter_);
}

void DiffuseMaterial::decode(KeyedUnarchiver& coder) {
    BaseMaterial::decode(coder);
    useDiffuseShader_ = coder.decodeBool("useDiffuseShader");
    color_ = coder.decodeColor("color");
    diffuseShader_ = coder.decodeObjectOfClass<BaseShader>("diffuseShader");
    bumpStrength_ = coder.decodeFloat("bumpStrength");
    bumpShader_ = coder.decodeObjectOfClass<BaseShader>("bumpShader");
    transparencyShader_ = coder.decodeObjectOfClass<BaseShader>("transparencyShader");
    useMirrorShader_ = coder.decodeBool("useMirrorShader");
    mirrorShader_ = coder.decodeObjectOfClass<BaseShader>("mirrorShader");
    mirrorColor_ = coder.decodeColor("mirrorColor");
    diffuseReflect_ = coder.decodeFloat("diffuseReflect");
    spectacularReflect_ = coder.decodeFloat("spectacularReflect");
    transparency_ = coder.decodeFloat("transparency");
    translucency_ = coder.decodeFloat("translucency");
    // Older files have no transmit filter; they keep the default of a new material.
    if (coder.containsValue("transmitFilter")) transmitFilter_ = coder.decodeFloat("transmitFilter");
}

}  // namespace korvane
