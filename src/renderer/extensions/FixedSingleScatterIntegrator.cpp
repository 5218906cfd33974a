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

// The distance haze along a ray: the fraction h(t) of what lies at distance t that the haze
// replaces by the background grows at `slope` per unit up to `full`, where it reaches `amount`
// and stays. With `full` at 0 the whole amount applies from the camera on.
struct hazeRamp_t {
    float amount = 0.f, slope = 0.f, full = 0.f;

    float at(float t) const { return full > 0.f ? std::min(slope * t, amount) : amount; }

    // The haze light gathered over [a, b]: the integral of h'(t)·T(t), where the transmittance T
    // of the media in front is Ta at a and falls at `rate` per unit (the media seen as uniform
    // over the stretch). The haze is a medium of its own; what it scatters towards the camera
    // at t is dimmed by the media between the camera and t like any other light.
    float gathered(float a, float b, float Ta, float rate) const {
        b = std::min(b, full);
        if (!(b > a) || !(Ta > 0.f)) return 0.f;
        // ∫ e^(−rate·s) ds over [0, b − a].
        const float length = (b - a) * expm1OverX(-rate * (b - a));
        return slope * Ta * length;
    }
};

hazeRamp_t hazeRampOf(float strength, float distance, bool hasBackground) {
    hazeRamp_t ramp;
    if (!(strength > 0.f) || !hasBackground) return ramp;
    // A strength above 1 would give negative colours; the haze never more than replaces the surface.
    ramp.amount = std::min(strength, 1.f);
    // A haze distance that is not positive hazes every surface fully.
    if (distance > 0.f) {
        ramp.slope = strength / distance;
        ramp.full = ramp.amount / ramp.slope;
    }
    return ramp;
}

// The path along which the sky's light reaches p through the media: straight up.
ray_t skyRay(const point3d_t& p) {
    ray_t up;
    up.from = p;
    up.dir = vector3d_t(0.f, 0.f, 1.f);
    up.tmin = shadowBias(p);
    up.tmax = kInfiniteShadowLength;
    return up;
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
    if (!(ray.tmax > 0.f)) return 0.f;
    return hazeRampOf(hazeStrength_, hazeDistance_, ctx.background != nullptr).at(ray.tmax);
}

float FixedSingleScatterIntegrator::mediaTransmittance(renderState_t& state, const ray_t& ray) const {
    float t = 1.f;
    for (const VolumeRegion* vr : listVR) {
        float t0 = 0.f, t1 = 0.f;
        if (!vr->intersect(ray, t0, t1)) continue;
        t *= extinction(vr->tau(ray, stepSize_, state.random()));
    }
    return t;
}

colorA_t FixedSingleScatterIntegrator::transmittance(const renderContext_t& ctx, renderState_t& state,
                                                     const ray_t& ray) const {
    // Unbounded rays are not hazed here: behind a camera ray that misses lies the background,
    // which the haze would replace by itself, and a shadow ray towards the sun must not be
    // hazed at all. integrate() accounts for the media in front of the background.
    const float kept = (1.f - hazeAmount(ctx, ray)) * mediaTransmittance(state, ray);
    return colorA_t(color_t(kept), kept);
}

colorA_t FixedSingleScatterIntegrator::integrate(const renderContext_t& ctx, renderState_t& state,
                                                 const ray_t& ray) const {
    // The haze and the media share the segment: the haze scatters the background towards the
    // camera at the rate h'(t) and the media scatter the lights at σs; both are dimmed by the
    // media in front (T) and by the haze in front (1 − h). The surface behind keeps
    // (1 − h(d))·T(d), which transmittance() gives.
    const hazeRamp_t ramp = hazeRampOf(hazeStrength_, hazeDistance_, ctx.background != nullptr);
    const bool bounded = ray.tmax > 0.f;
    // Where the haze is complete nothing beyond it reaches the camera: the march ends there.
    float reach = bounded ? ray.tmax : -1.f;
    if (ramp.amount >= 1.f) reach = bounded ? std::min(ray.tmax, ramp.full) : ramp.full;

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
        if (reach >= 0.f && a > reach) continue;
        a = std::max(0.f, a);
        if (reach >= 0.f) b = std::min(b, reach);
        if (!(b > a)) continue;
        crossed[count++] = {vr, a, b, std::max(stepSize_, (b - a) / kMaxRegionSteps)};
        t0 = std::min(t0, a);
        t1 = std::max(t1, b);
    }
    const bool marched = count > 0 && t1 - t0 >= kMinSegment;

    // The haze light gathered so far (the integral of h'·T), up to `gatheredTo`.
    float haze = ramp.full > 0.f ? 0.f : ramp.amount;
    float gatheredTo = 0.f;
    color_t result(0.f);
    // Samples waiting for their in-scatter; a gap between regions starts a new run.
    scatterPoint_t pending[kScatterBatch];
    int pendingCount = 0;
    int run = 0;

    if (marched) {
        // The stride at t: the finest of the regions that hold t; where none does, the distance
        // to the next region's entry (negative when there is none).
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

        // Optical depth from t0 up to `accounted`; each sample adds the stretch since the last
        // one at its own coefficients, so that its transmittance is the one at the sample itself.
        color_t depth(0.f);
        float accounted = t0;
        float before = 1.f;  // the transmittance at `gatheredTo`
        bool inside = false;
        float t = t0 + state.random() * strideAt(t0, inside);
        for (long i = 0; i < kMaxSteps && t < t1; ++i) {
            const float step = strideAt(t, inside);
            if (step < 0.f) break;
            if (!inside) {
                // Between regions: nothing scatters; go on at the next region's entry.
                t += step;
                ++run;
                continue;
            }
            const point3d_t p = ray.from + ray.dir * t;
            float s = 0.f;
            float from = t;  // where the media of this stretch begin
            const color_t stretchStart = depth;
            for (size_t k = 0; k < count; ++k) {
                if (t < crossed[k].enter || t >= crossed[k].leave) continue;
                const float start = std::max(accounted, crossed[k].enter);
                color_t sigmaT, sigmaS;
                crossed[k].region->extinctionAndScattering(p, ray.dir, sigmaT, sigmaS);
                depth += sigmaT * (t - start);
                s += meanOf(sigmaS);
                from = std::min(from, start);
            }
            accounted = t;
            t += step;
            float tr = extinction(depth);
            // The haze gathered up to this sample: clear air before the stretch's media, then
            // the media's fall-off across it.
            haze += ramp.gathered(gatheredTo, from, before, 0.f);
            const float added = meanOf(depth - stretchStart);
            haze +=
                ramp.gathered(from, accounted, before, accounted > from ? added / (accounted - from) : 0.f);
            gatheredTo = accounted;
            before = tr;
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
            // The haze in front hides this sample's light as it hides a surface.
            const float seen = 1.f - ramp.at(accounted);
            // Nothing scatters here, or nothing of it is seen: the in-scatter would be multiplied
            // by zero.
            if (!(s > 0.f) || !(seen > 0.f)) continue;
            pending[pendingCount++] = {p, accounted, tr * s * step * seen, run};
            if (pendingCount == kScatterBatch) {
                result += gatherInScatter(ctx, state, pending, pendingCount);
                pendingCount = 0;
            }
        }
        result += gatherInScatter(ctx, state, pending, pendingCount);
        // Beyond the last sample the transmittance stays as it is.
        haze += ramp.gathered(gatheredTo, bounded ? ray.tmax : ramp.full, before, 0.f);
    } else {
        haze += ramp.gathered(0.f, bounded ? ray.tmax : ramp.full, 1.f, 0.f);
    }

    if (!bounded && ramp.amount > 0.f) {
        // Behind a ray that misses everything lies the background, which the surface integrator
        // adds dimmed by all media along the ray; the haze takes its share of it here.
        haze = std::max(0.f, haze - ramp.amount * mediaTransmittance(state, ray));
    }
    if (haze > 0.f) result += ctx.background->eval(ray.dir) * haze;
    return colorA_t(result, marched ? 1.f : haze);
}

color_t FixedSingleScatterIntegrator::gatherInScatter(const renderContext_t& ctx, renderState_t& state,
                                                      const scatterPoint_t* points, int n) const {
    // The light changes little from one sample to the next except across shadow edges. Every
    // other sample is lit in full; one between two neighbours of the same run that saw the same
    // lights takes their light interpolated along the ray, and is lit in full otherwise.
    if (n <= 0) return color_t(0.f);
    color_t light[kScatterBatch];
    uint32_t seen[kScatterBatch];
    int which[kScatterBatch];
    int count = 0;
    for (int i = 0; i < n; i += 2) which[count++] = i;
    if (n % 2 == 0) which[count++] = n - 1;
    inScatter(ctx, state, points, which, count, light, seen);
    count = 0;
    for (int i = 1; i + 1 < n; i += 2) {
        const scatterPoint_t& a = points[i - 1];
        const scatterPoint_t& b = points[i + 1];
        if (a.run == b.run && seen[i - 1] == seen[i + 1] && seen[i - 1] != kUnlikeSamples) {
            const float f = (points[i].t - a.t) / (b.t - a.t);
            light[i] = light[i - 1] * (1.f - f) + light[i + 1] * f;
        } else {
            which[count++] = i;
        }
    }
    if (count > 0) inScatter(ctx, state, points, which, count, light, seen);
    color_t sum(0.f);
    for (int i = 0; i < n; ++i) sum += light[i] * points[i].weight;
    return sum;
}

void FixedSingleScatterIntegrator::inScatter(const renderContext_t& ctx, renderState_t& state,
                                             const scatterPoint_t* points, const int* which, int count,
                                             color_t* light, uint32_t* seen) const {
    // The points' spots in the attenuation grids, shared by the lights.
    gridLookup_t grids[kScatterBatch];
    for (int w = 0; w < count; ++w) {
        light[which[w]] = color_t(0.f);
        seen[which[w]] = 0;
        grids[w] = gridLookup(points[which[w]].p);
    }
    int bit = 0;  // the light sample's bit in `seen`
    for (const light_t* source : lights) {
        color_t mean;
        if (source->meanIllumination(mean)) {
            // The sky lights a medium from every side at once: its mean, dimmed by the media
            // above, without sampling noise (occlusion by the ground is left aside).
            for (int w = 0; w < count; ++w) {
                const point3d_t& p = points[which[w]].p;
                light[which[w]] += mean * lightTransmittance(state, skyRay(p), source, grids[w]);
            }
            continue;
        }
        // Singular lights are sampled once, area lights with a quarter of their samples. The
        // shadow rays of one sample leave points along one camera ray towards the same light,
        // side by side: they are traced kShadowLanes at a time.
        const int samples = source->nSamples() <= 1 ? 1 : std::max(1, source->nSamples() / 4);
        const float share = 1.f / float(samples);
        for (int k = 0; k < samples; ++k, ++bit) {
            const uint32_t mask = bit < 32 ? 1u << bit : 0u;
            for (int w0 = 0; w0 < count; w0 += kShadowLanes) {
                lightSample_t ls[kShadowLanes];
                ray_t shadows[kShadowLanes];
                int valid[kShadowLanes];
                bool shadowed[kShadowLanes] = {};
                for (int l = 0; l < kShadowLanes; ++l) {
                    valid[l] = 0;
                    if (w0 + l >= count) continue;
                    const point3d_t& p = points[which[w0 + l]].p;
                    if (!source->illuminate(p, state.random(), state.random(), ls[l])) continue;
                    valid[l] = 1;
                    shadows[l].from = p;
                    shadows[l].dir = ls[l].wi;
                    shadows[l].tmin = shadowBias(p);
                    shadows[l].tmax = ls[l].distance > 0.f ? ls[l].distance : kInfiniteShadowLength;
                }
                if (source->castShadows) ctx.scene->areShadowed(valid, shadows, shadowed);
                for (int l = 0; l < kShadowLanes; ++l) {
                    if (!valid[l] || shadowed[l]) continue;
                    const int i = which[w0 + l];
                    seen[i] |= mask;
                    light[i] += ls[l].color * (lightTransmittance(state, shadows[l], source, grids[w0 + l]) * share);
                }
            }
        }
    }
    // Too many samples to tell apart: such points are never taken for alike.
    if (bit > 32) {
        for (int w = 0; w < count; ++w) seen[which[w]] = kUnlikeSamples;
    }
}

FixedSingleScatterIntegrator::gridLookup_t FixedSingleScatterIntegrator::gridLookup(const point3d_t& p) const {
    gridLookup_t at;
    if (!optimize_) return at;
    // Every region's grid holds the transmittance through all the regions, so the grid of a
    // region that holds the point answers alone: multiplying the grids of every region the
    // shadow ray crosses would count the media twice, and a grid read outside its own box
    // answers for other paths than this one.
    for (const VolumeRegion* vr : listVR) {
        if (vr->getBB().includes(p)) {
            at.region = vr;
            at.spot = vr->gridSpot(p);
            break;
        }
    }
    return at;
}

float FixedSingleScatterIntegrator::lightTransmittance(renderState_t& state, const ray_t& shadow, const light_t* light,
                                                       const gridLookup_t& at) const {
    if (at.region) return at.region->attenuationAt(at.spot, light);
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
            color_t unused;
            const bool sky = light->meanIllumination(unused);
            for (int z = 0; z < nz; ++z) {
                for (int y = 0; y < ny; ++y) {
                    for (int x = 0; x < nx; ++x) {
                        // Cell centres, where the trilinear look-up places the cells' values.
                        const point3d_t p(bb.a.x + (x + 0.5f) * bb.longX() / nx,
                                          bb.a.y + (y + 0.5f) * bb.longY() / ny,
                                          bb.a.z + (z + 0.5f) * bb.longZ() / nz);
                        // The sky's share is dimmed along the path inScatter marches without
                        // grids: straight up, not towards one sample of the sky.
                        ray_t r = skyRay(p);
                        if (!sky) {
                            lightSample_t ls;
                            if (!light->illuminate(p, 0.5f, 0.5f, ls)) continue;
                            r.dir = ls.wi;
                            r.tmax = ls.distance > 0.f ? ls.distance : kInfiniteShadowLength;
                        }
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
