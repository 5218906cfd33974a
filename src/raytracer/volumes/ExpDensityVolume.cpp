// "ExpDensityVolume": a medium that thins out with height, density a·exp(−b·(z − minZ)) measured
// from the bottom of its box. Ground fog uses it.

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
