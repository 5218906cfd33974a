// "glass": a smooth dielectric boundary. Light is reflected with the Fresnel fraction (tinted
// by mirror_color) and refracted with the rest (tinted by the filter); inside, it is absorbed
// by Beer–Lambert's law, absorption colour reached after absorption_dist. With fake_shadows,
// shadow rays pass straight through with the refracted share. With dispersion_power, each refracted
// sample takes one wavelength, its own index of refraction and that wavelength's tint.

#include <algorithm>
#include <cmath>
#include <string>

#include "raytracer/core/Environment.h"
#include "raytracer/core/NodeMaterial.h"
#include "raytracer/materials/Dispersion.h"
#include "raytracer/materials/Fresnel.h"
#include "raytracer/plugins.h"

namespace yafaray {
namespace {

class glassMat_t : public nodeMaterial_t {
public:
    struct constants_t {
        float ior = 1.4f;
        color_t filterColor{1.f}, mirrorColor{1.f}, absorption{1.f};
        float transmitFilter = 0.f, absorptionDist = 1.f, dispersionPower = 0.f;
        bool fakeShadows = false;
    };

    glassMat_t(const std::string& name, const constants_t& c, paraMap_t& params,
               std::vector<paraMap_t>& nodes, renderEnvironment_t& env)
        : c_(c) {
        materialName_ = name;
        loadNodes(nodes, env);
        mirrorColorShader_ = slotNode(params, "mirror_color_shader");
        filterColorShader_ = slotNode(params, "filter_color_shader");
        iorShader_ = slotNode(params, "IOR_shader");
        bumpShader_ = slotNode(params, "bump_shader");
        solveNodesOrder({mirrorColorShader_, filterColorShader_, iorShader_}, bumpShader_);
        usesNodes_ = mirrorColorShader_ || filterColorShader_ || iorShader_ || bumpShader_;
        // σ = −ln(absorption) / distance per channel; a channel at 1 (or above) absorbs nothing.
        auto sigma = [&](float a) {
            return a < 1.f && c_.absorptionDist > 0.f ? -std::log(std::max(a, 1e-6f)) / c_.absorptionDist
                                                      : 0.f;
        };
        sigma_ = color_t(sigma(c_.absorption.R), sigma(c_.absorption.G), sigma(c_.absorption.B));
        absorbs_ = !sigma_.isBlack();
    }

    materialResponse_t response(const surfacePoint_t& sp, const vector3d_t& wo) const override {
        point_t g = at(sp);
        materialResponse_t r;
        r.N = g.N;
        color_t tint(1.f);
        if (c_.dispersionPower > 0.f) {
            // The engine carries no wavelength along a path, so each face draws its own; only the
            // entering face tints, which keeps one tint per passage and a white mean.
            const float lambda = wavelengthFromSample(dispersionSample(sp.P, wo));
            g.ior = cauchyFromIor(g.ior, c_.dispersionPower).ior(lambda);
            if (!sp.fromInside) tint = wavelengthTint(lambda);
        }
        // Entering, the medium behind is the glass; leaving, it is the outside.
        const float eta = sp.fromInside ? 1.f / g.ior : g.ior;
        vector3d_t t;
        if (!refractDirection(wo, g.N, eta, t)) {
            r.mirror = g.mirrorColor;  // total internal reflection
            return r;
        }
        const float kr = fresnelReflectance(dot(wo, g.N), eta);
        r.mirror = g.mirrorColor * kr;
        r.refract = g.filter * (1.f - kr);
        r.refractDir = t;
        r.alpha = std::clamp(1.f - r.refract.energy(), 0.f, 1.f);
        r.refract = r.refract * tint;
        return r;
    }

    color_t shadowFilter(const surfacePoint_t& sp, const vector3d_t& dir) const override {
        if (!c_.fakeShadows) return color_t(0.f);
        // A bump only tilts the Fresnel share, which light through rippled water averages out:
        // shaders are evaluated for shadow rays only where they colour the filter or set the index.
        const point_t g = filterColorShader_ || iorShader_ ? at(sp) : unshaded(sp);
        const float eta = sp.fromInside ? 1.f / g.ior : g.ior;
        return g.filter * (1.f - fresnelReflectance(dot(dir, g.N), eta));
    }

    bool isTransparent() const override { return c_.fakeShadows; }

    color_t insideTransmittance(float distance) const override {
        if (!absorbs_) return color_t(1.f);
        const float d = std::max(0.f, distance);
        return color_t(std::exp(-sigma_.R * d), std::exp(-sigma_.G * d), std::exp(-sigma_.B * d));
    }

private:
    // The shaded values at one point.
    struct point_t {
        vector3d_t N;
        color_t mirrorColor, filter;
        float ior;
    };

    // The values without shaders.
    point_t unshaded(const surfacePoint_t& sp) const {
        const float tf = std::clamp(c_.transmitFilter, 0.f, 1.f);
        return {sp.N, c_.mirrorColor, c_.filterColor * tf + color_t(1.f - tf), c_.ior};
    }

    point_t at(const surfacePoint_t& sp) const {
        if (!usesNodes_) return unshaded(sp);
        const float tf = std::clamp(c_.transmitFilter, 0.f, 1.f);
        nodeStackBuffer_t buffer(nodeCount());
        nodeStack_t stack = buffer.stack();
        evalNodes(sp, stack);
        point_t g;
        g.N = bumpedNormal(sp, stack);
        g.mirrorColor = mirrorColorShader_ ? color_t(stack[mirrorColorShader_->ID].col) : c_.mirrorColor;
        const color_t filterColor =
            filterColorShader_ ? color_t(stack[filterColorShader_->ID].col) : c_.filterColor;
        g.filter = filterColor * tf + color_t(1.f - tf);
        g.ior = c_.ior + (iorShader_ ? stack[iorShader_->ID].f : 0.f);
        return g;
    }

    constants_t c_;
    color_t sigma_;
    bool absorbs_ = false;
    const shaderNode_t* mirrorColorShader_ = nullptr;
    const shaderNode_t* filterColorShader_ = nullptr;
    const shaderNode_t* iorShader_ = nullptr;
    const shaderNode_t* bumpShader_ = nullptr;
    bool usesNodes_ = false;
};

material_t* glassFactory(paraMap_t& params, std::vector<paraMap_t>& nodes, renderEnvironment_t& env) {
    glassMat_t::constants_t c;
    std::string name;
    params.getParam("name", name);
    params.getParam("IOR", c.ior);
    params.getParam("filter_color", c.filterColor);
    params.getParam("transmit_filter", c.transmitFilter);
    params.getParam("mirror_color", c.mirrorColor);
    params.getParam("absorption", c.absorption);
    params.getParam("absorption_dist", c.absorptionDist);
    params.getParam("dispersion_power", c.dispersionPower);
    params.getParam("fake_shadows", c.fakeShadows);
    // Accepted and without effect here (every surface is visible to every ray).
    std::string visibility;
    bool receiveShadows = true;
    int additionalDepth = 0;
    float samplingFactor = 1.f;
    params.getParam("visibility", visibility);
    params.getParam("receive_shadows", receiveShadows);
    params.getParam("additionaldepth", additionalDepth);
    params.getParam("samplingfactor", samplingFactor);
    if (!(c.ior > 0.f) || !std::isfinite(c.ior)) c.ior = 1.f;
    return new glassMat_t(name, c, params, nodes, env);
}

}  // namespace

void registerPlugin_glass(renderEnvironment_t& env) {
    env.registerFactory("glass", &glassFactory);
}

}  // namespace yafaray
