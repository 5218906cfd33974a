// "NoiseVolume": density shaped by a texture through a soft threshold, so that "cover" decides
// how much of the noise becomes medium and "sharpness" how crisp its edges are.

#include <cmath>
#include <string>

#include "raytracer/core/Environment.h"
#include "raytracer/core/Log.h"
#include "raytracer/core/Volume.h"
#include "raytracer/plugins.h"

namespace yafaray {
namespace {

// The texture is sampled at this fraction of the world position.
constexpr float kTextureScale = 0.1f;

class NoiseVolume : public DensityVolume {
public:
    NoiseVolume(const volumeRegionParams_t& p, const texture_t* texture, float sharpness, float cover,
                float density)
        : DensityVolume(p.sigmaA, p.sigmaS, p.emission, p.g, p.pmin, p.pmax, p.attgridScale),
          texture_(texture),
          sharpness2_(sharpness * sharpness),
          cover_(cover),
          density_(density) {}

    float Density(const point3d_t& p) const override {
        const colorA_t c = texture_->getColor(p * kTextureScale);
        const float m = (c.R + c.G + c.B) * (1.f / 3.f);
        return density_ / (1.f + std::exp(sharpness2_ * ((1.f - cover_) - m)));
    }

private:
    const texture_t* texture_;
    float sharpness2_, cover_, density_;
};

VolumeRegion* noiseVolumeFactory(paraMap_t& params, renderEnvironment_t& env) {
    float sharpness = 1.f, cover = 1.f, density = 1.f;
    std::string textureName;
    params.getParam("sharpness", sharpness);
    params.getParam("cover", cover);
    params.getParam("density", density);
    params.getParam("texture", textureName);
    const volumeRegionParams_t common = readVolumeRegionParams(params, volumeRegionParams_t());
    const texture_t* texture = textureName.empty() ? nullptr : env.getTexture(textureName);
    if (!texture) {
        // Without its texture the region would have no density to evaluate.
        logMessage(logLevel_t::error, "NoiseVolume: no texture named '" + textureName + "'");
        return nullptr;
    }
    return new NoiseVolume(common, texture, sharpness, cover, density);
}

}  // namespace

void registerPlugin_noisevolume(renderEnvironment_t& env) {
    env.registerFactory("NoiseVolume", &noiseVolumeFactory);
}

}  // namespace yafaray
