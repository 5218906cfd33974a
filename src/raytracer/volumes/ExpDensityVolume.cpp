// "ExpDensityVolume": a medium that thins out with height, density a·exp(−b·(z − minZ)) measured
// from the bottom of its box. Ground fog uses it.

#include <algorithm>
#include <cmath>

#include "raytracer/core/Environment.h"
#include "raytracer/core/Volume.h"
#include "raytracer/plugins.h"

namespace yafaray {
namespace {

class ExpDensityVolume : public DensityVolume {
public:
    ExpDensityVolume(const volumeRegionParams_t& p, float a, float b)
        : DensityVolume(p.sigmaA, p.sigmaS, p.emission, p.g, p.pmin, p.pmax, p.attgridScale), a_(a), b_(b) {}

    float Density(const point3d_t& p) const override { return a_ * std::exp(-b_ * (p.z - bBox.a.z)); }

    // The optical thickness in closed form: along the ray the density is D(t0)·exp(k·(t − t0))
    // with k = −b·dir.z, whose integral over [t0, t1] is D(t0)·(exp(k·L) − 1)/k. No marching,
    // and no marching noise, whatever the step.
    color_t tau(const ray_t& ray, float, float) const override {
        float t0 = 0.f, t1 = 0.f;
        if (!segmentInside(ray, t0, t1)) return color_t(0.f);
        const float length = t1 - t0;
        const float k = -b_ * ray.dir.z;
        const float kl = k * length;
        const float integral = Density(ray.from + ray.dir * t0) * length * expm1OverX(kl);
        return extinctionCoefficient() * integral;
    }

private:
    float a_, b_;
};

VolumeRegion* expDensityVolumeFactory(paraMap_t& params, renderEnvironment_t&) {
    float a = 1.f, b = 1.f;
    params.getParam("a", a);
    params.getParam("b", b);
    return new ExpDensityVolume(readVolumeRegionParams(params, volumeRegionParams_t()), a, b);
}

}  // namespace

void registerPlugin_expdensityvolume(renderEnvironment_t& env) {
    env.registerFactory("ExpDensityVolume", &expDensityVolumeFactory);
}

}  // namespace yafaray
