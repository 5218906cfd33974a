#include "scene/textures/MusgraveTexture.h"

#include "foundation/archive/KeyedUnarchiver.h"
#include "raytracer/interface.h"
#include "scene/textures/OptionalColorArchive.h"

namespace korvane {

void MusgraveTexture::appendToRenderer(BaseRenderer& renderer) {
    yafaray::yafrayInterface_t* yi = interfaceOf(renderer);
    if (!yi) return;
    yi->paramsClearAll();
    yi->paramsSetString("type", "musgrave");
    yi->paramsSetFloat("h", h_);
    yi->paramsSetFloat("lacunarity", lacunarity_);
    yi->paramsSetFloat("octaves", octaves_);
    yi->paramsSetFloat("gain", gain_);
    yi->paramsSetFloat("offset", offset_);
    yi->paramsSetFloat("size", size_);
    yi->paramsSetFloat("intensity", intensity_);
    sendColor(*yi, "color1", color1_);
    sendColor(*yi, "color2", color2_);
    yi->paramsSetString("noise_type", noiseNameForRenderer(noiseType_).c_str());
    if (type_) yi->paramsSetString("musgrave_type", type_->c_str());
    yi->createTexture(name().c_str());
}

void MusgraveTexture::encode(KeyedArchiver& coder) const {
    BaseTexture::encode(coder);
    coder.encodeInt32("noiseType", noiseType_);
    if (type_) {
        coder.encodeString("type", *type_);
    } else {
        coder.encodeObject("type", static_cast<const Archivable*>(nullptr));
    }
    encodeOptionalColor(coder, "color1", color1_);
    encodeOptionalColor(coder, "color2", color2_);
    coder.encodeFloat("h", h_);
    coder.encodeFloat("lacunarity", lacunarity_);
    coder.encodeFloat("octaves", octaves_);
    coder.encodeFloat("offset", offset_);
    coder.encodeFloat("gain", gain_);
    coder.encodeFloat("size", size_);
    coder.encodeFloat("intensity", intensity_);
}

void MusgraveTexture::decode(KeyedUnarchiver& coder) {
    BaseTexture::decode(coder);
    noiseType_ = coder.decodeInt32("noiseType");
    type_ = coder.decodeString("type");
    color1_ = coder.decodeColor("color1");
    color2_ = coder.decodeColor("color2");
    h_ = coder.decodeFloat("h");
    lacunarity_ = coder.decodeFloat("lacunarity");
    octaves_ = coder.decodeFloat("octaves");
    offset_ = coder.decodeFloat("offset");
    gain_ = coder.decodeFloat("gain");
    size_ = coder.decodeFloat("size");
    intensity_ = coder.decodeFloat("intensity");
}

}  // namespace korvane
