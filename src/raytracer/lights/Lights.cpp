// Stock lights. Each factory reads the shared keys (color, power, light_enabled, cast_shadows)
// and its own; illumination terms follow the convention that a white Lambert surface facing a
// power-1 sun renders 1.0.

#include <cmath>

#include "raytracer/core/Environment.h"
#include "raytracer/core/Log.h"
#include "raytracer/plugins.h"

namespace yafaray {
namespace {

constexpr float kDegToRad = kPi / 180.f;
constexpr float kMaxSunAngle = 80.f;
// A sun cone narrower than this half-angle (cosine of 5°) counts as narrow.
constexpr float kNarrowCos = 0.9961947f;

struct commonLight_t {
    color_t color{1.f};
    bool enabled = true;
    bool castShadows = true;
};

commonLight_t readCommon(paraMap_t& params) {
    color_t color(1.f);
    float power = 1.f;
    bool enabled = true, castShadows = true, withCaustic = true, withDiffuse = true, photonOnly = false;
    params.getParam("color", color);
    params.getParam("power", power);
    params.getParam("light_enabled", enabled);
    params.getParam("cast_shadows", castShadows);
    params.getParam("with_caustic", withCaustic);
    params.getParam("with_diffuse", withDiffuse);
    params.getParam("photon_only", photonOnly);
    return {color * power, enabled && !photonOnly, castShadows};
}

// A disabled light is not added; the factory then returns null with a note.
template <typename L>
light_t* finish(L* light, const commonLight_t& c) {
    if (!c.enabled) {
        delete light;
        logMessage(logLevel_t::info, "light disabled, not added");
        return nullptr;
    }
    light->castShadows = c.castShadows;
    return light;
}

// The sun: a cone of directions of half-angle alpha around "direction", sampled uniformly in
// solid angle, so the penumbra width follows the angle.
class sunLight_t : public light_t {
public:
    sunLight_t(const vector3d_t& dir, const color_t& col, float angleDeg, int samples)
        : dir_(dir.normalized()), col_(col), samples_(std::max(1, samples)) {
        cosAlpha_ = std::cos(std::clamp(angleDeg, 0.f, kMaxSunAngle) * kDegToRad);
        createCS(dir_, du_, dv_);
    }
    int nSamples() const override { return cosAlpha_ < 1.f ? samples_ : 1; }
    // Within a few degrees of the sun's direction.
    bool isNarrow() const override { return cosAlpha_ > kNarrowCos; }
    bool illuminate(const point3d_t&, float s1, float s2, lightSample_t& ls) const override {
        const float cosTheta = 1.f - s1 * (1.f - cosAlpha_);
        const float sinTheta = std::sqrt(std::max(0.f, 1.f - cosTheta * cosTheta));
        const float phi = 2.f * kPi * s2;
        ls.wi = (dir_ * cosTheta + (du_ * std::cos(phi) + dv_ * std::sin(phi)) * sinTheta).normalized();
        ls.distance = -1.f;
        ls.color = col_;
        return true;
    }

private:
    vector3d_t dir_, du_, dv_;
    color_t col_;
    float cosAlpha_ = 1.f;
    int samples_;
};

light_t* sunFactory(paraMap_t& params, renderEnvironment_t&) {
    const commonLight_t c = readCommon(params);
    point3d_t dir(0.f, 0.f, 1.f);
    float angle = 0.27f;
    int samples = 4;
    params.getParam("direction", dir);
    params.getParam("angle", angle);
    params.getParam("samples", samples);
    if (dir.lengthSqr() == 0.f) dir = {0.f, 0.f, 1.f};
    return finish(new sunLight_t(dir, c.color, angle, samples), c);
}

class pointLight_t : public light_t {
public:
    pointLight_t(const point3d_t& from, const color_t& col) : from_(from), col_(col) {}
    bool illuminate(const point3d_t& p, float, float, lightSample_t& ls) const override {
        const vector3d_t d = from_ - p;
        const float d2 = d.lengthSqr();
        if (d2 <= 0.f) return false;
        ls.distance = std::sqrt(d2);
        ls.wi = d * (1.f / ls.distance);
        ls.color = col_ * (1.f / d2);
        return true;
    }

private:
    point3d_t from_;
    color_t col_;
};

light_t* pointFactory(paraMap_t& params, renderEnvironment_t&) {
    const commonLight_t c = readCommon(params);
    point3d_t from;
    int samples = 1;  // sent by the lighting layer; a point light is a single delta sample
    params.getParam("from", from);
    params.getParam("samples", samples);
    return finish(new pointLight_t(from, c.color), c);
}

// Parallel light; with infinite=false only a cylinder of radius r around the axis through
// "from" is lit, and shadow rays end at the plane through "from".
class directionalLight_t : public light_t {
public:
    directionalLight_t(const vector3d_t& dir, const color_t& col, bool infinite, const point3d_t& from,
                       float r)
        : dir_(dir.normalized()), col_(col), infinite_(infinite), from_(from), radius_(r) {}
    bool illuminate(const point3d_t& p, float, float, lightSample_t& ls) const override {
        ls.wi = dir_;
        ls.color = col_;
        ls.distance = -1.f;
        if (!infinite_) {
            const vector3d_t d = from_ - p;
            const float along = dot(d, dir_);
            if (along <= 0.f) return false;
            if ((d - dir_ * along).lengthSqr() > radius_ * radius_) return false;
            ls.distance = along;
        }
        return true;
    }

private:
    vector3d_t dir_;
    color_t col_;
    bool infinite_;
    point3d_t from_;
    float radius_;
};

light_t* directionalFactory(paraMap_t& params, renderEnvironment_t&) {
    const commonLight_t c = readCommon(params);
    point3d_t dir(0.f, 0.f, 1.f), from;
    bool infinite = true;
    float radius = 1.f;
    params.getParam("direction", dir);
    params.getParam("infinite", infinite);
    if (!params.getParam("from", from)) params.getParam("position", from);
    params.getParam("radius", radius);
    if (dir.lengthSqr() == 0.f) dir = {0.f, 0.f, 1.f};
    return finish(new directionalLight_t(dir, c.color, infinite, from, radius), c);
}

// Spot light with a smooth fall-off between the inner and outer cone; shadows are hard.
class spotLight_t : public light_t {
public:
    spotLight_t(const point3d_t& from, const point3d_t& to, const color_t& col, float coneDeg, float blend)
        : from_(from), axis_((to - from).normalized()), col_(col) {
        cosOuter_ = std::cos(coneDeg * kDegToRad);
        cosInner_ = std::cos(coneDeg * (1.f - blend) * kDegToRad);
    }
    bool illuminate(const point3d_t& p, float, float, lightSample_t& ls) const override {
        const vector3d_t d = from_ - p;
        const float d2 = d.lengthSqr();
        if (d2 <= 0.f) return false;
        ls.distance = std::sqrt(d2);
        ls.wi = d * (1.f / ls.distance);
        const float cosPhi = dot(-ls.wi, axis_);
        if (cosPhi <= cosOuter_) return false;
        float s = 1.f;
        if (cosPhi < cosInner_) {
            const float v = (cosPhi - cosOuter_) / (cosInner_ - cosOuter_);
            s = v * v * (3.f - 2.f * v);
        }
        ls.color = col_ * (s / d2);
        return true;
    }

private:
    point3d_t from_;
    vector3d_t axis_;
    color_t col_;
    float cosOuter_, cosInner_;
};

light_t* spotFactory(paraMap_t& params, renderEnvironment_t&) {
    const commonLight_t c = readCommon(params);
    point3d_t from, to(0.f, 0.f, -1.f);
    float cone = 45.f, blend = 0.15f, fuzzyness = 1.f;
    bool softShadows = false;
    int samples = 8;
    params.getParam("from", from);
    params.getParam("to", to);
    params.getParam("cone_angle", cone);
    params.getParam("blend", blend);
    params.getParam("soft_shadows", softShadows);
    params.getParam("shadowFuzzyness", fuzzyness);
    params.getParam("samples", samples);
    return finish(new spotLight_t(from, to, c.color, cone, std::clamp(blend, 0.f, 1.f)), c);
}

// Parallelogram light emitting from its front side, sampled uniformly over its area.
class areaLight_t : public light_t {
public:
    areaLight_t(const point3d_t& corner, const vector3d_t& e1, const vector3d_t& e2, const color_t& col,
                int samples)
        : corner_(corner), e1_(e1), e2_(e2), samples_(std::max(1, samples)) {
        const vector3d_t n = cross(e1, e2);
        area_ = n.length();
        normal_ = n.normalized();
        // Radiance π·c·P, so that the result matches a Lambert BSDF without 1/π.
        col_ = col * kPi;
    }
    int nSamples() const override { return samples_; }
    bool illuminate(const point3d_t& p, float s1, float s2, lightSample_t& ls) const override {
        if (area_ <= 0.f) return false;
        const point3d_t q = corner_ + e1_ * s1 + e2_ * s2;
        const vector3d_t d = q - p;
        const float d2 = d.lengthSqr();
        if (d2 <= 0.f) return false;
        ls.distance = std::sqrt(d2);
        ls.wi = d * (1.f / ls.distance);
        const float cosL = -dot(ls.wi, normal_);
        if (cosL <= 0.f) return false;
        // Solid-angle pdf in the π convention: π·d²/(A·cosθ_l).
        ls.color = col_ * (area_ * cosL / (kPi * d2));
        return true;
    }

private:
    point3d_t corner_;
    vector3d_t e1_, e2_, normal_;
    color_t col_;
    float area_ = 0.f;
    int samples_;
};

light_t* areaFactory(paraMap_t& params, renderEnvironment_t&) {
    const commonLight_t c = readCommon(params);
    point3d_t corner, p1, p2;
    int samples = 4, object = 0;
    params.getParam("corner", corner);
    params.getParam("point1", p1);
    params.getParam("point2", p2);
    params.getParam("samples", samples);
    params.getParam("object", object);
    return finish(new areaLight_t(corner, p1 - corner, p2 - corner, c.color, samples), c);
}

// Sphere light sampled uniformly inside the cone it subtends.
class sphereLight_t : public light_t {
public:
    sphereLight_t(const point3d_t& centre, float radius, const color_t& col, int samples)
        : centre_(centre), radius_(radius), col_(col), samples_(std::max(1, samples)) {}
    int nSamples() const override { return samples_; }
    bool illuminate(const point3d_t& p, float s1, float s2, lightSample_t& ls) const override {
        const vector3d_t d = centre_ - p;
        const float d2 = d.lengthSqr();
        if (d2 <= radius_ * radius_) return false;
        const float dist = std::sqrt(d2);
        const vector3d_t axis = d * (1.f / dist);
        const float cosAlpha = std::sqrt(1.f - radius_ * radius_ / d2);
        vector3d_t du, dv;
        createCS(axis, du, dv);
        const float cosTheta = 1.f - s1 * (1.f - cosAlpha);
        const float sinTheta = std::sqrt(std::max(0.f, 1.f - cosTheta * cosTheta));
        const float phi = 2.f * kPi * s2;
        ls.wi = (axis * cosTheta + (du * std::cos(phi) + dv * std::sin(phi)) * sinTheta).normalized();
        ls.distance = dist - radius_;
        // Radiance c·P over a pdf of 1/(2(1−cos α)) in the π convention.
        ls.color = col_ * (2.f * (1.f - cosAlpha));
        return true;
    }

private:
    point3d_t centre_;
    float radius_;
    color_t col_;
    int samples_;
};

light_t* sphereFactory(paraMap_t& params, renderEnvironment_t&) {
    const commonLight_t c = readCommon(params);
    point3d_t from;
    float radius = 1.f;
    int samples = 4, object = 0;
    params.getParam("from", from);
    params.getParam("radius", radius);
    params.getParam("samples", samples);
    params.getParam("object", object);
    return finish(new sphereLight_t(from, std::max(0.f, radius), c.color, samples), c);
}

}  // namespace

void registerPlugin_arealight(renderEnvironment_t& env) {
    env.registerFactory("arealight", &areaFactory);
}
void registerPlugin_directional(renderEnvironment_t& env) {
    env.registerFactory("directional", &directionalFactory);
}
void registerPlugin_pointlight(renderEnvironment_t& env) {
    env.registerFactory("pointlight", &pointFactory);
}
void registerPlugin_spherelight(renderEnvironment_t& env) {
    env.registerFactory("spherelight", &sphereFactory);
}
void registerPlugin_spotlight(renderEnvironment_t& env) {
    env.registerFactory("spotlight", &spotFactory);
}
void registerPlugin_sunlight(renderEnvironment_t& env) {
    env.registerFactory("sunlight", &sunFactory);
}

}  // namespace yafaray
