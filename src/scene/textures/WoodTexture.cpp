#include "scene/textures/WoodTexture.h"

#include "foundation/archive/KeyedUnarchiver.h"
#include "raytracer/interface.h"
#include "scene/textures/OptionalColorArchive.h"

namespace korvane {

void WoodTexture::appendToRenderer(BaseRenderer& renderer) {
    yafaray::yafrayInterface_t* yi = interfaceOf(renderer);
    if (!yi) return;
    yi->paramsClearAll();
    yi->paramsSetString("type", "wood");
    yi->paramsSetFloat("size", size_);
    yi->paramsSetFloat("turbulence", turbulence_);
    yi->paramsSetInt("depth", depth_);
    yi->paramsSetFloat("sharpness", sharpness_);
    yi->paramsSetBool("hard", hard_);
    yi->paramsSetString("noise_type", noiseNameForRenderer(noiseType_).c_str());
    sendColor(*yi, "color1", color1_);
    sendColor(*yi, "color2", color2_);
    yi->createTexture(name().c_str());
}

void WoodTexture::encode(KeyedArchiver& coder) const {
    BaseTexture::encode(coder);
    coder.encodeInt32("noiseType", noiseType_);
    encodeOptionalColor(coder, "color1", color1_);
    encodeOptionalColor(coder, "color2", color2_);
    coder.encodeInt32("depth", depth_);
    coder.encodeFloat("turbulence", turbulence_);
    coder.encodeFloat("sharpness", sharpness_);
    coder.encodeFloat("size", size_);
    coder.encodeBool("hard", hard_);
}

void WoodTexture::decode(KeyedUnarchiver& coder) {
    BaseTexture::decode(coder);
    noiseType_ = coder.decodeInt32("noiseType");
    color1_ = coder.decodeColor("color1");
    color2_ = coder.decodeColor("color2");
    depth_ = coder.decodeInt32("depth");
    turbulence_ = coder.decodeFloat("turbulence");
    sharpness_ = coder.decodeFloat("sharpness");
    size_ = coder.decodeFloat("size");
    hard_ = coder.decodeBool("hard");
}

}  // namespace korvane
