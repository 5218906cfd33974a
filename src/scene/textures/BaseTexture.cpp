#include "scene/textures/BaseTexture.h"

#include <array>
#include <cstdio>
#include <mutex>

#include "foundation/UniqueString.h"
#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "raytracer/interface.h"
#include "scene/BaseRenderer.h"

namespace korvane {

namespace {

constexpr std::array<const char*, 8> kNoiseTypeNames = {
    "stdperlin",  "voronoi_f1",   "voronoi_f2",      "voronoi_f3",
    "voronoi_f4", "voronoi_f2f1", "voronoi_crackle", "cellnoise",
};
constexpr const char* kFallbackNoiseName = "stdperlin";

}  // namespace

BaseTexture::BaseTexture() : name_(uniqueString()) {}

void BaseTexture::appendToRenderer(BaseRenderer&) {}

std::optional<std::string> BaseTexture::noiseTypeStringForEnum(int noiseType) {
    if (noiseType < 0 || noiseType >= static_cast<int>(kNoiseTypeNames.size())) return std::nullopt;
    return kNoiseTypeNames[static_cast<size_t>(noiseType)];
}

std::string BaseTexture::noiseNameForRenderer(int noiseType) {
    if (std::optional<std::string> name = noiseTypeStringForEnum(noiseType)) return *name;
    static std::once_flag logged;
    std::call_once(logged, [noiseType] {
        std::printf("Texture noise type %d is not one of 0 to 7; sending \"%s\" instead\n", noiseType,
                    kFallbackNoiseName);
        std::fflush(stdout);
    });
    return kFallbackNoiseName;
}

yafaray::yafrayInterface_t* BaseTexture::interfaceOf(BaseRenderer& renderer) {
    if (!renderer.isYafarayRenderer()) return nullptr;
    return renderer.yafrayinterface();
}

void BaseTexture::sendColor(yafaray::yafrayInterface_t& yi, const char* key,
                            const std::optional<Color>& color) {
    if (!color) return;
    yi.paramsSetColor(key, static_cast<float>(color->red), static_cast<float>(color->green),
                      static_cast<float>(color->blue), static_cast<float>(color->alpha));
}

std::optional<Color> BaseTexture::halfwayColor(const std::optional<Color>& color1,
                                               const std::optional<Color>& color2) {
    if (!color1) return std::nullopt;
    if (!color2) return color1;
    return color1->blended(0.5, *color2);
}

void BaseTexture::encode(KeyedArchiver& coder) const {
    coder.encodeString("name", name_);
}

void BaseTexture::decode(KeyedUnarchiver& coder) {
    name_ = coder.decodeString("name").value_or("");
}

}  // namespace korvane
