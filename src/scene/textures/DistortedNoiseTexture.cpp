#include "scene/textures/DistortedNoiseTexture.h"

#include "foundation/archive/KeyedUnarchiver.h"
#include "raytracer/interface.h"
#include "scene/textures/OptionalColorArchive.h"

namespace korvane {

void DistortedNoiseTexture::appendToRenderer(BaseRenderer& renderer) {
    yafaray::yafrayInterface_t* yi = interfaceOf(renderer);
    if (!yi) return;
    yi->paramsClearAll();
    yi->paramsSetString("type", "distorted_noise");
    yi->paramsSetFloat("size", size_);
    yi->paramsSetFloat("distort", distort_);
    yi->paramsSetString("noise_type1", noiseNameForRenderer(noiseType1_).c_str());
    yi->paramsSetString("noise_type2", noiseNameForRenderer(noiseType2_).c_str());
    sendColor(*yi, "color1", color1_);
    sendColor(*yi, "color2", color2_);
    yi->createTexture(name().c_str());
}

void DistortedNoiseTexture::encode(KeyedArchiver& coder) const {
    BaseTexture::encode(coder);
    coder.encodeInt32("noiseType1", noiseType1_);
    coder.encodeInt32("noiseType2", noiseType2_);
    encodeOptionalColor(coder, "color1", color1_);
    encodeOptionalColor(coder, "color2", color2_);
    coder.encodeFloat("size", size_);
    coder.encodeFloat("distort", distort_);
}

void DistortedNoiseTexture::decode(KeyedUnarchiver& coder) {
    BaseTexture::decode(coder);
    noiseType1_ = coder.decodeInt32("noiseType1");
    noiseType2_ = coder.decodeInt32("noiseType2");
    color1_ = coder.decodeColor("color1");
    color2_ = coder.decodeColor("color2");
    size_ = coder.decodeFloat("size");
    distort_ = coder.decodeFloat("distort");
}

}  // namespace korvane
