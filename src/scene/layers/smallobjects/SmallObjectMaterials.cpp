#include "scene/layers/smallobjects/SmallObjectMaterials.h"

#include <cstdio>
#include <map>
#include <mutex>

#include "foundation/ImageCodecs.h"
#include "scene/layers/smallobjects/ResourcePaths.h"
#include "scene/shaders/TextureMapperShader.h"
#include "scene/textures/ImageTexture.h"
#include "scene/textures/MarbleTexture.h"

namespace korvane {

namespace {

constexpr const char* kPlantsFolder = "plants/";
// Marble of the rocks: size, noise index 4 ("voronoi_f4"), turbulence and sharpness of both textures.
constexpr float kRockMarbleSize = 100.0f;
constexpr int kRockMarbleNoise = 4;
constexpr float kRockMarbleTurbulence = 10.0f;
constexpr float kRockMarbleSharpness = 4.0f;
constexpr float kRockBumpStrength = 0.1f;

std::shared_ptr<MarbleTexture> rockMarble() {
    auto marble = std::make_shared<MarbleTexture>();
    marble->setSize(kRockMarbleSize);
    marble->setNoiseType(kRockMarbleNoise);
    marble->setTurbulence(kRockMarbleTurbulence);
    marble->setSharpness(kRockMarbleSharpness);
    return marble;
}

std::shared_ptr<TextureMapperShader> imageShader(const std::string& fileName) {
    auto texture = std::make_shared<ImageTexture>();
    texture->setBitmapImageRep(plantImageNamed(fileName));
    return TextureMapperShader::textureMapperShaderWithTexture(texture);
}

}  // namespace

std::shared_ptr<Bitmap> plantImageNamed(const std::string& fileName) {
    // The abstract grass kind names no images.
    if (fileName.empty()) return nullptr;
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<Bitmap>> images;
    std::lock_guard<std::mutex> lock(mutex);
    if (auto found = images.find(fileName); found != images.end()) return found->second;

    std::shared_ptr<Bitmap> image;
    if (std::optional<std::string> path = resourcePath(kPlantsFolder + fileName)) {
        ImageDecodeResult decoded = readImageFile(*path);
        if (decoded.bitmap) {
            image = std::make_shared<Bitmap>(std::move(*decoded.bitmap));
        } else {
            std::fprintf(stderr, "Plant image %s: %s\n", path->c_str(), decoded.error.c_str());
        }
    } else {
        std::fprintf(stderr, "Plant image %s not found in any resources folder\n", fileName.c_str());
    }
    // A missing image is remembered too, so that it is reported once per process.
    images.emplace(fileName, image);
    return image;
}

std::shared_ptr<DiffuseMaterial> plantMaterial(const std::string& diffuseImage, const std::string& transparencyImage,
                                               float translucency) {
    auto material = std::make_shared<DiffuseMaterial>();
    material->setDiffuseShader(imageShader(diffuseImage));
    material->setUseDiffuseShader(true);
    material->setTransparencyShader(imageShader(transparencyImage));
    material->setTranslucency(translucency);
    return material;
}

std::shared_ptr<DiffuseMaterial> rockMaterial(const RockMaterialRecipe& recipe) {
    auto material = std::make_shared<DiffuseMaterial>();
    if (!recipe.marble) {
        material->setColor(recipe.color1);
        material->setTransparency(recipe.transparency);
        return material;
    }
    auto diffuse = rockMarble();
    diffuse->setColor1(recipe.color1);
    diffuse->setColor2(recipe.color2);
    material->setDiffuseShader(TextureMapperShader::textureMapperShaderWithTexture(diffuse));
    material->setUseDiffuseShader(true);
    // The bump marble keeps the texture's default colours.
    material->setBumpShader(TextureMapperShader::textureMapperShaderWithTexture(rockMarble()));
    material->setBumpStrength(kRockBumpStrength);
    return material;
}

}  // namespace korvane
