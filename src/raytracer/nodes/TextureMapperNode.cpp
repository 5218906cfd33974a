// "texture_mapper": reads a texture at the shading point's texture coordinates
// ("texco": "uv", "global", "orco", "transformed"), remapped by "proj_x/y/z", projected by
// "mapping" (image textures only), then scaled by "scale" and moved by 2·"offset". Its scalar
// also serves as a height field for bump mapping.

#include <algorithm>
#include <cmath>
#include <string>

#include "raytracer/core/Environment.h"
#include "raytracer/core/Log.h"
#include "raytracer/core/SurfaceDifferentials.h"
#include "raytracer/nodes/BasicNodes.h"

namespace yafaray {
namespace {

// Difference steps of the bump slopes: in UV texture space (2u − 1 units) and, for
// world-space coordinates, relative to the point's distance from the origin.
constexpr float kUvBumpStep = 2e-5f;
constexpr float kWorldBumpStep = 2e-4f;
constexpr float kWorldBumpStepRelative = 1e-5f;

class textureMapperNode_t : public shaderNode_t {
public:
    enum class texco_t { uv, global, orco, transformed };
    enum class mapping_t { plain, cube, tube, sphere };

    textureMapperNode_t(const texture_t* texture, const paraMap_t& params) : texture_(texture) {
        std::string texco = "global", mapping;
        params.getParam("texco", texco);
        params.getParam("mapping", mapping);
        params.getParam("transform", transform_);
        params.getParam("proj_x", proj_[0]);
        params.getParam("proj_y", proj_[1]);
        params.getParam("proj_z", proj_[2]);
        params.getParam("scale", scale_);
        params.getParam("offset", offset_);
        params.getParam("bump_strength", bumpStrength_);
        params.getParam("do_scalar", doScalar_);
        if (texco == "uv") texco_ = texco_t::uv;
        if (texco == "orco") texco_ = texco_t::orco;
        if (texco == "transformed") texco_ = texco_t::transformed;
        // "window", "normal", "reflect", "stick", "stress" and "tangent" read world coordinates.
        if (texture_->discrete()) {
            if (mapping == "cube") mapping_ = mapping_t::cube;
            if (mapping == "tube") mapping_ = mapping_t::tube;
            if (mapping == "sphere") mapping_ = mapping_t::sphere;
        }
        for (int& a : proj_) a = std::clamp(a, 0, 3);
        // Slopes are taken in the unscaled input space, so divide by the scale's length to keep
        // the bump height independent of the texture's repetition.
        const float scaleLength = scale_.length();
        bumpGain_ = scaleLength > 0.f ? bumpStrength_ / scaleLength / 100.f : 0.f;
        // A bump map asks for slopes at every point it is sampled at.
        if (bumpGain_ != 0.f) texture_->expectGradients();
        // How the transform and the scale widen a world footprint (the transform's mean stretch:
        // the cube root of its volume change; the scale's largest factor).
        const auto& m = transform_.m;
        const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                           m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
        transformStretch_ = static_cast<float>(std::cbrt(std::fabs(det)));
        scaleStretch_ = std::max({std::fabs(scale_.x), std::fabs(scale_.y), std::fabs(scale_.z)});
    }

    bool configInputs(const paraMap_t&, const nodeFinder_t&) override { return true; }

    void eval(nodeStack_t& stack, const surfacePoint_t& sp) const override {
        const point3d_t p = map(input(sp), sp.N);
        nodeResult_t& r = stack[ID];
        float f = 0.f;
        texture_->sample(p, footprint(sp), r.col, f);
        r.f = doScalar_ ? f : 0.f;
    }

    void evalDerivative(nodeStack_t& stack, const surfacePoint_t& sp, const vector3d_t& T,
                        const vector3d_t& B) const override {
        nodeResult_t& r = stack[ID];
        // Textures that differentiate themselves give both slopes from one look-up: the
        // gradient in mapped space along the mapped image of each input-space step (the
        // mappings used here are affine, so that image is exact).
        if (mapping_ == mapping_t::plain || mapping_ == mapping_t::cube) {
            const point3d_t base = input(sp);
            const point3d_t p = map(base, sp.N);
            float value = 0.f;
            vector3d_t gradient;
            if (texture_->floatGradient(p, footprint(sp), value, gradient)) {
                r.du = bumpGain_ * dot(gradient, map(base + inputStep(sp, T), sp.N) - p);
                r.dv = bumpGain_ * dot(gradient, map(base + inputStep(sp, B), sp.N) - p);
                return;
            }
        }
        r.du = bumpGain_ * slope(sp, T);
        r.dv = bumpGain_ * slope(sp, B);
    }

private:
    // The texture coordinates before mapping and scale.
    point3d_t input(const surfacePoint_t& sp) const {
        switch (texco_) {
            case texco_t::uv:
                return {2.f * sp.u - 1.f, 2.f * sp.v - 1.f, 0.f};
            case texco_t::transformed: {
                const auto& m = transform_.m;
                const point3d_t& P = sp.P;
                return {float(m[0][0] * P.x + m[0][1] * P.y + m[0][2] * P.z + m[0][3]),
                        float(m[1][0] * P.x + m[1][1] * P.y + m[1][2] * P.z + m[1][3]),
                        float(m[2][0] * P.x + m[2][1] * P.y + m[2][2] * P.z + m[2][3])};
            }
            case texco_t::orco:  // meshes carry no original coordinates: world space
            case texco_t::global:
                break;
        }
        return sp.P;
    }

    // The width of sp's footprint in mapped texture space (0 where the mapping bends space
    // and no single figure fits).
    float footprint(const surfacePoint_t& sp) const {
        if (sp.footprint <= 0.f || mapping_ == mapping_t::tube || mapping_ == mapping_t::sphere) return 0.f;
        float w = sp.footprint;
        switch (texco_) {
            case texco_t::uv: {
                // (2u − 1, 2v − 1) changes by 2 per unit of u; the surface's stretch per unit
                // of u and v, averaged, turns world width into parameter width.
                const float stretch = std::sqrt(sp.dPdU.length() * sp.dPdV.length());
                if (!(stretch > 0.f)) return 0.f;
                w *= 2.f / stretch;
                break;
            }
            case texco_t::transformed:
                w *= transformStretch_;
                break;
            case texco_t::orco:
            case texco_t::global:
                break;
        }
        return w * scaleStretch_;
    }

    // Axis remap, projection, scale and offset.
    point3d_t map(const point3d_t& in, const vector3d_t& n) const {
        const float axes[4] = {0.f, in.x, in.y, in.z};
        point3d_t p(axes[proj_[0]], axes[proj_[1]], axes[proj_[2]]);
        switch (mapping_) {
            case mapping_t::cube: {
                const float ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
                if (az >= ax && az >= ay) break;
                p = ay >= ax ? point3d_t(p.x, p.z, p.y) : point3d_t(p.y, p.z, p.x);
                break;
            }
            case mapping_t::tube: {
                const float r = std::sqrt(p.x * p.x + p.y * p.y);
                p = point3d_t(p.x != 0.f && p.y != 0.f ? -std::atan2(p.x, p.y) / kPi : 0.f, p.z,
                              r > 0.f ? 1.f / r : 0.f);
                break;
            }
            case mapping_t::sphere: {
                const float r = p.length();
                const float u = p.x != 0.f && p.y != 0.f ? -std::atan2(p.x, p.y) / kPi : 0.f;
                const float v = r > 0.f ? 1.f - 2.f * std::acos(std::clamp(p.z / r, -1.f, 1.f)) / kPi : 0.f;
                p = point3d_t(u, v, r);
                break;
            }
            case mapping_t::plain:
                break;
        }
        return {p.x * scale_.x + 2.f * offset_.x, p.y * scale_.y + 2.f * offset_.y,
                p.z * scale_.z + 2.f * offset_.z};
    }

    // The unit step in input space that moves the point along the world tangent d: in UV
    // space the (2u − 1, 2v − 1) direction of d (zero where the parameters do not move), else d.
    vector3d_t inputStep(const surfacePoint_t& sp, const vector3d_t& d) const {
        if (texco_ != texco_t::uv) return d;
        float du, dv;
        parameterStep(sp, d, du, dv);
        return vector3d_t(du, dv, 0.f).normalized();
    }

    // Slope of the scalar along the world tangent d, per unit of input space: a forward
    // difference from the point's own value, which eval has just asked the texture for.
    float slope(const surfacePoint_t& sp, const vector3d_t& d) const {
        const point3d_t base = input(sp);
        vector3d_t step = inputStep(sp, d);
        float h;
        if (texco_ == texco_t::uv) {
            if (step.lengthSqr() == 0.f) return 0.f;
            h = kUvBumpStep;
            if (texture_->discrete()) {
                int w = 0, hh = 0;
                texture_->resolution(w, hh);
                if (std::max(w, hh) > 0) h = 1.f / float(std::max(w, hh));  // one pixel
            }
        } else {
            h = std::max(kWorldBumpStep, kWorldBumpStepRelative * base.length());
        }
        const float width = footprint(sp);
        const float f1 = texture_->filteredFloat(map(base + step * h, sp.N), width);
        const float f0 = texture_->filteredFloat(map(base, sp.N), width);
        return (f1 - f0) / h;
    }

    const texture_t* texture_;
    texco_t texco_ = texco_t::global;
    mapping_t mapping_ = mapping_t::plain;
    matrix4x4_t transform_;
    int proj_[3] = {1, 2, 3};
    point3d_t scale_{1.f, 1.f, 1.f}, offset_{0.f, 0.f, 0.f};
    float transformStretch_ = 1.f, scaleStretch_ = 1.f;
    float bumpStrength_ = 1.f, bumpGain_ = 0.f;
    bool doScalar_ = true;
};

}  // namespace

shaderNode_t* textureMapperNodeFactory(const paraMap_t& params, renderEnvironment_t& env) {
    std::string textureName, name;
    params.getParam("texture", textureName);
    params.getParam("name", name);
    const texture_t* texture = env.getTexture(textureName);
    if (!texture) {
        logMessage(logLevel_t::warning,
                   "texture_mapper '" + name + "': no texture named '" + textureName + "'");
        return nullptr;
    }
    return new textureMapperNode_t(texture, params);
}

}  // namespace yafaray
