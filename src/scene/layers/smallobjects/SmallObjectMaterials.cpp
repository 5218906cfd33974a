#include "scene/layers/smallobjects/SmallObjectMaterials.h"

#include <optional>
#include <vector>

#include "foundation/UniqueString.h"
#include "raytracer/interface.h"
#include "scene/layers/smallobjects/ResourcePaths.h"

namespace korvane {

namespace {

constexpr const char* kPlantsFolder = "plants/";
// Marble of the rocks: size, noise "voronoi_f4", turbulence and sharpness of both textures.
constexpr float kRockMarbleSize = 100.0f;
constexpr const char* kRockMarbleNoise = "voronoi_f4";
constexpr float kRockMarbleTurbulence = 10.0f;
constexpr float kRockMarbleSharpness = 4.0f;
constexpr int kMarbleDefaultDepth = 2;
constexpr float kRockBumpStrength = 0.1f;

// A diffuse material's own parameters with every default but those given.
struct DiffuseParameters {
    Color color = Color::calibratedRGB(1, 1, 1, 1);
    float transparency = 0.0f;
    float translucency = 0.0f;
};

// One texture-mapper node of a material's list.
struct ShaderNode {
    const char* slot;  // "diffuse_shader", "bump_shader", "transparency_shader"
    std::string shaderName;
    std::string textureName;
    float bumpStrength;
};

void setColor(yafaray::yafrayInterface_t& yi, const char* key, const Color& c) {
    yi.paramsSetColor(key, static_cast<float>(c.red), static_cast<float>(c.green), static_cast<float>(c.blue),
                      static_cast<float>(c.alpha));
}

// An image texture read from a file (sent, as image textures are, without clearing the map first).
bool appendImageTexture(yafaray::yafrayInterface_t& yi, const std::string& textureName, const std::string& image) {
    if (image.empty()) return false;
    std::optional<std::string> path = resourcePath(kPlantsFolder + image);
    if (!path) return false;
    yi.paramsSetString("type", "fixedimagetexture");
    yi.paramsSetString("clipping", "extend");
    yi.paramsSetBool("use_alpha", false);
    yi.paramsSetBool("calc_alpha", false);
    yi.paramsSetString("filename", path->c_str());
    yi.createTexture(textureName.c_str());
    return true;
}

void appendMarbleTexture(yafaray::yafrayInterface_t& yi, const std::string& textureName, const Color& color1,
                         const Color& color2) {
    yi.paramsClearAll();
    yi.paramsSetString("type", "marble");
    yi.paramsSetFloat("size", kRockMarbleSize);
    yi.paramsSetFloat("turbulence", kRockMarbleTurbulence);
    yi.paramsSetInt("depth", kMarbleDefaultDepth);
    yi.paramsSetFloat("sharpness", kRockMarbleSharpness);
    yi.paramsSetBool("hard", false);
    yi.paramsSetString("noise_type", kRockMarbleNoise);
    setColor(yi, "color1", color1);
    setColor(yi, "color2", color2);
    yi.createTexture(textureName.c_str());
}

// The material itself, once its textures exist: parameters, the node list, the slots naming the
// nodes, then the material under a name no other material of the render has.
const yafaray::material_t* appendDiffuseMaterial(yafaray::yafrayInterface_t& yi, const DiffuseParameters& p,
                                                 const std::vector<ShaderNode>& nodes) {
    const std::string materialName = uniqueString() + " - " + uniqueString();
    yi.paramsClearAll();
    yi.paramsSetString("type", "shinydiffusemat");
    yi.paramsSetFloat("diffuse_reflect", 1.0);
    yi.paramsSetFloat("specular_reflect", 0.0);
    yi.paramsSetFloat("transparency", p.transparency);
    yi.paramsSetFloat("translucency", p.translucency);
    yi.paramsSetFloat("transmit_filter", 1.0);
    setColor(yi, "color", p.color);
    setColor(yi, "mirror_color", Color::calibratedRGB(1, 1, 1, 1));
    for (const ShaderNode& node : nodes) {
        yi.paramsPushList();
        yi.paramsSetString("element", "shader_node");
        yi.paramsSetString("type", "texture_mapper");
        yi.paramsSetString("name", node.shaderName.c_str());
        yi.paramsSetString("texco", "uv");
        yi.paramsSetString("texture", node.textureName.c_str());
        yi.paramsSetFloat("bump_strength", node.bumpStrength);
    }
    yi.paramsEndList();
    for (const ShaderNode& node : nodes) yi.paramsSetString(node.slot, node.shaderName.c_str());
    return yi.createMaterial(materialName.c_str());
}

}  // namespace

const yafaray::material_t* appendPlantMaterial(yafaray::yafrayInterface_t& yi, const std::string& diffuseImage,
                                               const std::string& transparencyImage, float translucency) {
    const std::string diffuseTexture = uniqueString();
    const std::string transparencyTexture = uniqueString();
    appendImageTexture(yi, diffuseTexture, diffuseImage);
    appendImageTexture(yi, transparencyTexture, transparencyImage);
    DiffuseParameters parameters;
    parameters.translucency = translucency;
    // Node order of a diffuse material: bump, diffuse, transparency, mirror.
    return appendDiffuseMaterial(yi, parameters,
                                 {{"diffuse_shader", uniqueString(), diffuseTexture, 0.0f},
                                  {"transparency_shader", uniqueString(), transparencyTexture, 0.0f}});
}

const yafaray::material_t* appendRockMaterial(yafaray::yafrayInterface_t& yi, const RockMaterialRecipe& recipe) {
    if (!recipe.marble) {
        DiffuseParameters parameters;
        parameters.color = recipe.color1;
        parameters.transparency = recipe.transparency;
        return appendDiffuseMaterial(yi, parameters, {});
    }
    const std::string bumpTexture = uniqueString();
    const std::string diffuseTexture = uniqueString();
    // The bump texture keeps the marble's default colours, white and black.
    appendMarbleTexture(yi, bumpTexture, Color::calibratedRGB(1, 1, 1, 1), Color::calibratedRGB(0, 0, 0, 1));
    appendMarbleTexture(yi, diffuseTexture, recipe.color1, recipe.color2);
    return appendDiffuseMaterial(yi, DiffuseParameters{},
                                 {{"bump_shader", uniqueString(), bumpTexture, kRockBumpStrength},
                                  {"diffuse_shader", uniqueString(), diffuseTexture, 0.0f}});
}

}  // namespace korvane
