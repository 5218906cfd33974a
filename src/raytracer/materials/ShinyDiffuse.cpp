// "shinydiffusemat": a layered material. Light is split in the order mirror, transparency,
// translucency, diffuse; each layer takes its amount of what the layers before it left over,
// so the parts never add up to more than the incoming light. Shader slots replace the constant
// amounts and colours per shading point; a bump shader bends the shading normal.

#include <algorithm>
#include <string>

#include "raytracer/core/Environment.h"
#include "raytracer/core/NodeMaterial.h"
#include "raytracer/materials/Fresnel.h"
#include "raytracer/plugins.h"

namespace yafaray {
namespace {

class shinyDiffuseMat_t : public nodeMaterial_t {
public:
    struct constants_t {
        color_t color{1.f}, mirrorColor{1.f};
        float diffuse = 1.f, specular = 0.f, transparency = 0.f, translucency = 0.f, transmitFilter = 1.f,
              emit = 0.f, ior = 1.33f;
        bool fresnel = false;
    };

    shinyDiffuseMat_t(const std::string& name, const constants_t& c, paraMap_t& params,
                      std::vector<paraMap_t>& nodes, renderEnvironment_t& env)
        : c_(c) {
        materialName_ = name;
        loadNodes(nodes, env);
        diffuseShader_ = slotNode(params, "diffuse_shader");
        mirrorColorShader_ = slotNode(params, "mirror_color_shader");
        mirrorShader_ = slotNode(params, "mirror_shader");
        transparencyShader_ = slotNode(params, "transparency_shader");
        translucencyShader_ = slotNode(params, "translucency_shader");
        diffuseReflShader_ = slotNode(params, "diffuse_refl_shader");
        iorShader_ = slotNode(params, "IOR_shader");
        bumpShader_ = slotNode(params, "bump_shader");
        solveNodesOrder({diffuseShader_, mirrorColorShader_, mirrorShader_, transparencyShader_,
                         translucencyShader_, diffuseReflShader_, iorShader_},
                        bumpShader_);
        usesNodes_ = diffuseShader_ || mirrorColorShader_ || mirrorShader_ || transparencyShader_ ||
                     translucencyShader_ || diffuseReflShader_ || iorShader_ || bumpShader_;
        transparent_ = transparencyShader_ || std::clamp(c_.transparency, 0.f, 1.f) > 0.f;
    }

    materialResponse_t response(const surfacePoint_t& sp, const vector3d_t& wo) const override {
        if (!usesNodes_)
            return split(sp.N, wo, c_.color, c_.mirrorColor, c_.specular, c_.transparency, c_.translucency,
                         c_.diffuse, c_.ior);
        nodeStackBuffer_t buffer(nodeCount());
        nodeStack_t stack = buffer.stack();
        evalNodes(sp, stack);
        const vector3d_t N = bumpedNormal(sp, stack);
        auto scalar = [&](const shaderNode_t* n, float constant) { return n ? stack[n->ID].f : constant; };
        auto colour = [&](const shaderNode_t* n, const color_t& constant) {
            return n ? color_t(stack[n->ID].col) : constant;
        };
        return split(N, wo, colour(diffuseShader_, c_.color), colour(mirrorColorShader_, c_.mirrorColor),
                     scalar(mirrorShader_, c_.specular), scalar(transparencyShader_, c_.transparency),
                     scalar(translucencyShader_, c_.translucency),
                     c_.diffuse * scalar(diffuseReflShader_, 1.f), c_.ior + scalar(iorShader_, 0.f));
    }

    bool isTransparent() const override { return transparent_; }

private:
    materialResponse_t split(const vector3d_t& N, const vector3d_t& wo, const color_t& C,
                             const color_t& mirrorColor, float specular, float transparency,
                             float translucency, float diffuse, float ior) const {
        const float kr = c_.fresnel ? fresnelReflectance(dot(wo, N), ior) : 1.f;
        const float m = std::clamp(specular, 0.f, 1.f) * kr;
        const float t = std::clamp(transparency, 0.f, 1.f);
        const float tl = std::clamp(translucency, 0.f, 1.f);
        const float left = 1.f - m;
        materialResponse_t r;
        r.N = N;
        r.mirror = mirrorColor * m;
        // Transmitted light is tinted by the colour in proportion to transmit_filter.
        const float filter = std::clamp(c_.transmitFilter, 0.f, 1.f);
        r.transmit = (C * filter + color_t(1.f - filter)) * (t * left);
        r.translucent = C * (tl * (1.f - t) * left);
        r.diffuse = C * (std::max(0.f, diffuse) * (1.f - tl) * (1.f - t) * left);
        r.emit = C * c_.emit;
        r.alpha = 1.f - left * t;
        return r;
    }

    constants_t c_;
    const shaderNode_t* diffuseShader_ = nullptr;
    const shaderNode_t* mirrorColorShader_ = nullptr;
    const shaderNode_t* mirrorShader_ = nullptr;
    const shaderNode_t* transparencyShader_ = nullptr;
    const shaderNode_t* translucencyShader_ = nullptr;
    const shaderNode_t* diffuseReflShader_ = nullptr;
    const shaderNode_t* iorShader_ = nullptr;
    const shaderNode_t* bumpShader_ = nullptr;
    bool usesNodes_ = false;
    bool transparent_ = false;
};

material_t* shinyDiffuseFactory(paraMap_t& params, std::vector<paraMap_t>& nodes, renderEnvironment_t& env) {
    shinyDiffuseMat_t::constants_t c;
    std::string name;
    params.getParam("name", name);
    params.getParam("color", c.color);
    params.getParam("mirror_color", c.mirrorColor);
    params.getParam("diffuse_reflect", c.diffuse);
    params.getParam("specular_reflect", c.specular);
    params.getParam("transparency", c.transparency);
    params.getParam("translucency", c.translucency);
    params.getParam("transmit_filter", c.transmitFilter);
    params.getParam("emit", c.emit);
    params.getParam("IOR", c.ior);
    params.getParam("fresnel_effect", c.fresnel);
    // Accepted and without effect here: the Lambert lobe is the only diffuse model, every
    // surface is visible to every ray, and sampling has no per-material factors.
    std::string brdf, visibility;
    float sigma = 0.1f, bias = 0.f, samplingFactor = 1.f;
    bool receiveShadows = true, flat = false;
    int additionalDepth = 0;
    params.getParam("diffuse_brdf", brdf);
    params.getParam("sigma", sigma);
    params.getParam("receive_shadows", receiveShadows);
    params.getParam("flat_material", flat);
    params.getParam("visibility", visibility);
    params.getParam("additionaldepth", additionalDepth);
    params.getParam("transparentbias_factor", bias);
    params.getParam("samplingfactor", samplingFactor);
    return new shinyDiffuseMat_t(name, c, params, nodes, env);
}

// "light_mat": an emitter of colour × power that reflects nothing.
class lightMat_t : public material_t {
public:
    explicit lightMat_t(const color_t& c) { r_.emit = c; }
    materialResponse_t response(const surfacePoint_t& sp, const vector3d_t&) const override {
        materialResponse_t r = r_;
        r.N = sp.N;
        return r;
    }

private:
    materialResponse_t r_;
};

material_t* lightMatFactory(paraMap_t& params, std::vector<paraMap_t>&, renderEnvironment_t&) {
    color_t color(1.f);
    float power = 1.f;
    std::string name;
    bool doubleSided = false;
    params.getParam("name", name);
    params.getParam("color", color);
    params.getParam("power", power);
    params.getParam("double_sided", doubleSided);
    return new lightMat_t(color * power);
}

}  // namespace

void registerPlugin_shinydiff(renderEnvironment_t& env) {
    env.registerFactory("shinydiffusemat", &shinyDiffuseFactory);
}
void registerPlugin_simplemats(renderEnvironment_t& env) {
    env.registerFactory("light_mat", &lightMatFactory);
}

}  // namespace yafaray
