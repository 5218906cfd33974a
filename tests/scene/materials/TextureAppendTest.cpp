// Textures: parameter streams, noise names, representative colours and the image texture's
// in-memory hand-over.
#include <gtest/gtest.h>

#include <filesystem>

#include "MaterialTestSupport.h"
#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "raytracer/core/MemoryImages.h"
#include "scene/SceneLayerRegistry.h"
#include "scene/textures/CloudsTexture.h"
#include "scene/textures/DistortedNoiseTexture.h"
#include "scene/textures/ImageTexture.h"
#include "scene/textures/MarbleTexture.h"
#include "scene/textures/MusgraveTexture.h"
#include "scene/textures/WoodTexture.h"

namespace korvane {
namespace {

using Calls = std::vector<std::string>;

TEST(TextureAppendTest, MarbleSendsItsParametersInOrderAndNoShapeWhenAbsent) {
    RecordingRenderer renderer;
    MarbleTexture marble;
    marble.setNoiseType(4);
    marble.setTurbulence(10);
    marble.setSize(100);
    marble.appendToRenderer(renderer);
    Calls expected = {"paramsClearAll",
                      str("type", "marble"),
                      flt("size", 100),
                      flt("turbulence", 10),
                      "paramsSetInt \"depth\" 2",
                      flt("sharpness", 1),
                      "paramsSetBool \"hard\" false",
                      str("noise_type", "voronoi_f4"),
                      "paramsSetColor \"color1\" 1 1 1 1",
                      "paramsSetColor \"color2\" 0 0 0 1",
                      "createTexture \"" + marble.name() + "\""};
    EXPECT_EQ(renderer.calls(), expected);
}

TEST(TextureAppendTest, MarbleWithShapeAndWithoutColours) {
    RecordingRenderer renderer;
    MarbleTexture marble;
    marble.setShape("sin");
    marble.setColor1(std::nullopt);
    marble.setColor2(std::nullopt);
    marble.appendToRenderer(renderer);
    const Calls& calls = renderer.calls();
    EXPECT_NE(renderer.recorder.indexOf(str("shape", "sin")), -1);
    for (const std::string& call : calls) EXPECT_EQ(call.find("paramsSetColor"), std::string::npos) << call;
    EXPECT_EQ(calls.back(), "createTexture \"" + marble.name() + "\"");
}

TEST(TextureAppendTest, CloudsBiasIsSentOnlyForPositiveAndNegative) {
    for (int bias : {0, 1, 2, 3}) {
        RecordingRenderer renderer;
        CloudsTexture clouds;
        clouds.setBias(bias);
        clouds.appendToRenderer(renderer);
        const int positive = renderer.recorder.indexOf(str("bias", "positive"));
        const int negative = renderer.recorder.indexOf(str("bias", "negative"));
        EXPECT_EQ(positive != -1, bias == 1) << bias;
        EXPECT_EQ(negative != -1, bias == 2) << bias;
        // Bias comes between "hard" and the noise.
        if (bias == 1) {
            EXPECT_EQ(positive, renderer.recorder.indexOf("paramsSetBool \"hard\" false") + 1);
            EXPECT_EQ(positive + 1, renderer.recorder.indexOf(str("noise_type", "stdperlin")));
        }
    }
}

TEST(TextureAppendTest, MusgraveWoodAndDistortedStreams) {
    {
        RecordingRenderer renderer;
        MusgraveTexture musgrave;
        musgrave.setType("hybridmf");
        musgrave.appendToRenderer(renderer);
        Calls expected = {"paramsClearAll",
                          str("type", "musgrave"),
                          flt("h", 1),
                          flt("lacunarity", 2),
                          flt("octaves", 2),
                          flt("gain", 1),
                          flt("offset", 1),
                          flt("size", 50),
                          flt("intensity", 1),
                          "paramsSetColor \"color1\" 1 1 1 1",
                          "paramsSetColor \"color2\" 0 0 0 1",
                          str("noise_type", "stdperlin"),
                          str("musgrave_type", "hybridmf"),
                          "createTexture \"" + musgrave.name() + "\""};
        EXPECT_EQ(renderer.calls(), expected);
    }
    {
        RecordingRenderer renderer;
        WoodTexture wood;
        wood.setNoiseType(7);
        wood.appendToRenderer(renderer);
        Calls expected = {"paramsClearAll",
                          str("type", "wood"),
                          flt("size", 50),
                          flt("turbulence", 1),
                          "paramsSetInt \"depth\" 2",
                          flt("sharpness", 1),
                          "paramsSetBool \"hard\" false",
                          str("noise_type", "cellnoise"),
                          "paramsSetColor \"color1\" 1 1 1 1",
                          "paramsSetColor \"color2\" 0 0 0 1",
                          "createTexture \"" + wood.name() + "\""};
        EXPECT_EQ(renderer.calls(), expected);
    }
    {
        RecordingRenderer renderer;
        DistortedNoiseTexture distorted;
        distorted.setNoiseType1(2);
        distorted.setNoiseType2(3);
        distorted.setDistort(2);
        distorted.appendToRenderer(renderer);
        Calls expected = {"paramsClearAll",
                          str("type", "distorted_noise"),
                          flt("size", 50),
                          flt("distort", 2),
                          str("noise_type1", "voronoi_f2"),
                          str("noise_type2", "voronoi_f3"),
                          "paramsSetColor \"color1\" 1 1 1 1",
                          "paramsSetColor \"color2\" 0 0 0 1",
                          "createTexture \"" + distorted.name() + "\""};
        EXPECT_EQ(renderer.calls(), expected);
    }
}

TEST(TextureAppendTest, NoiseNamesCoverZeroToSevenAndNothingElse) {
    EXPECT_EQ(BaseTexture::noiseTypeStringForEnum(0), "stdperlin");
    EXPECT_EQ(BaseTexture::noiseTypeStringForEnum(5), "voronoi_f2f1");
    EXPECT_EQ(BaseTexture::noiseTypeStringForEnum(6), "voronoi_crackle");
    EXPECT_EQ(BaseTexture::noiseTypeStringForEnum(7), "cellnoise");
    EXPECT_FALSE(BaseTexture::noiseTypeStringForEnum(8));
    EXPECT_FALSE(BaseTexture::noiseTypeStringForEnum(-1));
}

TEST(TextureAppendTest, NoiseIndexOutsideTheTableIsSentAsStdPerlin) {
    RecordingRenderer renderer;
    DistortedNoiseTexture distorted;
    distorted.setNoiseType1(42);
    distorted.setNoiseType2(-3);
    distorted.appendToRenderer(renderer);
    EXPECT_NE(renderer.recorder.indexOf(str("noise_type1", "stdperlin")), -1);
    EXPECT_NE(renderer.recorder.indexOf(str("noise_type2", "stdperlin")), -1);
}

TEST(TextureAppendTest, NothingIsSentToARendererThatIsNotTheRayTracer) {
    PlainRenderer renderer;
    MarbleTexture marble;
    marble.appendToRenderer(renderer);  // must not crash: the plain renderer has no interface
    RecordingRenderer recording;
    BaseTexture base;
    base.appendToRenderer(recording);
    EXPECT_TRUE(recording.calls().empty());
}

TEST(TextureAppendTest, RepresentativeColourIsHalfWayBetweenTheColours) {
    CloudsTexture clouds;
    ASSERT_TRUE(clouds.representativeColor());
    EXPECT_EQ(*clouds.representativeColor(), Color::calibratedRGB(0.5, 0.5, 0.5, 1));
    MarbleTexture marble;
    marble.setColor1(Color::calibratedRGB(0.8, 0.6, 0.4));
    marble.setColor2(Color::calibratedRGB(0.4, 0.2, 0.0));
    EXPECT_NEAR(marble.representativeColor()->red, 0.6, 1e-12);
    EXPECT_NEAR(marble.representativeColor()->blue, 0.2, 1e-12);
    EXPECT_FALSE(ImageTexture().representativeColor());
    EXPECT_FALSE(BaseTexture().representativeColor());
}

// Reads the image file at the moment the texture is created, as the ray tracer does.
// Looks up, while the texture is created, what the ray tracer would find under the file name.
class MemoryCheckingInterface final : public RecordingInterface {
public:
    std::string filename;
    bool fileExistedAtCreation = false;
    std::shared_ptr<const yafaray::memoryImage_t> image;
    void paramsSetString(const char* name, const char* s) override {
        if (std::string(name) == "filename") filename = s;
        RecordingInterface::paramsSetString(name, s);
    }
    yafaray::texture_t* createTexture(const char* name) override {
        fileExistedAtCreation = std::filesystem::exists(filename);
        image = yafaray::findMemoryImage(filename);
        return RecordingInterface::createTexture(name);
    }
};

class MemoryCheckingRenderer final : public BaseRenderer {
public:
    bool isYafarayRenderer() const override { return true; }
    yafaray::yafrayInterface_t* yafrayinterface() const override { return &recorder; }
    mutable MemoryCheckingInterface recorder;
};

TEST(ImageTextureTest, BitmapIsRegisteredInMemoryUnderATemporaryTgaNameOnlyDuringCreation) {
    MemoryCheckingRenderer renderer;
    ImageTexture texture;
    auto mask = std::make_shared<Bitmap>(3, 2, PixelFormat::Gray8);
    mask->setGray8(0, 0, 200);  // first row of data: the top of the image
    mask->setGray8(2, 1, 50);
    texture.setBitmapImageRep(mask);
    texture.setFilePath("/nonexistent/picture.tga");  // the bitmap wins
    const size_t registeredBefore = yafaray::memoryImageCount();
    texture.appendToRenderer(renderer);

    Calls expected = {str("type", "fixedimagetexture"),
                      str("clipping", "extend"),
                      "paramsSetBool \"use_alpha\" false",
                      "paramsSetBool \"calc_alpha\" false",
                      str("filename", renderer.recorder.filename),
                      "createTexture \"" + texture.name() + "\""};
    EXPECT_EQ(renderer.recorder.calls, expected);
    EXPECT_EQ(std::filesystem::path(renderer.recorder.filename).extension(), ".tga");
    EXPECT_FALSE(renderer.recorder.fileExistedAtCreation);
    // The mask keeps its one byte per pixel, top row first.
    ASSERT_NE(renderer.recorder.image, nullptr);
    EXPECT_EQ(renderer.recorder.image->width, 3);
    EXPECT_EQ(renderer.recorder.image->height, 2);
    EXPECT_EQ(renderer.recorder.image->channels, 1);
    EXPECT_EQ(renderer.recorder.image->pixels, std::vector<uint8_t>({200, 0, 0, 0, 0, 50}));
    EXPECT_EQ(yafaray::findMemoryImage(renderer.recorder.filename), nullptr);
    EXPECT_EQ(yafaray::memoryImageCount(), registeredBefore);

    // A copy is handed over: painting the mask afterwards leaves the registered pixels alone.
    mask->setGray8(1, 0, 9);
    EXPECT_EQ(renderer.recorder.image->pixels[1], 0);
}

TEST(ImageTextureTest, OtherBitmapFormatsKeepTheirSamplesAndSixteenBitGreyItsHighByte) {
    MemoryCheckingRenderer renderer;
    ImageTexture texture;
    auto heights = std::make_shared<Bitmap>(2, 1, PixelFormat::Gray16);
    heights->setGray16(0, 0, 0xABCD);
    heights->setGray16(1, 0, 0x00FF);
    texture.setBitmapImageRep(heights);
    texture.appendToRenderer(renderer);
    ASSERT_NE(renderer.recorder.image, nullptr);
    EXPECT_EQ(renderer.recorder.image->channels, 1);
    EXPECT_EQ(renderer.recorder.image->pixels, std::vector<uint8_t>({0xAB, 0x00}));

    auto leaf = std::make_shared<Bitmap>(1, 2, PixelFormat::RGBA8);
    leaf->pixel(0, 1)[0] = 10, leaf->pixel(0, 1)[3] = 128;
    texture.setBitmapImageRep(leaf);
    texture.appendToRenderer(renderer);
    ASSERT_NE(renderer.recorder.image, nullptr);
    EXPECT_EQ(renderer.recorder.image->channels, 4);
    EXPECT_EQ(renderer.recorder.image->pixels, std::vector<uint8_t>({0, 0, 0, 0, 10, 0, 0, 128}));

    auto photo = std::make_shared<Bitmap>(1, 1, PixelFormat::RGB8);
    photo->pixel(0, 0)[2] = 7;
    texture.setBitmapImageRep(photo);
    texture.appendToRenderer(renderer);
    ASSERT_NE(renderer.recorder.image, nullptr);
    EXPECT_EQ(renderer.recorder.image->channels, 3);
    EXPECT_EQ(renderer.recorder.image->pixels, std::vector<uint8_t>({0, 0, 7}));
}

TEST(ImageTextureTest, PathIsUsedWithoutBitmapAndNothingIsCreatedWithoutEither) {
    RecordingRenderer renderer;
    ImageTexture texture;
    texture.appendToRenderer(renderer);
    EXPECT_TRUE(renderer.calls().empty());
    texture.setFilePath("/some/leaf.tga");
    texture.appendToRenderer(renderer);
    EXPECT_NE(renderer.recorder.indexOf(str("filename", "/some/leaf.tga")), -1);
    EXPECT_EQ(renderer.calls().front(), str("type", "fixedimagetexture"));  // no clearing first
}

TEST(TextureArchiveTest, RoundTripKeepsEveryFieldAndMissingColoursStayNone) {
    registerSceneClasses();
    MarbleTexture marble;
    marble.setNoiseType(3);
    marble.setShape("saw");
    marble.setColor2(std::nullopt);
    marble.setDepth(5);
    marble.setTurbulence(12);
    marble.setSharpness(3);
    marble.setSize(75);
    marble.setHard(true);
    std::vector<uint8_t> data = KeyedArchiver::archivedData(marble);
    std::string error;
    auto decoded = KeyedUnarchiver::unarchiveRoot<MarbleTexture>(data, "MarbleTexture", &error);
    ASSERT_TRUE(decoded) << error;
    EXPECT_EQ(decoded->name(), marble.name());
    EXPECT_EQ(decoded->noiseType(), 3);
    EXPECT_EQ(decoded->shape(), "saw");
    EXPECT_EQ(decoded->color1(), marble.color1());
    EXPECT_FALSE(decoded->color2());
    EXPECT_EQ(decoded->depth(), 5);
    EXPECT_EQ(decoded->turbulence(), 12);
    EXPECT_EQ(decoded->sharpness(), 3);
    EXPECT_EQ(decoded->size(), 75);
    EXPECT_TRUE(decoded->hard());

    ImageTexture image;
    image.setBitmapImageRep(std::make_shared<Bitmap>(4, 4, PixelFormat::Gray8));
    image.bitmapImageRep()->setGray8(1, 2, 9);
    data = KeyedArchiver::archivedData(image);
    auto decodedImage = KeyedUnarchiver::unarchiveRoot<ImageTexture>(data, "ImageTexture", &error);
    ASSERT_TRUE(decodedImage) << error;
    ASSERT_TRUE(decodedImage->bitmapImageRep());
    EXPECT_EQ(*decodedImage->bitmapImageRep(), *image.bitmapImageRep());
    EXPECT_FALSE(decodedImage->filePath());
}

}  // namespace
}  // namespace korvane
