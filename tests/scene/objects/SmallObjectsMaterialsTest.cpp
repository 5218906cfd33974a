// The materials of plants and rocks: the plant images shipped with the application, how they reach
// the ray tracer (as TGA files the image texture extension reads), and the rock marbles.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "SmallObjectsTestSupport.h"
#include "foundation/ImageCodecs.h"
#include "foundation/TgaCodec.h"
#include "scene/layers/smallobjects/GrassPlant.h"
#include "scene/layers/smallobjects/LeafPlant.h"
#include "scene/layers/smallobjects/PlantsLayer.h"
#include "scene/layers/smallobjects/ResourcePaths.h"
#include "scene/layers/smallobjects/SmallObjectMaterials.h"
#include "scene/layers/smallobjects/SmallRock.h"
#include "scene/materials/DiffuseMaterial.h"
#include "scene/textures/MarbleTexture.h"
#include "scene/shaders/TextureMapperShader.h"

namespace korvane {
namespace {

using testing::smallobjects::RecordingRenderer;

// The image names of every plant kind: its diffuse picture and its transparency map.
std::vector<std::pair<std::string, std::string>> plantImageNames() {
    std::vector<std::pair<std::string, std::string>> names;
    for (const SmallObjectClass* kind : PlantsLayer().allSmallObjectClasses()) {
        std::unique_ptr<BaseSmallObject> object = kind->create();
        if (auto* grass = dynamic_cast<GrassPlant*>(object.get())) {
            names.emplace_back(grass->diffuseTextureFileName(), grass->transparencyTextureFileName());
        }
    }
    names.emplace_back("Leaf1.png", "Leaf1Alpha.png");
    return names;
}

TEST(PlantImages, EveryKindHasAPictureAndATransparencyMapOfTheSameSize) {
    const auto names = plantImageNames();
    ASSERT_EQ(names.size(), 11u);
    for (const auto& [diffuse, transparency] : names) {
        SCOPED_TRACE(diffuse);
        std::optional<std::string> colorPath = resourcePath("plants/" + diffuse);
        std::optional<std::string> mapPath = resourcePath("plants/" + transparency);
        ASSERT_TRUE(colorPath && mapPath) << "not in the resources folder";
        ImageDecodeResult color = readImageFile(*colorPath);
        ImageDecodeResult map = readImageFile(*mapPath);
        ASSERT_TRUE(color.bitmap) << color.error;
        ASSERT_TRUE(map.bitmap) << map.error;
        EXPECT_EQ(color.bitmap->format(), PixelFormat::RGB8);
        ASSERT_EQ(map.bitmap->format(), PixelFormat::Gray8);
        ASSERT_EQ(color.bitmap->width(), map.bitmap->width());
        ASSERT_EQ(color.bitmap->height(), map.bitmap->height());

        // The plant covers part of the picture; where it is clear the colour is white, since the ray
        // tracer tints light passing the clear parts by the diffuse colour.
        int opaque = 0, clear = 0, clearButTinted = 0;
        for (int y = 0; y < map.bitmap->height(); ++y) {
            for (int x = 0; x < map.bitmap->width(); ++x) {
                const uint8_t t = map.bitmap->gray8(x, y);
                if (t == 0) ++opaque;
                if (t == 255) {
                    ++clear;
                    const uint8_t* p = color.bitmap->pixel(x, y);
                    if (p[0] != 255 || p[1] != 255 || p[2] != 255) ++clearButTinted;
                }
            }
        }
        const int pixels = map.bitmap->width() * map.bitmap->height();
        EXPECT_GT(opaque, pixels / 20);
        EXPECT_GT(clear, pixels / 5);
        EXPECT_EQ(clearButTinted, 0);
    }
}

TEST(PlantImages, DecodedOncePerProcessAndMissingNamesGiveNone) {
    std::shared_ptr<Bitmap> first = plantImageNamed("GreenGrass.png");
    ASSERT_TRUE(first);
    EXPECT_EQ(plantImageNamed("GreenGrass.png").get(), first.get());
    EXPECT_EQ(plantImageNamed("NoSuchPlant.png"), nullptr);
}

TEST(PlantImages, TheEnvironmentNamesAFolderSearchedFirst) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("korvane-resources-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder / "plants");
    std::ofstream(folder / "plants" / "GreenGrass.png") << "not really a picture";
    ::setenv("KORVANE_RESOURCES_DIR", folder.c_str(), 1);
    const std::optional<std::string> overridden = resourcePath("plants/GreenGrass.png");
    const std::optional<std::string> fallback = resourcePath("plants/Wheat.png");
    const std::optional<std::string> missing = resourcePath("plants/NoSuchPlant.png");
    ::unsetenv("KORVANE_RESOURCES_DIR");
    std::filesystem::remove_all(folder);

    EXPECT_EQ(overridden, (folder / "plants" / "GreenGrass.png").string());
    // What the folder lacks still comes from the shipped resources.
    ASSERT_TRUE(fallback);
    EXPECT_TRUE(fallback->ends_with("resources/plants/Wheat.png")) << *fallback;
    EXPECT_FALSE(missing);
}

TEST(PlantMaterials, ImagesReachTheRayTracerInMemoryUnderTemporaryTgaNames) {
    RecordingRenderer renderer;
    // Parameters left behind by the layer appended before must not reach the image textures.
    renderer.yi.paramsSetFloat("aspect_ratio", 1.5);
    GreenGrassPlant grass;
    grass.prepareForRenderer(renderer);

    const auto& calls = renderer.yi.calls;
    const int clearing = renderer.yi.indexOf("paramsClearAll");
    const int firstTexture = renderer.yi.indexOf("paramsSetString \"type\" \"fixedimagetexture\"");
    ASSERT_GE(clearing, 0);
    EXPECT_LT(clearing, firstTexture);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "paramsSetString \"type\" \"fixedimagetexture\""), 2);

    ASSERT_EQ(renderer.yi.textureFiles.size(), 2u);
    const std::shared_ptr<Bitmap> images[] = {plantImageNamed("GreenGrass.png"), plantImageNamed("GreenGrassAlpha.png")};
    for (size_t i = 0; i < 2; ++i) {
        const auto& file = renderer.yi.textureFiles[i];
        SCOPED_TRACE(file.path);
        EXPECT_TRUE(file.path.ends_with(".tga"));
        // The pictures are handed over in memory: no file is written.
        EXPECT_FALSE(file.contents);
        ASSERT_TRUE(file.image) << "no image was registered when the texture was created";
        EXPECT_EQ(file.image->width, images[i]->width());
        EXPECT_EQ(file.image->height, images[i]->height());
        // Registered only while the texture is created.
        EXPECT_FALSE(yafaray::findMemoryImage(file.path));
    }
    // The material uses the two textures as its diffuse and transparency shaders.
    EXPECT_GE(renderer.yi.indexOf("paramsSetString \"type\" \"shinydiffusemat\""), 0);
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                            [](const std::string& c) {
                                return c.starts_with("paramsSetString \"diffuse_shader\"") ||
                                       c.starts_with("paramsSetString \"transparency_shader\"");
                            }),
              2);
    EXPECT_GE(renderer.yi.indexOf("paramsSetFloat \"translucency\" 0"), 0);
    EXPECT_EQ(renderer.yi.indexOf("paramsSetFloat \"aspect_ratio\" 1.5"), 0);
}

TEST(PlantMaterials, LeavesAreHalfTranslucentAndWheatSharesItsImages) {
    RecordingRenderer renderer;
    LeafPlant leaf;
    leaf.prepareForRenderer(renderer);
    EXPECT_GE(renderer.yi.indexOf("paramsSetFloat \"translucency\" 0.5"), 0);
    EXPECT_EQ(renderer.yi.textureFiles.size(), 2u);

    SmallWheatPlant small;
    LargeWheatPlant large;
    EXPECT_EQ(small.diffuseTextureFileName(), large.diffuseTextureFileName());
    EXPECT_EQ(small.transparencyTextureFileName(), "WheatAlpha.png");
}

TEST(RockMaterials, MarblesOfTheTableAndTheClearWhiteDiamond) {
    const auto marbleOf = [](const std::shared_ptr<BaseShader>& shader) {
        auto mapper = std::dynamic_pointer_cast<TextureMapperShader>(shader);
        return mapper ? std::dynamic_pointer_cast<MarbleTexture>(mapper->texture()) : nullptr;
    };
    std::shared_ptr<DiffuseMaterial> darkRed = DarkRedSmallRock().material();
    ASSERT_TRUE(darkRed);
    EXPECT_TRUE(darkRed->useDiffuseShader());
    auto diffuse = marbleOf(darkRed->diffuseShader());
    auto bump = marbleOf(darkRed->bumpShader());
    ASSERT_TRUE(diffuse && bump);
    EXPECT_EQ(*diffuse->color1(), Color::calibratedRGB(0.5, 0.2, 0.1, 1));
    EXPECT_EQ(*diffuse->color2(), Color::calibratedRGB(0.2, 0.1, 0, 1));
    for (const auto& marble : {diffuse, bump}) {
        EXPECT_EQ(marble->size(), 100.0f);
        EXPECT_EQ(marble->noiseType(), 4);
        EXPECT_EQ(marble->turbulence(), 10.0f);
        EXPECT_EQ(marble->sharpness(), 4.0f);
    }
    // The bump marble keeps the default colours.
    EXPECT_EQ(*bump->color1(), *MarbleTexture().color1());
    EXPECT_EQ(*bump->color2(), *MarbleTexture().color2());
    EXPECT_FLOAT_EQ(darkRed->bumpStrength(), 0.1f);
    // Each call gives a new material.
    EXPECT_NE(DarkRedSmallRock().material(), DarkRedSmallRock().material());

    std::shared_ptr<DiffuseMaterial> diamond = DiamondSmallRock().material();
    ASSERT_TRUE(diamond);
    EXPECT_FALSE(diamond->diffuseShader());
    EXPECT_FALSE(diamond->bumpShader());
    EXPECT_FLOAT_EQ(diamond->transparency(), 0.8f);
    EXPECT_EQ(*diamond->color(), Color::calibratedRGB(1, 1, 1, 1));

    EXPECT_EQ(SmallRock().material(), nullptr);
    // A rock kind's icon is its material's swatch.
    EXPECT_EQ(GraySmallRock().iconImage(), GraySmallRock().material()->icon());
    EXPECT_TRUE(SmallRock().iconImage().empty());
}

}  // namespace
}  // namespace korvane
