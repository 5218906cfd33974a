// "shinydiffusemat": a layered material. Light is split in the order mirror, transparency,
// translucency, diffuse; each layer takes its amount of what the layers before it left over,
// so the parts never add up to more than the incoming light.

#include <string>

#include "raytracer/core/Environment.h"
#include "raytracer/plugins.h"

namespace yafaray {
namespace {

class shinyDiffuseMat_t : public material_t {
public:
    shinyDiffuseMat_t(const color_t& color, const color_t& mirrorColor, float diffuse, float specular,
                      float transparency, float translucency, float transmitFilter, float emit) {
        const float specularShare = std::clamp(specular, 0.f, 1.f);
        const float transp = std::clamp(transparency, 0.f, 1.f);
        const float transl = std::clamp(translucency, 0.f, 1.f);
        const float left = (1.f - specularShare);
        r_.mirror = mirrorColor * specularShare;
        // Transmitted light is tinted by the colour in proportion to transmit_filter.
        const float filter = std::clamp(transmitFilter, 0.f, 1.f);
        const color_t tint = color * filter + color_t(1.f - filter);
        r_.transmit = tint * (transp * left);
        r_.translucent = color * (transl * (1.f - transp) * left);
        r_.diffuse = color * (std::max(0.f, diffuse) * (1.f - transl) * (1.f - transp) * left);
        r_.emit = color * emit;
        transparent_ = !r_.transmit.isBlack();
    }

    materialResponse_t response(const surfacePoint_t&) const override { return r_; }
    bool isTransparent() const override { return transparent_; }

private:
    materialResponse_t r_;
    bool transparent_ = false;
};

material_t* shinyDiffuseFactory(paraMap_t& params, std::vector<paraMap_t>&, renderEnvironment_t&) {
    color_t color(1.f), mirrorColor(1.f);
    float diffuse = 1.f, specular = 0.f, transparency = 0.f, translucency = 0.f, transmitFilter = 1.f,
          emit = 0.f;
    float ior = 1.f;
    bool fresnel = false;
    std::string name, shaderName;
    params.getParam("name", name);
    params.getParam("color", color);
    params.getParam("mirror_color", mirrorColor);
    params.getParam("diffuse_reflect", diffuse);
    params.getParam("specular_reflect", specular);
    params.getParam("transparency", transparency);
    params.getParam("translucency", translucency);
    params.getParam("transmit_filter", transmitFilter);
    params.getParam("emit", emit);
    params.getParam("IOR", ior);
    params.getParam("fresnel_effect", fresnel);
    // Shader slots; the nodes that feed them are evaluated once textures exist.
    for (const char* slot : {"diffuse_shader", "mirror_color_shader", "mirror_shader", "transparency_shader",
                             "translucency_shader", "bump_shader"}) {
        params.getParam(slot, shaderName);
    }
    return new shinyDiffuseMat_t(color, mirrorColor, diffuse, specular, transparency, translucency,
                                 transmitFilter, emit);
}

// "light_mat": an emitter of colour × power that reflects nothing.
class lightMat_t : public material_t {
public:
    explicit lightMat_t(const color_t& c) { r_.emit = c; }
    materialResponse_t response(const surfacePoint_t&) const override { return r_; }

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
