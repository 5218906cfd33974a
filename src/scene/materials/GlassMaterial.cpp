#include "scene/materials/GlassMaterial.h"

#include "raytracer/interface.h"

namespace korvane {

namespace {

constexpr float kAbsorptionDistanceOffset = 0.01f;

// Glass colours always go out opaque.
void sendOpaqueColor(yafaray::yafrayInterface_t& yi, const char* key, const Color& color) {
    yi.paramsSetColor(key, static_cast<float>(color.red), static_cast<float>(color.green),
                      static_cast<float>(color.blue), 1.0f);
}

}  // namespace

const yafaray::material_t* GlassMaterial::appendToRenderer(BaseRenderer& renderer, float scaleX, float scaleY,
                                                           float scaleZ) {
    yafaray::yafrayInterface_t* yi = interfaceOf(renderer);
    if (!yi) return nullptr;
    BaseShader* bump = bumpShader_.get();
    if (bump) {
        if (bump->respondsToSetBumpStrength()) bump->setBumpStrength(bumpStrength_);
        bump->appendToRenderer(renderer);
    }

    yi->paramsClearAll();
    yi->paramsSetString("type", "glass");
    yi->paramsSetBool("fake_shadows", true);
    yi->paramsSetFloat("IOR", IOR_);
    if (transmitFilterColor_) sendOpaqueColor(*yi, "filter_color", *transmitFilterColor_);
    yi->paramsSetFloat("transmit_filter", transmitFilterStrength_);
    if (color_) sendOpaqueColor(*yi, "absorption", *color_);
    yi->paramsSetFloat("absorption_dist", absorbtion_ + kAbsorptionDistanceOffset);
    if (mirrorColor_) sendOpaqueColor(*yi, "mirror_color", *mirrorColor_);
    yi->paramsSetFloat("dispersion_power", dispersionStrength_);

    if (bump) bump->appendShaderNodeToRenderer(renderer, scaleX, scaleY, scaleZ);
    yi->paramsEndList();
    if (bump) yi->paramsSetString("bump_shader", bump->name().c_str());
    return yi->createMaterial(materialNameForRenderer().c_str());
}

}  // namespace korvane
