// "UniformVolume": the same coefficients everywhere inside the box, so the optical thickness of
// a segment is exact and needs no marching.

#include <algorithm>

#include "raytracer/core/Environment.h"
#include "raytracer/core/Volume.h"
#include "raytracer/plugins.h"

namespace yafaray {
namespace {

constexpr int kDefaultGridScale = 5;

class UniformVolume : public VolumeRegion {
public:
    explicit UniformVolume(const volumeRegionParams_t& p)
        : VolumeRegion(p.sigmaA, p.sigmaS, p.emission, p.g, p.pmin, p.pmax, p.attgridScale) {}

    color_t sigma_a(const point3d_t& p, const vector3d_t&) const override {
        return haveS_a && bBox.includes(p) ? s_a : color_t(0.f);
    }
    color_t sigma_s(const point3d_t& p, const vector3d_t&) const override {
        return haveS_s && bBox.includes(p) ? s_s : color_t(0.f);
    }
    color_t emission(const point3d_t& p, const vector3d_t&) const override {
        return haveL_e && bBox.includes(p) ? l_e : color_t(0.f);
    }
    color_t tau(const ray_t& ray, float, float) const override {
        float t0 = 0.f, t1 = 0.f;
        if (!segmentInside(ray, t0, t1)) return color_t(0.f);
        return extinctionCoefficient() * (t1 - t0);
    }
};

VolumeRegion* uniformVolumeFactory(paraMap_t& params, renderEnvironment_t&) {
    volumeRegionParams_t defaults;
    defaults.attgridScale = kDefaultGridScale;
    return new UniformVolume(readVolumeRegionParams(params, defaults));
}

}  // namespace

void registerPlugin_uniformvolume(renderEnvironment_t& env) {
    env.registerFactory("UniformVolume", &uniformVolumeFactory);
}

}  // namespace yafaray
