#include "renderer/extensions/FixedSingleScatterIntegrator.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "raytracer/core/Environment.h"
#include "raytracer/core/Log.h"
#include "raytracer/core/RenderContext.h"

namespace yafaray {
namespace {

// A sample that falls below the roulette threshold survives when its draw is at least this.
constexpr float kRouletteSurvival = 0.5f;
// Shadow rays towards lights at infinity end here.
constexpr float kInfiniteShadowLength = 1e10f;
// Light transmittance without grids is marched with steps this many times the camera step.
constexpr float kShadowStepFactor = 4.f;
// No camera segment is marched in more steps than this, whatever the step size.
constexpr long kMaxSteps = 100000;
// Regions a camera ray crosses are listed on the stack up to this count.
constexpr size_t kLocalRegions = 16;
// Light samples along the camera ray inside one region, at most.
constexpr float kMaxRegionSteps = 24.f;

float meanOf(const color_t& c) {
    return (c.R + c.G + c.B) * 0.333333f;
}

// Transmittance for an optical thickness: exp of minus its channel mean.
float extinction(const color_t& tau) {
    return std::exp(-meanOf(tau));
}

}  // namespace

FixedSingleScatterIntegrator::FixedSingleScatterIntegrator(float stepSize, bool adaptive, bool optimize,
                                                           float hazeStrength, float hazeDistance)
    : stepSize_(stepSize),
      adaptive_(adaptive),
      optimize_(optimize),
      hazeStrength_(hazeStrength),
      hazeDistance_(hazeDistance) {
    std::ostringstream line;
    line << "ScatterIntegrator, stepSize: " << stepSize_ << " adaptive: " << adaptive_
         << " optimize: " << optimize_;
    logMessage(logLevel_t::info, line.str());
}

bool FixedSingleScatterIntegrator::preprocess(const renderContext_t& ctx) {
    volumeIntegrator_t::preprocess(ctx);
    if (optimize_) buildAttenuationGrids();
    return true;
}

float FixedSingleScatterIntegrator::hazeAmount(const renderContext_t& ctx, const ray_t& ray) const {
    if (!(hazeStrength_ > 0.f) || !(ray.tmax > 0.f) || !ctx.background) return 0.f;
    // A haze distance that is not positive hazes every surface fully.
    const float c = hazeDistance_ > 0.f ? std::clamp(ray.tmax / hazeDistance_, 0.f, 1.f) : 1.f;
    // A strength above 1 would give negative colours; the haze never more than replaces the surface.
    return std::clamp(hazeStrength_ * c, 0.f, 1.f);
}

colorA_t FixedSingleScatterIntegrator::transmittance(const renderContext_t& ctx, renderState_t& state,
                                                     const ray_t& ray) const {
    const float kept = 1.f - hazeAmount(ctx, ray);
    colorA_t t(color_t(kept), kept);
    for (const VolumeRegion* vr : listVR) {
        float t0 = 0.f, t1 = 0.f;
        if (!vr->intersect(ray, t0, t1)) continue;
        const float f = extinction(vr->tau(ray, stepSize_, state.random()));
        t = colorA_t(t * f, t.A * f);
    }
    return t;
}

colorA_t FixedSingleScatterIntegrator::integrate(const renderContext_t& ctx, renderState_t& state,
                                                 const ray_t& ray) const {
    const float haze = hazeAmount(ctx, ray);
    color_t result = haze > 0.f ? ctx.background->eval(ray.dir) * haze : color_t(0.f);
    const colorA_t hazeOnly(result, haze);

    // The regions the segment crosses, each with its interval along the ray and its stride:
    // the step size, widened so that no region takes more than kMaxRegionSteps light samples
    // (a long grazing path through ground fog needs no finer sampling than a short one; a
    // small cloud keeps the fine step).
    struct crossing_t {
        const VolumeRegion* region;
        float enter, leave, stride;
    };
    crossing_t local[kLocalRegions];
    std::vector<crossing_t> many;
    crossing_t* crossed = local;
    if (listVR.size() > kLocalRegions) {
        many.resize(listVR.size());
        crossed = many.data();
    }
    size_t count = 0;
    float t0 = 1e30f, t1 = -1e30f;
    for (const VolumeRegion* vr : listVR) {
        float a = 0.f, b = 0.f;
        if (!vr->intersect(ray, a, b)) continue;
        if (ray.tmax > 0.f && a > ray.tmax) continue;
        a = std::max(0.f, a);
        if (ray.tmax > 0.f) b = std::min(b, ray.tmax);
        if (!(b > a)) continue;
        crossed[count++] = {vr, a, b, std::max(stepSize_, (b - a) / kMaxRegionSteps)};
        t0 = std::min(t0, a);
        t1 = std::max(t1, b);
    }
    if (count == 0 || t1 - t0 < kMinSegment) return hazeOnly;

    // The stride at t: the finest of the regions that hold t; where none does, the distance to
    // the next region's entry (negative when there is none).
    auto strideAt = [&](float t, bool& inside) {
        float stride = 1e30f, gap = 1e30f;
        inside = false;
        for (size_t k = 0; k < count; ++k) {
            if (t >= crossed[k].enter && t < crossed[k].leave) {
                inside = true;
                stride = std::min(stride, crossed[k].stride);
            } else if (crossed[k].enter > t) {
                gap = std::min(gap, crossed[k].enter - t);
            }
        }
        return inside ? stride : (gap < 1e30f ? gap : -1.f);
    };

    // Optical depth from t0 up to `accounted`; each sample adds the stretch since the last one
    // at its own coefficients, so that its transmittance is the one at the sample itself.
    color_t depth(0.f);
    float accounted = t0;
    bool inside = false;
    float t = t0 + state.random() * strideAt(t0, inside);
    for (long i = 0; i < kMaxSteps && t < t1; ++i) {
        const float step = strideAt(t, inside);
        if (step < 0.f) break;
        if (!inside) {
            // Between regions: nothing scatters; go on at the next region's entry.
            t += step;
            continue;
        }
        const point3d_t p = ray.from + ray.dir * t;
        float s = 0.f;
        for (size_t k = 0; k < count; ++k) {
            if (t < crossed[k].enter || t >= crossed[k].leave) continue;
            depth += crossed[k].region->sigma_t(p, ray.dir) * (t - std::max(accounted, crossed[k].enter));
            s += meanOf(crossed[k].region->sigma_s(p, ray.dir));
        }
        accounted = t;
        t += step;
        float tr = extinction(depth);
        // Russian roulette: a surviving sample is divided by its own draw (in [0.5, 1)).
        if (optimize_ && tr < kRouletteThreshold) {
            const float u = state.random();
            if (u < kRouletteSurvival) break;
            tr /= u;
        }
        if (optimize_ && s < kRouletteThreshold) {
            const float u = state.random();
            if (u < kRouletteSurvival) continue;
            s /= u;
        }
        // Nothing scatters here: the in-scatter would be multiplied by zero.
        if (!(s > 0.f)) continue;
        result += inScatter(ctx, state, p) * (tr * s * step);
    }
    return colorA_t(result, 1.f);
}

color_t FixedSingleScatterIntegrator::inScatter(const renderContext_t& ctx, renderState_t& state,
                                                const point3d_t& p) const {
    color_t total(0.f);
    for (const light_t* light : lights) {
        color_t mean;
        if (light->meanIllumination(mean)) {
            // The sky lights a medium from every side at once: its mean, dimmed by the media
            // above, without sampling noise (occlusion by the ground is left aside).
            ray_t up;
            up.from = p;
            up.dir = vector3d_t(0.f, 0.f, 1.f);
            up.tmin = shadowBias(p);
            up.tmax = kInfiniteShadowLength;
            total += mean * lightTransmittance(state, up, light);
            continue;
        }
        // Singular lights are sampled once, area lights with a quarter of their samples.
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
        total += sum * (1.f / float(n));
    }
    return total;
}

float FixedSingleScatterIntegrator::lightTransmittance(renderState_t& state, const ray_t& shadow,
                                                       const light_t* light) const {
    if (optimize_) {
        float result = 1.f;
        for (const VolumeRegion* vr : listVR) {
            float a = 0.f, b = 0.f;
            if (vr->intersect(shadow, a, b)) result *= vr->attenuation(shadow.from, light);
        }
        return result;
    }
    color_t tau(0.f);
    for (const VolumeRegion* vr : listVR)
        tau += vr->tau(shadow, stepSize_ * kShadowStepFactor, state.random());
    return extinction(tau);
}

void FixedSingleScatterIntegrator::buildAttenuationGrids() {
    for (VolumeRegion* vr : listVR) {
        const bound_t& bb = vr->getBB();
        const int nx = vr->attGridX, ny = vr->attGridY, nz = vr->attGridZ;
        for (const light_t* light : lights) {
            std::vector<float>& grid = vr->attenuationGridMap[light];
            grid.assign(size_t(nx) * ny * nz, 1.f);
            for (int z = 0; z < nz; ++z) {
                for (int y = 0; y < ny; ++y) {
                    for (int x = 0; x < nx; ++x) {
                        const point3d_t p(bb.a.x + x * bb.longX() / nx, bb.a.y + y * bb.longY() / ny,
                                          bb.a.z + z * bb.longZ() / nz);
                        lightSample_t ls;
                        if (!light->illuminate(p, 0.5f, 0.5f, ls)) continue;
                        ray_t r;
                        r.from = p;
                        r.dir = ls.wi;
                        r.tmax = ls.distance > 0.f ? ls.distance : kInfiniteShadowLength;
                        color_t tau(0.f);
                        for (const VolumeRegion* other : listVR) tau += other->tau(r, stepSize_, 0.5f);
                        grid[(size_t(z) * ny + y) * nx + x] = extinction(tau);
                    }
                }
            }
        }
        logMessage(logLevel_t::info, "volume, attGridMaps with size: " + std::to_string(nx) + " " +
                                         std::to_string(ny) + " " + std::to_string(nz));
    }
}

integrator_t* fixedSingleScatterIntegratorFactory(paraMap_t& params, renderEnvironment_t&) {
    float stepSize = 1.f, hazeStrength = 0.f, hazeDistance = 1.f;
    bool adaptive = false, optimize = false;
    params.getParam("stepSize", stepSize);
    params.getParam("adaptive", adaptive);
    params.getParam("optimize", optimize);
    params.getParam("hazeStrength", hazeStrength);
    params.getParam("hazeDistance", hazeDistance);
    if (!(stepSize > 0.f) || !std::isfinite(stepSize)) {
        // Marching with such a step would never advance.
        logMessage(logLevel_t::error, "FixedSingleScatterIntegrator: stepSize must be positive");
        return nullptr;
    }
    return new FixedSingleScatterIntegrator(stepSize, adaptive, optimize, hazeStrength, hazeDistance);
}

void registerFixedSingleScatterIntegratorPlugin(renderEnvironment_t& env) {
    env.registerFactory("FixedSingleScatterIntegrator", &fixedSingleScatterIntegratorFactory);
}

}  // namespace yafaray
