// "SingleScatterIntegrator": light scattered once towards the viewer inside the volume regions.
// The camera segment is marched at "stepSize"; at each step every light's illumination, dimmed
// by the media between the step and the light, is scattered by the local sigma_s. With
// "optimize" that dimming comes from per-light attenuation grids built before rendering, and
// steps that contribute little are thinned out by Russian roulette.

#include <algorithm>
#include <cmath>

#include "raytracer/core/Environment.h"
#include "raytracer/core/Log.h"
#include "raytracer/core/RenderContext.h"
#include "raytracer/core/Volume.h"
#include "raytracer/plugins.h"

namespace yafaray {
namespace {

// Below this mean transmittance or scattering, a step survives Russian roulette with this chance.
constexpr float kRouletteThreshold = 0.001f;
constexpr float kRouletteSurvival = 0.5f;
// Shadow rays towards lights at infinity end here.
constexpr float kInfiniteShadowLength = 1e10f;
// Light transmittance is marched with steps this many times the camera step.
constexpr float kShadowStepFactor = 4.f;
// Camera segments shorter than this carry no in-scatter.
constexpr float kMinSegment = 0.001f;
// No camera segment is marched in more steps than this.
constexpr long kMaxSteps = 100000;
// Sample directions used for a light with several samples when its grid is built.
constexpr int kGridLightSamples = 4;

float meanOf(const color_t& c) {
    return (c.R + c.G + c.B) * (1.f / 3.f);
}

class SingleScatterIntegrator : public volumeIntegrator_t {
public:
    SingleScatterIntegrator(float stepSize, bool adaptive, bool optimize)
        : stepSize_(stepSize), adaptive_(adaptive), optimize_(optimize) {}

    bool preprocess(const renderContext_t& ctx) override {
        volumeIntegrator_t::preprocess(ctx);
        if (optimize_) buildAttenuationGrids();
        return true;
    }

    colorA_t transmittance(const renderContext_t&, renderState_t& state, const ray_t& ray) const override {
        color_t t(1.f);
        for (const VolumeRegion* vr : listVR) {
            float t0 = 0.f, t1 = 0.f;
            if (!vr->intersect(ray, t0, t1)) continue;
            const color_t tau = vr->tau(ray, stepSize_, state.random());
            t *= color_t(std::exp(-meanOf(tau)));
        }
        return colorA_t(t, 1.f);
    }

    colorA_t integrate(const renderContext_t& ctx, renderState_t& state, const ray_t& ray) const override {
        float t0 = 1e30f, t1 = -1e30f;
        bool any = false;
        for (const VolumeRegion* vr : listVR) {
            float a = 0.f, b = 0.f;
            if (!vr->intersect(ray, a, b)) continue;
            if (ray.tmax > 0.f && a > ray.tmax) continue;
            any = true;
            t0 = std::min(t0, std::max(0.f, a));
            t1 = std::max(t1, b);
        }
        if (!any) return colorA_t(color_t(0.f), 0.f);
        if (ray.tmax > 0.f) t1 = std::min(t1, ray.tmax);
        if (t1 - t0 < kMinSegment) return colorA_t(color_t(0.f), 0.f);

        const float step = std::max(stepSize_, (t1 - t0) / float(kMaxSteps));
        const float start = t0 - state.random() * step;
        const long samples = std::min(kMaxSteps + 1, static_cast<long>((t1 - start) / step) + 1);
        color_t depth(0.f), result(0.f);
        for (long i = 0; i < samples; ++i) {
            const point3d_t p = ray.from + ray.dir * (start + float(i) * step);
            color_t scatter(0.f);
            for (const VolumeRegion* vr : listVR) {
                depth += vr->sigma_t(p, ray.dir) * step;
                scatter += vr->sigma_s(p, ray.dir);
            }
            float tr = std::exp(-meanOf(depth));
            if (optimize_ && tr < kRouletteThreshold) {
                if (state.random() >= kRouletteSurvival) break;
                tr /= kRouletteSurvival;
            }
            float s = meanOf(scatter);
            if (optimize_ && s < kRouletteThreshold) {
                if (state.random() >= kRouletteSurvival) continue;
                s /= kRouletteSurvival;
            }
            if (s <= 0.f) continue;
            result += inScatter(ctx, state, p) * (tr * s * step);
        }
        return colorA_t(result, 1.f);
    }

private:
    // Unshadowed light arriving at p from every light, dimmed by the media on its way.
    color_t inScatter(const renderContext_t& ctx, renderState_t& state, const point3d_t& p) const {
        color_t total(0.f);
        for (const light_t* light : lights) {
            const int n = light->nSamples() <= 1 ? 1 : std::max(1, light->nSamples() / 4);
            color_t sum(0.f);
            for (int k = 0; k < n; ++k) {
                lightSample_t ls;
                if (!light->illuminate(p, state.random(), state.random(), ls)) continue;
                ray_t shadow;
                shadow.from = p;
                shadow.dir = ls.wi;
                shadow.tmin = shadowBias(p);
                shadow.tmax = ls.distance > 0.f ? ls.distance : kInfiniteShadowLength;
                if (light->castShadows && ctx.scene->isShadowed(shadow)) continue;
                sum += ls.color * lightTransmittance(state, shadow, light);
            }
            total += sum * (1.f / n);
        }
        return total;
    }

    float lightTransmittance(renderState_t& state, const ray_t& shadow, const light_t* light) const {
        if (optimize_) {
            // Every region's grid holds the transmittance through all the regions: the grid of a
            // region that holds the point answers alone (a product over the regions crossed would
            // count the media twice and read grids outside their boxes).
            for (const VolumeRegion* vr : listVR)
                if (vr->getBB().includes(shadow.from)) return vr->attenuation(shadow.from, light);
        }
        color_t tau(0.f);
        for (const VolumeRegion* vr : listVR)
            tau += vr->tau(shadow, stepSize_ * kShadowStepFactor, state.random());
        return std::exp(-meanOf(tau));
    }

    // For every region and light, the transmittance from each grid point to the light through
    // all regions.
    void buildAttenuationGrids() {
        for (VolumeRegion* vr : listVR) {
            const bound_t& bb = vr->getBB();
            const int nx = vr->attGridX, ny = vr->attGridY, nz = vr->attGridZ;
            for (const light_t* light : lights) {
                std::vector<float>& grid = vr->attenuationGridMap[light];
                grid.assign(size_t(nx) * ny * nz, 1.f);
                const int n = light->nSamples() <= 1 ? 1 : kGridLightSamples;
                for (int z = 0; z < nz; ++z) {
                    for (int y = 0; y < ny; ++y) {
                        for (int x = 0; x < nx; ++x) {
                            // Cell centres, where the trilinear look-up places the cells' values.
                            const point3d_t p(bb.a.x + (x + 0.5f) * bb.longX() / nx,
                                              bb.a.y + (y + 0.5f) * bb.longY() / ny,
                                              bb.a.z + (z + 0.5f) * bb.longZ() / nz);
                            float sum = 0.f;
                            int reached = 0;
                            for (int k = 0; k < n; ++k) {
                                lightSample_t ls;
                                if (!light->illuminate(p, (k + 0.5f) / n, 0.5f, ls)) continue;
                                ray_t r;
                                r.from = p;
                                r.dir = ls.wi;
                                r.tmax = ls.distance > 0.f ? ls.distance : kInfiniteShadowLength;
                                color_t tau(0.f);
                                for (const VolumeRegion* other : listVR)
                                    tau += other->tau(r, stepSize_, 0.5f);
                                sum += std::exp(-meanOf(tau));
                                ++reached;
                            }
                            if (reached > 0) grid[(size_t(z) * ny + y) * nx + x] = sum / reached;
                        }
                    }
                }
            }
            logMessage(logLevel_t::info, "volume, attGridMaps with size: " + std::to_string(nx) + " " +
                                             std::to_string(ny) + " " + std::to_string(nz));
        }
    }

    float stepSize_;
    bool adaptive_;  // read for compatibility; marching always uses the fixed step
    bool optimize_;
};

integrator_t* singleScatterFactory(paraMap_t& params, renderEnvironment_t&) {
    float stepSize = 1.f;
    bool adaptive = false, optimize = false;
    params.getParam("stepSize", stepSize);
    params.getParam("adaptive", adaptive);
    params.getParam("optimize", optimize);
    if (!(stepSize > 0.f)) {
        logMessage(logLevel_t::error, "SingleScatterIntegrator: stepSize must be positive");
        return nullptr;
    }
    return new SingleScatterIntegrator(stepSize, adaptive, optimize);
}

}  // namespace

void registerPlugin_singlescatterintegrator(renderEnvironment_t& env) {
    env.registerFactory("SingleScatterIntegrator", &singleScatterFactory);
}

}  // namespace yafaray
