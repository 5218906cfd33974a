#pragma once

#include <cstdint>

#include "raytracer/core/Vector.h"

// The interfaces every plug-in implements. Plug-ins are created by their factories from a
// parameter map and owned by the render environment until clearAll.

namespace yafaray {

class material_t;
class scene_t;

// Everything the shading code needs about a ray's hit.
struct surfacePoint_t {
    point3d_t P;
    vector3d_t Ng;  // geometric normal, facing the incoming ray
    vector3d_t N;   // shading normal, on the same side as Ng
    float u = 0.f, v = 0.f;
    bool hasUV = false;
    const material_t* material = nullptr;
};

// Per-sample state: which pixel and sample is traced, for deterministic random numbers.
struct renderState_t {
    int pixelX = 0, pixelY = 0;
    uint32_t sampleIndex = 0;
    int raylevel = 0;
    uint32_t rngState = 0;

    // Next uniform number in [0, 1) of this sample's own sequence.
    float random() {
        rngState = rngState * 747796405u + 2891336453u;
        uint32_t w = ((rngState >> ((rngState >> 28u) + 4u)) ^ rngState) * 277803737u;
        w = (w >> 22u) ^ w;
        return static_cast<float>(w >> 8) * (1.f / 16777216.f);
    }
};

// How a surface splits incoming light, already weighted by the material's layer amounts.
struct materialResponse_t {
    color_t diffuse;      // Lambert reflection k_d·C (without 1/π)
    color_t translucent;  // Lambert transmission to the back side
    color_t mirror;       // perfect specular reflection
    color_t transmit;     // straight-through transmission (also filters shadows)
    color_t emit;         // emitted radiance
};

class material_t {
public:
    virtual ~material_t() = default;
    // Response at a surface point. Any render thread.
    virtual materialResponse_t response(const surfacePoint_t& sp) const = 0;
    // True when shadow rays may pass through this material.
    virtual bool isTransparent() const { return false; }
};

// One illumination sample of a light towards a point.
struct lightSample_t {
    vector3d_t wi;          // unit direction from the point towards the light
    float distance = -1.f;  // distance to the light; negative for lights at infinity
    color_t color;          // incident radiance term, already divided by the sample pdf
};

class light_t {
public:
    virtual ~light_t() = default;
    // Samples to take per shading point (1 for delta lights).
    virtual int nSamples() const { return 1; }
    // Fills ls for point p from two uniform numbers; false when p receives nothing.
    virtual bool illuminate(const point3d_t& p, float s1, float s2, lightSample_t& ls) const = 0;
    bool castShadows = true;
};

class camera_t {
public:
    virtual ~camera_t() = default;
    // Ray through film position (px, py) in pixels, row 0 at the top; lens numbers (lu, lv) in [0,1).
    // wt is 0 for pixels outside the camera's image (e.g. beyond an angular camera's circle).
    virtual ray_t shootRay(float px, float py, float lu, float lv, float& wt) const = 0;
    int resX = 320, resY = 200;
};

class background_t {
public:
    virtual ~background_t() = default;
    // Radiance seen along a (unit) direction. Any render thread.
    virtual color_t eval(const vector3d_t& dir) const = 0;
};

class texture_t {
public:
    virtual ~texture_t() = default;
    virtual colorA_t getColor(const point3d_t& p) const = 0;
};

class VolumeRegion {
public:
    virtual ~VolumeRegion() = default;
};

class object3d_t {
public:
    virtual ~object3d_t() = default;
};

struct renderContext_t;

class integrator_t {
public:
    enum class kind_t { surface, volume };
    virtual ~integrator_t() = default;
    virtual kind_t kind() const = 0;
    // Called once before rendering; false cancels the render.
    virtual bool preprocess(const renderContext_t&) { return true; }
};

// The first intersection of a camera ray, when the film has already traced it (in a packet).
struct primaryHit_t {
    bool hit = false;
    float t = -1.f;
    surfacePoint_t sp;
};

class surfaceIntegrator_t : public integrator_t {
public:
    kind_t kind() const override { return kind_t::surface; }
    // Colour and alpha seen along a camera ray; depth receives the hit distance (negative on a miss).
    virtual colorA_t integrate(const renderContext_t& ctx, renderState_t& state, const ray_t& ray,
                               float& depth) const = 0;
    // The same with the ray's first intersection already known; integrators that do not use it
    // trace the ray again.
    virtual colorA_t integrateFrom(const renderContext_t& ctx, renderState_t& state, const ray_t& ray,
                                   const primaryHit_t& first, float& depth) const {
        (void)first;
        return integrate(ctx, state, ray, depth);
    }
};

class volumeIntegrator_t : public integrator_t {
public:
    kind_t kind() const override { return kind_t::volume; }
    // Transmittance along the ray segment; 1 without media.
    virtual colorA_t transmittance(const renderContext_t&, renderState_t&, const ray_t&) const {
        return colorA_t(color_t(1.f), 1.f);
    }
    // Light added along the segment.
    virtual colorA_t integrate(const renderContext_t&, renderState_t&, const ray_t&) const {
        return colorA_t(color_t(0.f), 0.f);
    }
};

}  // namespace yafaray
