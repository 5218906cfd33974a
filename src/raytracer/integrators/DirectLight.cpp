// "directlighting": emission plus direct light from every light at diffuse surfaces, with
// perfect mirror reflection and straight transmission followed up to "raydepth" bounces.
// With "indirect_bounce" a diffuse surface also gathers the light of one diffuse bounce (one
// cosine-distributed ray per sample, the surface it reaches lit directly with one sample per
// light), so that shadowed places are lit by the sunlit ones around them.

#include <algorithm>
#include <cmath>

#include "raytracer/core/Environment.h"
#include "raytracer/core/RenderContext.h"
#include "raytracer/plugins.h"

namespace yafaray {
namespace {

// Van der Corput radical inverse in base 2.
float radicalInverse2(uint32_t i) {
    i = (i << 16) | (i >> 16);
    i = ((i & 0x00ff00ffu) << 8) | ((i & 0xff00ff00u) >> 8);
    i = ((i & 0x0f0f0f0fu) << 4) | ((i & 0xf0f0f0f0u) >> 4);
    i = ((i & 0x33333333u) << 2) | ((i & 0xccccccccu) >> 2);
    i = ((i & 0x55555555u) << 1) | ((i & 0xaaaaaaaau) >> 1);
    return static_cast<float>(i >> 8) * (1.f / 16777216.f);
}

float wrap(float x) {
    return x - std::floor(x);
}

// Straight-through transparency (alpha-mapped leaves and grass) may be crossed this many times
// beyond "raydepth", so that dense layers of cut-outs do not turn black.
constexpr int kExtraTransparentDepth = 16;
// Footprint growth per unit of distance along a bounce ray (about the width of the cone one
// cosine-distributed ray stands for): what it reaches is seen blurred, and textured cheaply.
constexpr float kBounceSpread = 0.1f;
// Shadow rays of one light tested together.
constexpr int kShadowBatch = 8;

class directLighting_t : public surfaceIntegrator_t {
public:
    directLighting_t(int rayDepth, bool transpShadows, int shadowDepth, bool bgTransp, bool bounce)
        : rayDepth_(rayDepth),
          transpShadows_(transpShadows),
          shadowDepth_(shadowDepth),
          bgTransp_(bgTransp),
          bounce_(bounce) {}

    colorA_t integrate(const renderContext_t& ctx, renderState_t& state, const ray_t& ray,
                       float& depth) const override {
        // The trace sets `depth`, which the media segment needs: trace first, then attenuate.
        const colorA_t surface = trace(ctx, state, ray, 0, 0.f, &depth, nullptr, nullptr);
        return withMedia(ctx, state, ray, surface, depth);
    }

    colorA_t integrateFrom(const renderContext_t& ctx, renderState_t& state, const ray_t& ray,
                           const primaryHit_t& first, float& depth) const override {
        const colorA_t surface = trace(ctx, state, ray, 0, 0.f, &depth, &first, nullptr);
        return withMedia(ctx, state, ray, surface, depth);
    }

private:
    colorA_t withMedia(const renderContext_t& ctx, renderState_t& state, const ray_t& ray, colorA_t c,
                       float depth) const {
        if (ctx.volumeIntegrator) {
            // Media between the camera and the surface: C·T_vol + L_vol.
            ray_t segment = ray;
            segment.tmax = depth >= 0.f ? depth : -1.f;
            const colorA_t transmittance = ctx.volumeIntegrator->transmittance(ctx, state, segment);
            const colorA_t inScatter = ctx.volumeIntegrator->integrate(ctx, state, segment);
            c = colorA_t(c * transmittance + inScatter, c.A);
        }
        return c;
    }

    // Radiance along the ray; `first`, when given, is the ray's known first intersection.
    // `inside` is the refracting material the ray travels in (null: outside every object);
    // `travelled` the distance from the camera to the ray's origin.
    colorA_t trace(const renderContext_t& ctx, renderState_t& state, const ray_t& ray, int level, float travelled,
                   float* depth, const primaryHit_t* first, const material_t* inside) const {
        surfacePoint_t sp;
        float t = 0.f;
        bool hit = false;
        if (first) {
            hit = first->hit;
            sp = first->sp;
            t = first->t;
        } else {
            hit = ctx.scene->intersect(ray, sp, t);
        }
        if (!hit) {
            if (depth) *depth = -1.f;
            if (inside) return colorA_t(color_t(0.f), 1.f);  // lost inside an open object
            if (!ctx.background) return colorA_t(color_t(0.f), 0.f);
            return colorA_t(ctx.background->eval(ray.dir), bgTransp_ ? 0.f : 1.f);
        }
        if (depth) *depth = t;
        travelled += t;
        sp.footprint = travelled * ctx.pixelSpread;
        materialResponse_t r;
        const vector3d_t wo = -ray.dir;
        if (sp.material) {
            sp.fromInside = inside && inside == sp.material;
            r = sp.material->response(sp, wo);
        } else {
            r.N = sp.N;
            r.diffuse = color_t(1.f);
        }
        if (state.guide) state.guide->record(r);
        color_t col = r.emit;
        if (!r.diffuse.isBlack() || !r.translucent.isBlack()) col += directLight(ctx, state, sp, r, 0);
        if (bounce_ && !r.diffuse.isBlack()) col += r.diffuse * bouncedLight(ctx, state, sp, r);
        float alpha = 1.f;
        const float offset = minRayDist(sp.P);
        if (level < rayDepth_) {
            if (!r.mirror.isBlack()) {
                ray_t refl;
                refl.from = sp.P;
                refl.dir = (ray.dir - r.N * (2.f * dot(ray.dir, r.N))).normalized();
                // A shading normal may send the reflection below the surface; mirror it back.
                if (dot(refl.dir, sp.Ng) < 0.f)
                    refl.dir = (refl.dir - sp.Ng * (2.f * dot(refl.dir, sp.Ng))).normalized();
                refl.tmin = offset;
                state.raylevel = level + 1;
                col += r.mirror * trace(ctx, state, refl, level + 1, travelled, nullptr, nullptr, inside);
            }
            if (!r.refract.isBlack()) {
                // Entering the object the ray now travels in it; leaving, it is outside again.
                ray_t refr;
                refr.from = sp.P;
                refr.dir = r.refractDir;
                refr.tmin = offset;
                state.raylevel = level + 1;
                const material_t* behind = sp.fromInside ? nullptr : sp.material;
                col += r.refract * trace(ctx, state, refr, level + 1, travelled, nullptr, nullptr, behind);
            }
        }
        if (level < rayDepth_ + kExtraTransparentDepth) {
            if (!r.transmit.isBlack()) {
                ray_t through;
                through.from = sp.P;
                through.dir = ray.dir;
                through.tmin = offset;
                state.raylevel = level + 1;
                const colorA_t behind = trace(ctx, state, through, level + 1, travelled, nullptr, nullptr, inside);
                col += r.transmit * behind;
                const float seeThrough = r.transmit.energy();
                alpha = std::clamp(1.f - seeThrough * (1.f - behind.A), 0.f, 1.f);
            }
        }
        // Beer–Lambert absorption over the segment travelled inside a refracting object.
        if (inside) col *= inside->insideTransmittance(t);
        return colorA_t(col, alpha);
    }

    // Radiance arriving along one cosine-distributed direction from the surface it reaches, lit
    // directly. Rays that reach the sky bring nothing: the sky lights surfaces through its own light.
    color_t bouncedLight(const renderContext_t& ctx, renderState_t& state, const surfacePoint_t& sp,
                         const materialResponse_t& r) const {
        ray_t bounce;
        bounce.from = sp.P;
        bounce.dir = cosineSample(r.N, state.random(), state.random());
        if (dot(bounce.dir, sp.Ng) <= 0.f) return color_t(0.f);
        bounce.tmin = minRayDist(sp.P);
        surfacePoint_t hitSp;
        float t = 0.f;
        if (!ctx.scene->intersect(bounce, hitSp, t)) return color_t(0.f);
        hitSp.footprint = sp.footprint + t * kBounceSpread;
        if (!hitSp.material) return color_t(0.f);
        hitSp.fromInside = false;
        const materialResponse_t hr = hitSp.material->response(hitSp, -bounce.dir);
        color_t col = hr.emit;
        if (!hr.diffuse.isBlack() || !hr.translucent.isBlack()) col += directLight(ctx, state, hitSp, hr, 1);
        return col;
    }

    // Direct light at sp: `samples` per light, or each light's own count where it is 0. The
    // shadow rays towards a narrow light (the sun) leave one point side by side: Embree traverses
    // them eight at a time for about the cost of three. Rays spread over the sky gain nothing
    // from it and are traced one by one.
    color_t directLight(const renderContext_t& ctx, renderState_t& state, const surfacePoint_t& sp,
                        const materialResponse_t& r, int samples) const {
        struct candidate_t {
            lightSample_t ls;
            color_t f;
            float cosN = 0.f;
        };
        color_t total;
        const float bias = shadowBias(sp.P);
        for (const light_t* light : ctx.lights) {
            const int n = samples > 0 ? samples : light->nSamples();
            // A per-point rotation of a stratified pattern keeps samples well spread per pixel.
            const float r1 = state.random(), r2 = state.random();
            color_t sum;
            for (int first = 0; first < n; first += kShadowBatch) {
                candidate_t candidates[kShadowBatch];
                ray_t shadows[kShadowBatch];
                int tested[kShadowBatch] = {};
                int count = 0;
                const int last = std::min(n, first + kShadowBatch);
                float s1[kShadowBatch], s2[kShadowBatch];
                for (int i = first; i < last; ++i) {
                    s1[i - first] = wrap((i + 0.5f) / n + r1);
                    s2[i - first] = wrap(radicalInverse2(static_cast<uint32_t>(i)) + r2);
                }
                light->prefetch(s1, s2, last - first);
                for (int i = first; i < last; ++i) {
                    candidate_t& c = candidates[count];
                    if (!light->illuminate(sp.P, s1[i - first], s2[i - first], c.ls)) continue;
                    c.cosN = dot(r.N, c.ls.wi);
                    const float cosNg = dot(sp.Ng, c.ls.wi);
                    if (c.cosN > 0.f && cosNg > 0.f) {
                        c.f = r.diffuse;
                    } else if (c.cosN < 0.f && cosNg < 0.f) {
                        c.f = r.translucent;
                    } else {
                        continue;
                    }
                    if (c.f.isBlack()) continue;
                    ray_t& shadow = shadows[count];
                    shadow.from = sp.P;
                    shadow.dir = c.ls.wi;
                    shadow.tmin = bias;
                    shadow.tmax = c.ls.distance > 0.f ? std::max(0.f, c.ls.distance - bias) : -1.f;
                    // A light sitting on the surface cannot be blocked.
                    tested[count] = light->castShadows && !(c.ls.distance > 0.f && shadow.tmax <= shadow.tmin);
                    ++count;
                }
                bool shadowed[kShadowBatch] = {};
                color_t filters[kShadowBatch];
                testShadows(ctx, *light, count, tested, shadows, shadowed, filters);
                for (int k = 0; k < count; ++k) {
                    if (shadowed[k]) continue;
                    const candidate_t& c = candidates[k];
                    color_t filter = tested[k] && transpShadows_ ? filters[k] : color_t(1.f);
                    if (ctx.volumeIntegrator) {
                        // Media between the point and the light dim the sample.
                        ray_t toLight;
                        toLight.from = sp.P;
                        toLight.dir = c.ls.wi;
                        toLight.tmin = bias;
                        toLight.tmax = c.ls.distance > 0.f ? c.ls.distance : -1.f;
                        filter *= ctx.volumeIntegrator->transmittance(ctx, state, toLight);
                    }
                    sum += c.f * c.ls.color * filter * std::fabs(c.cosN);
                }
            }
            total += sum * (1.f / n);
        }
        return total;
    }

    // Shadow tests of the first `count` rays where tested[k] is set: shadowed[k], and the
    // transmission of what was crossed in filters[k] with transparent shadows.
    void testShadows(const renderContext_t& ctx, const light_t& light, int count, const int* tested,
                     const ray_t* shadows, bool* shadowed, color_t* filters) const {
        if (count > 1 && light.isNarrow()) {
            ctx.scene->areShadowed(tested, shadows, shadowed, shadowDepth_, transpShadows_ ? filters : nullptr);
            return;
        }
        for (int k = 0; k < count; ++k) {
            if (!tested[k]) continue;
            shadowed[k] = transpShadows_ ? ctx.scene->isShadowed(shadows[k], shadowDepth_, filters[k])
                                         : ctx.scene->isShadowed(shadows[k]);
        }
    }

    int rayDepth_;
    bool transpShadows_;
    int shadowDepth_;
    bool bgTransp_;
    bool bounce_;
};

integrator_t* directLightFactory(paraMap_t& params, renderEnvironment_t&) {
    int rayDepth = 5, shadowDepth = 5, photons = 500000, causticMix = 100, causticDepth = 10, aoSamples = 32;
    bool transpShad = false, caustics = false, doAO = false, bgTransp = false, bgTranspRefract = false,
         bounce = false;
    float causticRadius = 0.25f, aoDistance = 1.f;
    color_t aoColor(1.f);
    params.getParam("raydepth", rayDepth);
    params.getParam("transpShad", transpShad);
    params.getParam("shadowDepth", shadowDepth);
    params.getParam("caustics", caustics);
    params.getParam("photons", photons);
    params.getParam("caustic_mix", causticMix);
    params.getParam("caustic_depth", causticDepth);
    params.getParam("caustic_radius", causticRadius);
    params.getParam("do_AO", doAO);
    params.getParam("AO_samples", aoSamples);
    params.getParam("AO_distance", aoDistance);
    params.getParam("AO_color", aoColor);
    params.getParam("bg_transp", bgTransp);
    params.getParam("bg_transp_refract", bgTranspRefract);
    params.getParam("indirect_bounce", bounce);
    return new directLighting_t(std::max(0, rayDepth), transpShad, std::max(0, shadowDepth), bgTransp, bounce);
}

// Volume integrator "none": no participating media.
class noVolume_t : public volumeIntegrator_t {};

integrator_t* noVolumeFactory(paraMap_t&, renderEnvironment_t&) {
    return new noVolume_t();
}

}  // namespace

void registerPlugin_directlight(renderEnvironment_t& env) {
    env.registerFactory("directlighting", &directLightFactory);
}
void registerBuiltinIntegrators(renderEnvironment_t& env) {
    env.registerFactory("none", &noVolumeFactory);
}

}  // namespace yafaray
