// "pathtracing": direct light at every diffuse point (next-event estimation of every light and,
// with "use_background", of the background through an importance-sampled background light)
// plus "path_samples" random paths of up to "bounces" diffuse or specular bounces for the
// indirect light. Background light found by a path after a diffuse bounce and background light
// sampled directly are combined by multiple importance sampling (power heuristic), so neither a
// bright sky region nor a broad dim sky leaves much noise. Perfect mirrors, refraction and
// straight transmission at the camera's surface are followed up to "raydepth" as in direct
// lighting.

#include <algorithm>
#include <cmath>
#include <memory>

#include "raytracer/core/Environment.h"
#include "raytracer/core/RenderContext.h"
#include "raytracer/lights/BackgroundLight.h"
#include "raytracer/plugins.h"

namespace yafaray {
namespace {

// Samples of the background light at the camera's surface, when the path tracer lights with
// the background itself.
constexpr int kBackgroundLightSamples = 16;
// Paths are not cut by Russian roulette before this many bounces, nor kept with a survival
// chance below kMinSurvival.
constexpr int kRouletteStart = 2;
constexpr float kMinSurvival = 0.05f;
// Specular rays are followed at most this deep, whatever "raydepth" says.
constexpr int kMaxSpecularDepth = 20;
// Footprint growth per unit of distance after a diffuse bounce (about the width of the cone a
// few cosine-weighted paths stand for).
constexpr float kDiffuseSpread = 0.1f;

float maxChannel(const color_t& c) {
    return std::max(c.R, std::max(c.G, c.B));
}

vector3d_t reflect(const vector3d_t& dir, const vector3d_t& n) {
    return (dir - n * (2.f * dot(dir, n))).normalized();
}

float powerHeuristic(float a, float b) {
    const float a2 = a * a, b2 = b * b;
    return a2 + b2 > 0.f ? a2 / (a2 + b2) : 0.f;
}

class pathIntegrator_t : public surfaceIntegrator_t {
public:
    struct settings_t {
        int rayDepth = 5;
        bool transpShadows = false;
        int shadowDepth = 5;
        int pathSamples = 32;
        int bounces = 3;
        int rouletteMinBounces = 0;
        bool useBackground = false;
        bool bgTransp = false;
    };

    explicit pathIntegrator_t(const settings_t& s) : s_(s) {}

    bool preprocess(const renderContext_t& ctx) override {
        skyLight_.reset();
        lights_.clear();
        if (s_.useBackground && ctx.background)
            skyLight_ = std::make_unique<backgroundLight_t>(ctx.background, kBackgroundLightSamples);
        for (const light_t* l : ctx.lights) {
            // A background light of the scene would count the sky twice next to our own.
            if (skyLight_ && dynamic_cast<const backgroundLight_t*>(l)) continue;
            lights_.push_back(l);
        }
        return true;
    }

    colorA_t integrate(const renderContext_t& ctx, renderState_t& state, const ray_t& ray,
                       float& depth) const override {
        primaryHit_t first;
        first.hit = ctx.scene->intersect(ray, first.sp, first.t);
        return integrateFrom(ctx, state, ray, first, depth);
    }

    colorA_t integrateFrom(const renderContext_t& ctx, renderState_t& state, const ray_t& ray,
                           const primaryHit_t& first, float& depth) const override {
        depth = first.hit ? first.t : -1.f;
        surfacePoint_t sp = first.sp;
        if (first.hit) sp.footprint = first.t * ctx.pixelSpread;
        colorA_t c = shade(ctx, state, ray, first.hit, sp, 0, nullptr, s_.pathSamples);
        if (ctx.volumeIntegrator) {
            // Media between the camera and the surface: C·T_vol + L_vol.
            ray_t segment = ray;
            segment.tmax = depth >= 0.f ? depth : -1.f;
            const colorA_t tr = ctx.volumeIntegrator->transmittance(ctx, state, segment);
            const colorA_t in = ctx.volumeIntegrator->integrate(ctx, state, segment);
            c = colorA_t(c * tr + in, c.A);
        }
        return c;
    }

private:
    // Radiance along a camera or specular ray that hit sp (or missed), with the specular lobes
    // followed recursively and `paths` random paths for the indirect light.
    colorA_t shade(const renderContext_t& ctx, renderState_t& state, const ray_t& ray, bool hit,
                   surfacePoint_t sp, int level, const material_t* inside, int paths) const {
        if (!hit) {
            if (!ctx.background) return colorA_t(color_t(0.f), 0.f);
            return colorA_t(ctx.background->eval(ray.dir), s_.bgTransp ? 0.f : 1.f);
        }
        const vector3d_t wo = -ray.dir;
        sp.fromInside = inside && sp.material == inside;
        const materialResponse_t r = respond(sp, wo);
        if (state.guide) state.guide->record(r);
        color_t col = r.emit;
        const bool diffuse = !r.diffuse.isBlack() || !r.translucent.isBlack();
        if (diffuse) {
            col += directLight(ctx, state, sp, r, true, s_.bounces > 0 ? std::max(1, paths) : 0);
            col += indirect(ctx, state, sp, r, inside, std::max(1, paths));
        }
        float alpha = r.alpha;
        if (level < std::min(s_.rayDepth, kMaxSpecularDepth)) {
            const int deeper = std::max(1, paths / 2);
            if (!r.mirror.isBlack()) {
                const vector3d_t d = mirrorDirection(ray.dir, r.N, sp.Ng);
                col += r.mirror * follow(ctx, state, sp, d, level, inside, deeper).first;
            }
            if (!r.refract.isBlack()) {
                const material_t* next = sp.fromInside ? nullptr : sp.material;
                col += r.refract * follow(ctx, state, sp, r.refractDir, level, next, deeper).first;
            }
            if (!r.transmit.isBlack()) {
                const auto behind = follow(ctx, state, sp, ray.dir, level, inside, deeper);
                col += r.transmit * behind.first;
                alpha = std::clamp(1.f - r.transmit.energy() * (1.f - behind.second), 0.f, 1.f);
            }
        }
        return colorA_t(col, alpha);
    }

    // Traces a specular continuation from sp and shades what it finds; with its alpha.
    std::pair<color_t, float> follow(const renderContext_t& ctx, renderState_t& state,
                                     const surfacePoint_t& sp, const vector3d_t& dir, int level,
                                     const material_t* inside, int paths) const {
        ray_t next;
        next.from = sp.P;
        next.dir = dir;
        next.tmin = minRayDist(sp.P);
        surfacePoint_t hitSp;
        float t = 0.f;
        const bool hit = ctx.scene->intersect(next, hitSp, t);
        hitSp.footprint = sp.footprint + t * ctx.pixelSpread;
        state.raylevel = level + 1;
        colorA_t c = shade(ctx, state, next, hit, hitSp, level + 1, inside, paths);
        color_t result = c;
        if (inside && hit) result *= inside->insideTransmittance(t);
        if (inside && !hit) result = color_t(0.f);  // a ray lost inside a closed object
        result *= segmentTransmittance(ctx, state, next, hit ? t : -1.f);
        return {result, c.A};
    }

    materialResponse_t respond(const surfacePoint_t& sp, const vector3d_t& wo) const {
        if (sp.material) return sp.material->response(sp, wo);
        materialResponse_t r;
        r.N = sp.N;
        r.diffuse = color_t(1.f);
        return r;
    }

    static vector3d_t mirrorDirection(const vector3d_t& in, const vector3d_t& n, const vector3d_t& ng) {
        vector3d_t d = reflect(in, n);
        // A bent shading normal may send the reflection below the surface; mirror it back.
        if (dot(d, ng) < 0.f) d = reflect(d, ng);
        return d;
    }

    color_t segmentTransmittance(const renderContext_t& ctx, renderState_t& state, const ray_t& ray,
                                 float t) const {
        if (!ctx.volumeIntegrator) return color_t(1.f);
        ray_t segment = ray;
        segment.tmax = t >= 0.f ? t : -1.f;
        return ctx.volumeIntegrator->transmittance(ctx, state, segment);
    }

    // Probability with which a path picks the diffuse side (reflecting and translucent lobes)
    // at a point: all of it at the camera's surface, by energy deeper in the path.
    static float diffuseChoice(const materialResponse_t& r, bool cameraVertex) {
        const float d = r.diffuse.energy() + r.translucent.energy();
        if (cameraVertex) return 1.f;
        const float total = d + r.mirror.energy() + r.refract.energy() + r.transmit.energy();
        return total > 0.f ? d / total : 0.f;
    }

    // Density per solid angle with which the path sampling picks wi at a point.
    static float bsdfPdf(const materialResponse_t& r, const vector3d_t& wi, bool cameraVertex) {
        const float d = r.diffuse.energy(), tl = r.translucent.energy();
        if (d + tl <= 0.f) return 0.f;
        const float cosN = dot(r.N, wi);
        const float lobe = cosN > 0.f ? d / (d + tl) : tl / (d + tl);
        return diffuseChoice(r, cameraVertex) * lobe * std::fabs(cosN) / kPi;
    }

    // Direct light at a diffuse point. At the camera's surface every light takes all its
    // samples; deeper in a path each takes one. pathCount is the number of paths that leave the
    // point, for weighting the background light against them.
    color_t directLight(const renderContext_t& ctx, renderState_t& state, const surfacePoint_t& sp,
                        const materialResponse_t& r, bool cameraVertex, int pathCount) const {
        color_t total;
        const float bias = shadowBias(sp.P);
        auto sampleLight = [&](const light_t* light, int n, bool mis) {
            color_t sum;
            const float r1 = state.random(), r2 = state.random();
            for (int i = 0; i < n; ++i) {
                const float s1 = std::fmod((i + r1) / n, 1.f);
                const float s2 = std::fmod(float(i) * 0.618034f + r2, 1.f);
                lightSample_t ls;
                if (!light->illuminate(sp.P, s1, s2, ls)) continue;
                const float cosN = dot(r.N, ls.wi), cosNg = dot(sp.Ng, ls.wi);
                color_t f;
                if (cosN > 0.f && cosNg > 0.f)
                    f = r.diffuse;
                else if (cosN < 0.f && cosNg < 0.f)
                    f = r.translucent;
                else
                    continue;
                if (f.isBlack()) continue;
                color_t filter(1.f);
                ray_t shadow;
                shadow.from = sp.P;
                shadow.dir = ls.wi;
                shadow.tmin = bias;
                shadow.tmax = ls.distance > 0.f ? std::max(0.f, ls.distance - bias) : -1.f;
                if (light->castShadows && !(ls.distance > 0.f && shadow.tmax <= shadow.tmin)) {
                    const bool blocked = s_.transpShadows
                                             ? ctx.scene->isShadowed(shadow, s_.shadowDepth, filter)
                                             : ctx.scene->isShadowed(shadow);
                    if (blocked) continue;
                }
                if (ctx.volumeIntegrator) {
                    shadow.tmax = ls.distance > 0.f ? ls.distance : -1.f;
                    filter *= ctx.volumeIntegrator->transmittance(ctx, state, shadow);
                }
                float w = 1.f;
                if (mis) {
                    const float pl = skyLight_->pdf(ls.wi) * n;
                    const float pb = bsdfPdf(r, ls.wi, cameraVertex) * pathCount;
                    w = powerHeuristic(pl, pb);
                }
                sum += f * ls.color * filter * (std::fabs(cosN) * w);
            }
            return sum * (1.f / n);
        };
        for (const light_t* light : lights_)
            total += sampleLight(light, cameraVertex ? light->nSamples() : 1, false);
        if (skyLight_) total += sampleLight(skyLight_.get(), cameraVertex ? skyLight_->nSamples() : 1, true);
        return total;
    }

    // Indirect light at a diffuse point from `paths` random paths.
    color_t indirect(const renderContext_t& ctx, renderState_t& state, const surfacePoint_t& sp0,
                     const materialResponse_t& r0, const material_t* inside0, int paths) const {
        if (s_.bounces <= 0) return color_t(0.f);
        color_t total;
        for (int k = 0; k < paths; ++k) {
            color_t throughput(1.f), sum;
            surfacePoint_t sp = sp0;
            materialResponse_t r = r0;
            const material_t* inside = inside0;
            bool cameraVertex = true;
            vector3d_t incoming;  // direction of the ray that arrived at sp (past the camera's surface)
            for (int bounce = 0; bounce < s_.bounces; ++bounce) {
                // Choose a lobe in proportion to its energy (only the diffuse side at the camera's surface).
                const float d = r.diffuse.energy(), tl = r.translucent.energy();
                const float m = cameraVertex ? 0.f : r.mirror.energy();
                const float rf = cameraVertex ? 0.f : r.refract.energy();
                const float tx = cameraVertex ? 0.f : r.transmit.energy();
                const float all = d + tl + m + rf + tx;
                if (all <= 0.f) break;
                float u = state.random() * all;
                vector3d_t wi;
                color_t weight;
                bool diffuseBounce = false;
                float pdf = 0.f;
                if ((u -= d) < 0.f) {
                    wi = cosineSample(r.N, state.random(), state.random());
                    if (dot(wi, sp.Ng) <= 0.f) break;
                    weight = r.diffuse * (all / d);
                    diffuseBounce = true;
                } else if ((u -= tl) < 0.f) {
                    wi = cosineSample(-r.N, state.random(), state.random());
                    if (dot(wi, sp.Ng) >= 0.f) break;
                    weight = r.translucent * (all / tl);
                    diffuseBounce = true;
                } else if ((u -= m) < 0.f) {
                    wi = mirrorDirection(incoming, r.N, sp.Ng);
                    weight = r.mirror * (all / m);
                } else if ((u -= rf) < 0.f) {
                    wi = r.refractDir;
                    weight = r.refract * (all / rf);
                    inside = sp.fromInside ? nullptr : sp.material;
                } else {
                    wi = incoming;
                    weight = r.transmit * (all / tx);
                }
                if (diffuseBounce) pdf = bsdfPdf(r, wi, cameraVertex);
                throughput *= weight;
                if (throughput.isBlack()) break;

                ray_t next;
                next.from = sp.P;
                next.dir = wi;
                next.tmin = minRayDist(sp.P);
                surfacePoint_t hitSp;
                float t = 0.f;
                const bool hit = ctx.scene->intersect(next, hitSp, t);
                // A diffuse bounce gathers light from a wide cone: what it hits is seen blurred.
                if (ctx.pixelSpread > 0.f)
                    hitSp.footprint = sp.footprint + t * (diffuseBounce ? kDiffuseSpread : ctx.pixelSpread);
                throughput *= segmentTransmittance(ctx, state, next, hit ? t : -1.f);
                if (inside) {
                    if (!hit) break;
                    throughput *= inside->insideTransmittance(t);
                }
                if (!hit) {
                    if (ctx.background && (skyLight_ || !diffuseBounce)) {
                        float w = 1.f;
                        if (skyLight_ && diffuseBounce) {
                            const int nl = cameraVertex ? skyLight_->nSamples() : 1;
                            const int nb = cameraVertex ? paths : 1;
                            w = powerHeuristic(pdf * nb, skyLight_->pdf(wi) * nl);
                        }
                        sum += throughput * ctx.background->eval(wi) * w;
                    }
                    break;
                }
                hitSp.fromInside = inside && hitSp.material == inside;
                incoming = wi;
                sp = hitSp;
                r = respond(sp, -wi);
                sum += throughput * r.emit;
                cameraVertex = false;
                if (!r.diffuse.isBlack() || !r.translucent.isBlack())
                    sum += throughput * directLight(ctx, state, sp, r, false, 1);
                if (bounce + 1 >= std::max(kRouletteStart, s_.rouletteMinBounces)) {
                    const float survive = std::clamp(maxChannel(throughput), kMinSurvival, 1.f);
                    if (state.random() >= survive) break;
                    throughput = throughput * (1.f / survive);
                }
            }
            total += sum;
        }
        return total * (1.f / paths);
    }

    settings_t s_;
    std::unique_ptr<backgroundLight_t> skyLight_;
    std::vector<const light_t*> lights_;
};

integrator_t* pathTracingFactory(paraMap_t& params, renderEnvironment_t&) {
    pathIntegrator_t::settings_t s;
    int photons = 500000, causticMix = 100, causticDepth = 10, aoSamples = 32;
    bool noRecursive = false, doAO = false, bgTranspRefract = false;
    float causticRadius = 0.25f, aoDistance = 1.f;
    std::string causticType = "path";
    color_t aoColor(1.f);
    params.getParam("raydepth", s.rayDepth);
    params.getParam("transpShad", s.transpShadows);
    params.getParam("shadowDepth", s.shadowDepth);
    params.getParam("path_samples", s.pathSamples);
    params.getParam("bounces", s.bounces);
    params.getParam("russian_roulette_min_bounces", s.rouletteMinBounces);
    params.getParam("use_background", s.useBackground);
    params.getParam("bg_transp", s.bgTransp);
    // Read so that they are not reported as misspelt; photon caustics and AO passes are not part
    // of this integrator.
    params.getParam("no_recursive", noRecursive);
    params.getParam("caustic_type", causticType);
    params.getParam("photons", photons);
    params.getParam("caustic_mix", causticMix);
    params.getParam("caustic_depth", causticDepth);
    params.getParam("caustic_radius", causticRadius);
    params.getParam("do_AO", doAO);
    params.getParam("AO_samples", aoSamples);
    params.getParam("AO_distance", aoDistance);
    params.getParam("AO_color", aoColor);
    params.getParam("bg_transp_refract", bgTranspRefract);
    // Hostile counts are limited so that one pixel cannot take hours.
    s.rayDepth = std::clamp(s.rayDepth, 0, 1024);
    s.shadowDepth = std::clamp(s.shadowDepth, 0, 64);
    s.pathSamples = std::clamp(s.pathSamples, 1, 4096);
    s.bounces = std::clamp(s.bounces, 0, 64);
    return new pathIntegrator_t(s);
}

}  // namespace

void registerPlugin_pathtracer(renderEnvironment_t& env) {
    env.registerFactory("pathtracing", &pathTracingFactory);
}

}  // namespace yafaray
