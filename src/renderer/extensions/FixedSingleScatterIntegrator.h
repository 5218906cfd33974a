#pragma once

// "FixedSingleScatterIntegrator": the application's volume integrator. It marches the camera
// segment through the volume regions and scatters every light into it once (single scattering),
// and adds a distance haze that blends the scene background into distant surfaces: at distance
// t the surface keeps 1 − h(t), h(t) = min(hazeStrength · t / hazeDistance, 1), and the
// background makes up the rest. The haze is treated as a medium sharing the segment with the
// regions: the background light it adds at each distance is dimmed by the regions in front, and
// the regions' light by the haze in front, so that distance blends into the sky continuously
// whether a ray ends on a far surface or on the background.

#include <cstdint>

#include "raytracer/core/Volume.h"

namespace yafaray {

class renderEnvironment_t;

class FixedSingleScatterIntegrator : public volumeIntegrator_t {
public:
    // Below this, a sample's transmittance or scattering survives Russian roulette half the time.
    static constexpr float kRouletteThreshold = 0.001f;
    // Camera segments shorter than this carry no in-scatter.
    static constexpr float kMinSegment = 0.001f;

    FixedSingleScatterIntegrator(float stepSize, bool adaptive, bool optimize, float hazeStrength,
                                 float hazeDistance);

    // Takes the regions and lights; with optimize, builds every region's attenuation grids.
    bool preprocess(const renderContext_t& ctx) override;
    colorA_t transmittance(const renderContext_t& ctx, renderState_t& state, const ray_t& ray) const override;
    colorA_t integrate(const renderContext_t& ctx, renderState_t& state, const ray_t& ray) const override;

private:
    // The fraction of the surface colour that the haze replaces along the ray: 0 without haze,
    // without a background or for an unbounded ray.
    float hazeAmount(const renderContext_t& ctx, const ray_t& ray) const;
    // Transmittance of all regions along the ray, without the haze.
    float mediaTransmittance(renderState_t& state, const ray_t& ray) const;
    // A sample of the camera ray waiting for its in-scatter: where it lies, at which distance, the
    // weight its light carries, and its run (samples of one run follow each other without a gap).
    struct scatterPoint_t {
        point3d_t p;
        float t, weight;
        int run;
    };
    // Samples whose in-scatter is gathered together.
    static constexpr int kScatterBatch = 32;
    // The `seen` of a point lit by more light samples than its bits can tell.
    static constexpr uint32_t kUnlikeSamples = ~0u;

    // The weighted in-scatter of n samples of one camera ray, in the order of the ray.
    color_t gatherInScatter(const renderContext_t& ctx, renderState_t& state, const scatterPoint_t* points,
                            int n) const;
    // Shadow rays towards one light sample traced together (Embree's packet width).
    static constexpr int kShadowLanes = 8;
    // The light arriving at the points `which` (count of them, indices into `points`) from every
    // light, dimmed by the media on the way (unshadowed samples only), into light[i]; seen[i]
    // gets one bit per light sample that reached the point.
    void inScatter(const renderContext_t& ctx, renderState_t& state, const scatterPoint_t* points, const int* which,
                   int count, color_t* light, uint32_t* seen) const;
    // The attenuation grid that answers for a point, and where the point falls in it; no region
    // without grids or when no region holds the point.
    struct gridLookup_t {
        const VolumeRegion* region = nullptr;
        VolumeRegion::gridSpot_t spot;
    };
    gridLookup_t gridLookup(const point3d_t& p) const;
    // The fraction of the light's light that reaches the shadow ray's origin through the media:
    // read from the grid where there is one (`at`, the origin's lookup), else marched.
    float lightTransmittance(renderState_t& state, const ray_t& shadow, const light_t* light,
                             const gridLookup_t& at) const;
    void buildAttenuationGrids();

    float stepSize_;
    bool adaptive_;  // reported only: marching always uses the fixed step
    bool optimize_;
    float hazeStrength_, hazeDistance_;
};

// Factory of "FixedSingleScatterIntegrator": "stepSize" (1), "adaptive" (false), "optimize"
// (false), "hazeStrength" (0), "hazeDistance" (1). Null for a step that is not positive.
integrator_t* fixedSingleScatterIntegratorFactory(paraMap_t& params, renderEnvironment_t& env);

// Registers the factory under "FixedSingleScatterIntegrator".
void registerFixedSingleScatterIntegratorPlugin(renderEnvironment_t& env);

}  // namespace yafaray
