#include "scene/textures/CloudsTexture.h"

#include "foundation/archive/KeyedUnarchiver.h"
#include "raytracer/interface.h"
#include "scene/textures/OptionalColorArchive.h"

namespace korvane {

void CloudsTexture::appendToRenderer(BaseRenderer& renderer) {
    yafaray::yafrayInterface_t* yi = interfaceOf(renderer);
    if (!yi) return;
    yi->paramsClearAll();
    yi->paramsSetString("type", "clouds");
    yi->paramsSetFloat("size", size_);
    yi->paramsSetInt("depth", depth_);
    yi->paramsSetBool("hard", hard_);
    // Any other value means no bias, which the ray tracer assumes when none is sent.
    if (bias_ == kBiasPositive) yi->paramsSetString("bias", "positive");
    if (bias_ == kBiasNegative) yi->paramsSetString("bias", "negative");
    yi->paramsSetString("noise_type", noiseNameForRenderer(noiseType_).c_str());
    sendColor(*yi, "color1", color1_);
    sendColor(*yi, "color2", color2_);
    yi->createTexture(name().c_str());
}

void CloudsTexture::encode(KeyedArchiver& coder) const {
    BaseTexture::encode(coder);
    coder.encodeInt32("noiseType", noiseType_);
    encodeOptionalColor(coder, "color1", color1_);
    encodeOptionalColor(coder, "color2", color2_);
    coder.encodeInt32("bias", bias_);
    coder.encodeInt32("depth", depth_);
    coder.encodeFloat("size", size_);
    coder.encodeBool("hard", hard_);
}

void CloudsTexture::decode(KeyedUnarchiver& coder) {
    BaseTexture::decode(coder);
    noiseType_ = coder.decodeInt32("noiseType");
    color1_ = coder.decodeColor("color1");
    color2_ = coder.decodeColor("color2");
    bias_ = coder.decodeInt32("bias");
    depth_ = coder.decodeInt32("depth");
    size_ = coder.decodeFloat("size");
    hard_ = coder.decodeBool("hard");
}

}  // namespace korvane
