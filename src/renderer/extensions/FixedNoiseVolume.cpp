#include "renderer/extensions/FixedNoiseVolume.h"

#include <cmath>
#include <sstream>
#include <string>

#include "raytracer/core/Environment.h"
#include "raytracer/core/Log.h"

namespace yafaray {
namespace {

std::string describe(const color_t& c) {
    std::ostringstream out;
    out << "(" << c.R << ", " << c.G << ", " << c.B << ")";
    return out.str();
}

}  // namespace

FixedNoiseVolume::FixedNoiseVolume(const volumeRegionParams_t& params, const texture_t* texture,
                                   float sharpness, float cover, float density, int edgeMode)
    : DensityVolume(params.sigmaA, params.sigmaS, params.emission, params.g, params.pmin, params.pmax,
                    params.attgridScale),
      texture_(texture),
      sharpness2_(sharpness * sharpness),
      cover_(cover),
      density_(density),
      edgeMode_(edgeMode) {}

float FixedNoiseVolume::Density(const point3d_t& p) const {
    if (!texture_) return 0.f;
    switch (edgeMode_) {
        case box:
            return coverage(p) * density_;
        case ellipsoid: {
            // The falloff comes first: outside the ellipsoid the texture is not sampled at all.
            const float e = ellipsoidFalloff(p);
            return e > 0.f ? coverage(p) * density_ * e : 0.f;
        }
        default:
            return 0.f;
    }
}

float FixedNoiseVolume::ellipsoidFalloff(const point3d_t& p) const {
    const point3d_t c = bBox.center();
    const float hx = 0.5f * bBox.longX(), hy = 0.5f * bBox.longY(), hz = 0.5f * bBox.longZ();
    if (!(hx > 0.f && hy > 0.f && hz > 0.f)) return 0.f;
    const float dx = std::fabs(c.x - p.x) / hx, dy = std::fabs(c.y - p.y) / hy,
                dz = std::fabs(c.z - p.z) / hz;
    return 1.f - std::sqrt(dx * dx + dy * dy + dz * dz);
}

float FixedNoiseVolume::coverage(const point3d_t& p) const {
    const colorA_t c = texture_->getColor(p * kTextureScale);
    const float m = (c.R + c.G + c.B) * (1.f / 3.f);
    return 1.f / (1.f + std::exp(sharpness2_ * ((1.f - cover_) - m)));
}

VolumeRegion* fixedNoiseVolumeFactory(paraMap_t& params, renderEnvironment_t& env) {
    float sharpness = 1.f, density = 1.f, cover = 1.f;
    int edgeMode = FixedNoiseVolume::ellipsoid;
    std::string textureName;
    params.getParam("sharpness", sharpness);
    params.getParam("density", density);
    params.getParam("cover", cover);
    params.getParam("edgeMode", edgeMode);
    params.getParam("textureName", textureName);
    const volumeRegionParams_t common = readVolumeRegionParams(params, volumeRegionParams_t());
    const texture_t* texture = env.getTexture(textureName);
    if (!texture) logMessage(logLevel_t::warning, "mytex not found");

    std::ostringstream line;
    line << "FixedNoiseVolume vol: sigma_a " << describe(common.sigmaA) << " sigma_s "
         << describe(common.sigmaS) << " l_e " << describe(common.emission) << " sharpness " << sharpness
         << " cover " << cover << " density " << density << " attgridScale " << common.attgridScale;
    logMessage(logLevel_t::info, line.str());
    return new FixedNoiseVolume(common, texture, sharpness, cover, density, edgeMode);
}

void registerFixedNoiseVolume(renderEnvironment_t& env) {
    env.registerFactory("FixedNoiseVolume", &fixedNoiseVolumeFactory);
}

}  // namespace yafaray
