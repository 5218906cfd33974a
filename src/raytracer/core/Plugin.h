#pragma once

#include <cstdint>
#include <vector>

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
    // World-space change of P per unit of u and of v (the triangle's own parameters when it has
    // no UVs); they give bump mapping its tangents.
    vector3d_t dPdU, dPdV;
    // The ray arrives from inside the object this surface bounds. Integrators that follow rays
    // into refracting materials set it; glass picks its relative index of refraction by it.
    bool fromInside = false;
    const material_t* material = nullptr;
    // World-space width of what one image sample covers at P (0: unknown, no filtering);
    // textures leave out detail finer than this.
    float footprint = 0.f;
};

struct surfaceGuide_t;

// Per-sample state: which pixel and sample is traced, for deterministic random numbers.
struct renderState_t {
    int pixelX = 0, pixelY = 0;
    uint32_t sampleIndex = 0;
    int raylevel = 0;
    uint32_t rngState = 0;
    // Where the film wants the first surface's look for its denoiser (null: not wanted).
    surfaceGuide_t* guide = nullptr;

    // Next uniform number in [0, 1) of this sample's own sequence.
    float random() {
        rngState = rngState * 747796405u + 2891336453u;
        uint32_t w = ((rngState >> ((rngState >> 28u) + 4u)) ^ rngState) * 277803737u;
        w = (w >> 22u) ^ w;
        return static_cast<float>(w >> 8) * (1.f / 16777216.f);
    }
};

// How a surface splits incoming light, already weighted by the material's layer amounts and by
// Fresnel where the material has it. A path tracer samples the diffuse and translucent lobes
// (Lambert, without 1/π) and follows the specular ones: mirror about N, refraction along
// refractDir, and straight-through transmission.
struct materialResponse_t {
    vector3d_t N;            // shading normal the lobes use: sp.N, bent by a bump shader
    color_t diffuse;         // Lambert reflection k_d·C (without 1/π)
    color_t translucent;     // Lambert transmission to the back side
    color_t mirror;          // perfect specular reflection about N
    color_t transmit;        // straight-through transmission, direction unchanged
    color_t refract;         // specular refraction along refractDir
    vector3d_t refractDir;   // unit; meaningful only where refract is not black
    color_t emit;            // emitted radiance
    float alpha = 1.f;       // coverage this surface gives the image's alpha channel
};

// The first surface a camera ray shows, without its lighting: what the film's denoiser keeps
// apart. Misses leave it white with no normal. Integrators record every surface they shade
// along the camera ray and its specular continuations; only the first that is not fully see-
// through counts (a cut-out leaf's clear part shows what lies behind it).
struct surfaceGuide_t {
    color_t albedo{1.f};
    vector3d_t normal;
    bool recorded = false;

    void record(const materialResponse_t& r) {
        if (recorded) return;
        const color_t other = r.diffuse + r.translucent + r.mirror + r.refract;
        if (other.isBlack() && r.transmit.energy() >= kSeeThrough) return;
        const color_t sum = other + r.transmit;
        albedo = color_t(std::min(sum.R, 1.f), std::min(sum.G, 1.f), std::min(sum.B, 1.f));
        normal = r.N;
        recorded = true;
    }
    static constexpr float kSeeThrough = 0.99f;
};

class material_t {
public:
    virtual ~material_t() = default;
    // Response at a surface point seen from wo (unit, from the point towards the viewer).
    // Any render thread.
    virtual materialResponse_t response(const surfacePoint_t& sp, const vector3d_t& wo) const = 0;
    // The same seen along the shading normal (head-on).
    materialResponse_t response(const surfacePoint_t& sp) const { return response(sp, sp.N); }
    // What a shadow ray travelling along dir keeps when it crosses the surface at sp; black for
    // an opaque point. Only asked where isTransparent() is true. Any render thread.
    virtual color_t shadowFilter(const surfacePoint_t& sp, const vector3d_t& dir) const {
        return response(sp, -dir).transmit;
    }
    // True when shadow rays may pass through this material.
    virtual bool isTransparent() const { return false; }
    // Fraction of light kept over `distance` travelled inside the material (absorbing glass);
    // white for materials without absorption.
    virtual color_t insideTransmittance(float distance) const {
        (void)distance;
        return color_t(1.f);
    }
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
    // For a light the same everywhere (a background at infinity): the mean of illuminate's
    // colour over its samples, occlusion left aside, in `mean`; false for other lights.
    // Media scattering light in every direction may take it instead of sampling.
    virtual bool meanIllumination(color_t& mean) const {
        (void)mean;
        return false;
    }
    // Announces the sample numbers about to be passed to illuminate, so that a light reading
    // large tables can start fetching them for all samples at once. Changes no result.
    virtual void prefetch(const float* s1, const float* s2, int n) const {
        (void)s1, (void)s2, (void)n;
    }
    // True when the light seen from any point spans a narrow cone (a sun disc): the rays of its
    // samples from one point then run nearly side by side.
    virtual bool isNarrow() const { return false; }
    bool castShadows = true;
};

class camera_t {
public:
    virtual ~camera_t() = default;
    // Ray through film position (px, py) in pixels, row 0 at the top; lens numbers (lu, lv) in [0,1).
    // wt is 0 for pixels outside the camera's image (e.g. beyond an angular camera's circle).
    virtual ray_t shootRay(float px, float py, float lu, float lv, float& wt) const = 0;
    // World-space width that one camera pixel covers per unit of distance along its ray; 0 when
    // the projection has no single such figure (textures are then not filtered).
    virtual float pixelSpread() const { return 0.f; }
    int resX = 320, resY = 200;
};

class background_t {
public:
    virtual ~background_t() = default;
    // Radiance seen along a (unit) direction. Any render thread.
    virtual color_t eval(const vector3d_t& dir) const = 0;
};

// A value source over texture space: procedural textures multiply p by their "size"; image
// textures cover [-1, 1]² (UV [0, 1]² after the texture mapper).
class texture_t {
public:
    virtual ~texture_t() = default;
    // Colour at texture-space point p. Any render thread.
    virtual colorA_t getColor(const point3d_t& p) const = 0;
    // Scalar at p: the pattern value of a procedural texture, the luminance of an image.
    virtual float getFloat(const point3d_t& p) const { return getColor(p).luminance(); }
    // Colour and scalar at p at once, averaged over a texture-space footprint `width` wide
    // (0: a point sample). Procedural textures compute their pattern once for both and leave
    // out detail finer than the footprint; others ignore the width.
    virtual void sample(const point3d_t& p, float width, colorA_t& colour, float& scalar) const {
        (void)width;
        colour = getColor(p);
        scalar = getFloat(p);
    }
    // The scalar alone, averaged over a footprint like sample's.
    virtual float filteredFloat(const point3d_t& p, float width) const {
        (void)width;
        return getFloat(p);
    }
    // The filtered scalar and its gradient per unit of texture space, for bump mapping from one
    // look-up; false (and nothing set) where the texture cannot differentiate itself, and the
    // caller then takes differences of filteredFloat.
    virtual bool floatGradient(const point3d_t& p, float width, float& scalar, vector3d_t& gradient) const {
        (void)p, (void)width, (void)scalar, (void)gradient;
        return false;
    }
    // Tells the texture that floatGradient will be asked for at the points it is sampled at (it
    // is a bump map), so that sample may compute the gradient along with the value. Build thread.
    virtual void expectGradients() const {}
    // Image textures answer true and give their pixel size; bump mapping then steps one pixel.
    virtual bool discrete() const { return false; }
    virtual void resolution(int& width, int& height) const { width = height = 0; }
};

class paraMap_t;
class nodeFinder_t;

// What one shader node computed at a shading point: colour, scalar and, for bump mapping, the
// scalar's slopes along the surface's two tangents.
struct nodeResult_t {
    colorA_t col{0.f, 0.f, 0.f, 1.f};
    float f = 0.f;
    float du = 0.f, dv = 0.f;
};

// The results of one material's nodes at one shading point, indexed by node ID.
class nodeStack_t {
public:
    explicit nodeStack_t(nodeResult_t* data) : data_(data) {}
    nodeResult_t& operator[](unsigned int id) { return data_[id]; }
    const nodeResult_t& operator[](unsigned int id) const { return data_[id]; }

private:
    nodeResult_t* data_;
};

// One element of a material's node list ("element" = "shader_node"). Created by the factory of
// its "type", then wired to its inputs by name; evaluated per shading point after its inputs.
class shaderNode_t {
public:
    virtual ~shaderNode_t() = default;
    // Looks up the nodes named in params; false when a required input is missing (the node is
    // then dropped). Build thread.
    virtual bool configInputs(const paraMap_t& params, const nodeFinder_t& find) = 0;
    // The nodes whose results eval reads.
    virtual std::vector<const shaderNode_t*> dependencies() const { return {}; }
    // Writes colour and scalar at sp to stack[ID]; inputs have been evaluated. Render threads.
    virtual void eval(nodeStack_t& stack, const surfacePoint_t& sp) const = 0;
    // Writes the scalar's slopes (du, dv) along the tangents T, B of the bump frame; inputs'
    // slopes are already there. Nodes without a height field leave 0. Render threads.
    virtual void evalDerivative(nodeStack_t& stack, const surfacePoint_t& sp, const vector3d_t& T,
                                const vector3d_t& B) const {
        (void)sp, (void)T, (void)B;
        stack[ID].du = stack[ID].dv = 0.f;
    }
    unsigned int ID = 0;
};

// Participating media (defined in core/Volume.h).
class VolumeRegion;

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

// Volume integrators (defined in core/Volume.h).
class volumeIntegrator_t;

}  // namespace yafaray
