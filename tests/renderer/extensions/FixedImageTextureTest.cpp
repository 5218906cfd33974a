#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "ExtensionTestSupport.h"
#include "foundation/Bitmap.h"
#include "foundation/ImageCodecs.h"
#include "foundation/TgaCodec.h"
#include "raytracer/core/Environment.h"
#include "renderer/extensions/FixedImageTexture.h"

namespace {

using enginetest::LogCapture;
using extensiontest::ExtensionScene;
using extensiontest::ScratchDirectory;
using extensiontest::tgaFile;
using yafaray::colorA_t;
using yafaray::fixedTextureImage_t;
using yafaray::fixedTextureImageIF_t;
using yafaray::imageLookup_t;
using yafaray::point3d_t;

// A 4 × 2 RGBA image, top row first: distinct grey levels 10, 20, … 80 in red, their double in
// green, alpha 100 + red.
std::vector<uint8_t> smallImage() {
    std::vector<uint8_t> rgba;
    for (int i = 0; i < 8; ++i) {
        const uint8_t r = static_cast<uint8_t>(10 * (i + 1));
        rgba.insert(rgba.end(), {r, static_cast<uint8_t>(2 * r), 0, static_cast<uint8_t>(100 + r)});
    }
    return rgba;
}

fixedTextureImage_t texture(const imageLookup_t& lookup, std::vector<float> gamma = {}) {
    return fixedTextureImage_t(4, 2, smallImage(), std::move(gamma), lookup);
}

imageLookup_t nearest(imageLookup_t::clip_t clip = imageLookup_t::clip_t::repeat) {
    imageLookup_t l;
    l.interpolation = imageLookup_t::interpolation_t::none;
    l.clip = clip;
    return l;
}

// Texture-space point at the centre of stored pixel (x, y) of a w × h image (row 0 the top one).
point3d_t pixelCentre(int x, int y, int w = 4, int h = 2) {
    return {((x + 0.5f) / w) * 2.f - 1.f, 1.f - ((y + 0.5f) / h) * 2.f, 0.f};
}

float red(const colorA_t& c) {
    return std::round(c.R * 255.f);
}

TEST(FixedImageTexture, ItsTopRowIsAtVOneAndEachPixelIsFoundAtItsCentre) {
    const fixedTextureImage_t tex = texture(nearest());
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) {
            const colorA_t c = tex.getColor(pixelCentre(x, y));
            EXPECT_EQ(red(c), 10.f * (y * 4 + x + 1)) << x << "," << y;
            EXPECT_NEAR(c.G, 2.f * c.R, 1e-6f);
            EXPECT_NEAR(c.A, (100.f + red(c)) / 255.f, 1e-6f);
        }
    }
    // Bilinear interpolation agrees at pixel centres and blends halfway between them.
    const fixedTextureImage_t smooth = texture(imageLookup_t());
    EXPECT_EQ(red(smooth.getColor(pixelCentre(1, 0))), 20.f);
    EXPECT_NEAR(smooth.getColor({-0.5f, 0.5f, 0.f}).R * 255.f, 15.f, 1e-3f);  // between columns 0 and 1
    // The scalar is the mean of red, green and blue.
    EXPECT_NEAR(tex.getFloat(pixelCentre(0, 0)), (10.f + 20.f + 0.f) / 3.f / 255.f, 1e-6f);
    int w = 0, h = 0;
    tex.resolution(w, h);
    EXPECT_EQ(w, 4);
    EXPECT_EQ(h, 2);
    EXPECT_TRUE(tex.discrete());
}

TEST(FixedImageTexture, ExtendClippingRepeatsTheBorderPixelsFarOutside) {
    const fixedTextureImage_t tex = texture(nearest(imageLookup_t::clip_t::extend));
    EXPECT_EQ(red(tex.getColor({-50.f, 50.f, 0.f})), 10.f);  // far top left: first pixel
    EXPECT_EQ(red(tex.getColor({50.f, 50.f, 0.f})), 40.f);   // far top right
    EXPECT_EQ(red(tex.getColor({50.f, -50.f, 0.f})), 80.f);  // far bottom right
    EXPECT_EQ(red(tex.getColor({-3.f, -0.5f, 0.f})), 50.f);  // left of the bottom row
    // Bilinear lookups settle on the border colour too.
    imageLookup_t l = nearest(imageLookup_t::clip_t::extend);
    l.interpolation = imageLookup_t::interpolation_t::bilinear;
    EXPECT_NEAR(red(texture(l).getColor({1e6f, -1e6f, 0.f})), 80.f, 0.5f);
}

TEST(FixedImageTexture, ClipModesGiveTransparentBlackOutside) {
    const colorA_t outsideClip = texture(nearest(imageLookup_t::clip_t::clip)).getColor({1.5f, 0.f, 0.f});
    EXPECT_EQ(outsideClip.R + outsideClip.G + outsideClip.B + outsideClip.A, 0.f);
    EXPECT_EQ(red(texture(nearest(imageLookup_t::clip_t::clip)).getColor(pixelCentre(2, 1))), 70.f);
    // clipcube also bounds the third coordinate (after its mapping to [0, 1]: w in [-3, 1]).
    const fixedTextureImage_t cube = texture(nearest(imageLookup_t::clip_t::clipcube));
    EXPECT_EQ(red(cube.getColor({0.1f, 0.1f, 0.9f})), 30.f);
    EXPECT_EQ(cube.getColor({0.1f, 0.1f, 1.5f}).A, 0.f);
    EXPECT_EQ(cube.getColor({0.1f, 0.1f, -3.5f}).A, 0.f);
    EXPECT_EQ(cube.getColor({1.1f, 0.1f, 0.f}).A, 0.f);
    // Coordinates or crop values that are not numbers look up nothing.
    EXPECT_EQ(cube.getColor({NAN, 0.f, 0.f}).A, 0.f);
    imageLookup_t broken = nearest(imageLookup_t::clip_t::extend);
    broken.cropMinX = NAN;
    EXPECT_EQ(texture(broken).getColor({0.f, 0.f, 0.f}).A, 0.f);
}

TEST(FixedImageTexture, RepeatCountsTileTheImage) {
    imageLookup_t l = nearest();
    l.xrepeat = 3;
    const fixedTextureImage_t tex = texture(l);
    // x ∈ [0, 1] now holds three copies: x = 0.4 is 1.2 → 0.2 in the second copy, column 0.
    EXPECT_EQ(red(tex.getColor({0.4f * 2.f - 1.f, 0.5f, 0.f})), 10.f);
    EXPECT_EQ(red(tex.getColor({0.9f * 2.f - 1.f, 0.5f, 0.f})), 30.f);  // 2.7 → 0.7, column 2
    // A negative coordinate gains one minus its integer part: -0.1 → 0.9, column 3.
    EXPECT_EQ(red(tex.getColor({-0.1f / 3.f * 2.f - 1.f, 0.5f, 0.f})), 40.f);
    // Repeat with one copy wraps indices around the image.
    const fixedTextureImage_t once = texture(nearest());
    EXPECT_EQ(red(once.getColor({1.f + 2.f * 0.125f, 0.5f, 0.f})), 10.f);
}

TEST(FixedImageTexture, CropAndRot90ChooseThePartOfTheImage) {
    imageLookup_t l = nearest(imageLookup_t::clip_t::extend);
    l.cropMinX = 0.5f;  // right half only
    const fixedTextureImage_t cropped = texture(l);
    EXPECT_EQ(red(cropped.getColor({-0.9f, 0.5f, 0.f})), 30.f);
    EXPECT_EQ(red(cropped.getColor({0.9f, 0.5f, 0.f})), 40.f);
    imageLookup_t r = nearest(imageLookup_t::clip_t::extend);
    r.rot90 = true;  // x and y swap: the lookup's x chooses the row
    const fixedTextureImage_t rotated = texture(r);
    EXPECT_EQ(red(rotated.getColor({-0.9f, 0.9f, 0.f})), 10.f);   // x 0.05 → row 0, y 0.05 → column 0
    EXPECT_EQ(red(rotated.getColor({0.9f, 0.9f, 0.f})), 50.f);    // x 0.95 → row 1
    EXPECT_EQ(red(rotated.getColor({-0.9f, -0.9f, 0.f})), 40.f);  // y 0.95 → column 3
}

TEST(FixedImageTexture, CheckerTilesDropEvenOrOddTilesAndShrinkTheirContent) {
    imageLookup_t l = nearest(imageLookup_t::clip_t::checker);
    // Tile (0, 0) is even (dropped by default), tile (1, 0) odd (kept).
    const point3d_t inEven = pixelCentre(1, 0), inOdd{inEven.x + 2.f, inEven.y, 0.f};
    EXPECT_EQ(texture(l).getColor(inEven).A, 0.f);
    EXPECT_EQ(red(texture(l).getColor(inOdd)), 20.f);
    l.evenTiles = true;
    l.oddTiles = false;
    EXPECT_EQ(red(texture(l).getColor(inEven)), 20.f);
    EXPECT_EQ(texture(l).getColor(inOdd).A, 0.f);
    // checker_dist 0.5 halves the content about the tile centre: the tile's rim is a gap and the
    // centre shows the image's middle.
    l.checkerDist = 0.5f;
    EXPECT_EQ(texture(l).getColor({-0.95f, 0.95f, 0.f}).A, 0.f);
    EXPECT_EQ(red(texture(l).getColor({-0.3f, 0.2f, 0.f})), 10.f);  // tile x 0.35 → 0.2: column 0
    EXPECT_EQ(red(texture(l).getColor({0.3f, -0.2f, 0.f})), 80.f);  // tile x 0.65 → 0.8, y → 0.8
}

TEST(FixedImageTexture, AlphaRulesAndTheGammaTable) {
    imageLookup_t l = nearest();
    l.useAlpha = false;
    EXPECT_EQ(texture(l).getColor(pixelCentre(0, 0)).A, 1.f);
    l.calcAlpha = true;  // alpha from the colour's mean
    EXPECT_NEAR(texture(l).getColor(pixelCentre(0, 0)).A, 30.f / 3.f / 255.f, 1e-6f);

    EXPECT_TRUE(yafaray::imageGammaTable(1.005f).empty());
    const std::vector<float> table = yafaray::imageGammaTable(2.2f);
    ASSERT_EQ(table.size(), 256u);
    EXPECT_EQ(table[0], 0.f);
    EXPECT_FLOAT_EQ(table[255], 1.f);
    EXPECT_FLOAT_EQ(table[128], std::pow(128.f / 255.f, 2.2f));
    const colorA_t c = texture(nearest(), table).getColor(pixelCentre(0, 0));
    EXPECT_FLOAT_EQ(c.R, std::pow(10.f / 255.f, 2.2f));
    EXPECT_NEAR(c.A, 110.f / 255.f, 1e-6f);  // alpha is not gamma-corrected
}

TEST(FixedImageTexture, IntegerPixelsCountRowsFromTheBottomAndClamp) {
    const fixedTextureImage_t tex = texture(nearest());
    EXPECT_EQ(red(tex.getPixel(0, 0)), 50.f);  // bottom left
    EXPECT_EQ(red(tex.getPixel(3, 1)), 40.f);  // top right
    EXPECT_EQ(red(tex.getPixel(-5, 9)), 10.f);
    EXPECT_EQ(red(tex.getPixel(99, -9)), 80.f);
    EXPECT_FLOAT_EQ(texture(nearest(), yafaray::imageGammaTable(2.f)).getPixel(0, 0).R,
                    std::pow(50.f / 255.f, 2.f));
}

TEST(FixedImageTexture, FloatImagesLookUpLikeEightBitOnes) {
    const std::vector<uint8_t> bytes = smallImage();
    std::vector<float> floats(bytes.begin(), bytes.end());
    for (float& f : floats) f /= 255.f;
    for (auto interpolation : {imageLookup_t::interpolation_t::none, imageLookup_t::interpolation_t::bilinear,
                               imageLookup_t::interpolation_t::bicubic}) {
        imageLookup_t l;
        l.interpolation = interpolation;
        const fixedTextureImage_t eight = texture(l);
        const fixedTextureImageIF_t wide(4, 2, floats, l);
        for (float u = -1.3f; u < 1.3f; u += 0.17f) {
            const point3d_t p{u, 0.7f * u + 0.1f, 0.f};
            EXPECT_NEAR(eight.getColor(p).R, wide.getColor(p).R, 1e-5f);
            EXPECT_NEAR(eight.getColor(p).A, wide.getColor(p).A, 1e-5f);
        }
    }
}

TEST(FixedImageTexture, BicubicPassesThroughPixelCentresAndStaysInRange) {
    imageLookup_t l;
    l.interpolation = imageLookup_t::interpolation_t::bicubic;
    l.clip = imageLookup_t::clip_t::extend;
    const fixedTextureImage_t tex = texture(l);
    EXPECT_NEAR(red(tex.getColor(pixelCentre(2, 1))), 70.f, 1e-3f);
    for (float u = -1.f; u <= 1.f; u += 0.05f) {
        const colorA_t c = tex.getColor({u, -u, 0.f});
        EXPECT_GE(c.R, 0.f);
        EXPECT_GE(c.A, 0.f);
        EXPECT_LE(c.A, 1.f);
    }
}

// A 5 × 3 grey image and the same pixels expanded to RGBA (v, v, v, 255), as masks used to reach
// the texture through a TGA file.
std::shared_ptr<yafaray::memoryImage_t> greyImage(bool expanded) {
    const std::vector<uint8_t> grey = {0, 17, 255, 90, 3, 128, 64, 200, 1, 77, 250, 33, 0, 160, 99};
    auto image = std::make_shared<yafaray::memoryImage_t>();
    image->width = 5;
    image->height = 3;
    image->channels = expanded ? 4 : 1;
    for (uint8_t v : grey) {
        if (expanded) {
            image->pixels.insert(image->pixels.end(), {v, v, v, 255});
        } else {
            image->pixels.push_back(v);
        }
    }
    return image;
}

TEST(FixedImageTexture, GreyImagesGiveExactlyWhatTheirRgbaExpansionGives) {
    using interpolation_t = imageLookup_t::interpolation_t;
    using clip_t = imageLookup_t::clip_t;
    for (interpolation_t interpolation : {interpolation_t::none, interpolation_t::bilinear, interpolation_t::bicubic}) {
        for (clip_t clip : {clip_t::repeat, clip_t::extend, clip_t::clip}) {
            for (float gamma : {1.f, 2.2f}) {
                imageLookup_t l;
                l.interpolation = interpolation;
                l.clip = clip;
                l.xrepeat = 2;
                l.calcAlpha = gamma > 1.f;
                const fixedTextureImage_t grey(greyImage(false), yafaray::imageGammaTable(gamma), l);
                const fixedTextureImage_t rgba(greyImage(true), yafaray::imageGammaTable(gamma), l);
                ASSERT_EQ(grey.channels(), 1);
                for (float u = -1.3f; u <= 1.3f; u += 0.037f) {
                    const point3d_t p{u, 0.71f * u - 0.2f, 0.f};
                    const colorA_t a = grey.getColor(p), b = rgba.getColor(p);
                    EXPECT_EQ(a.R, b.R);
                    EXPECT_EQ(a.B, b.B);
                    EXPECT_EQ(a.A, b.A);
                    EXPECT_EQ(grey.getFloat(p), rgba.getFloat(p)) << "at u " << u;
                    // A shading point's one look-up (grey images have a path of their own)
                    // gives the same colour, alpha and scalar.
                    for (const fixedTextureImage_t* t : {&grey, &rgba}) {
                        colorA_t colour;
                        float scalar = -1.f;
                        t->sample(p, 0.f, colour, scalar);
                        const colorA_t c = t->getColor(p);
                        EXPECT_EQ(colour.R, c.R);
                        EXPECT_EQ(colour.G, c.G);
                        EXPECT_EQ(colour.B, c.B);
                        EXPECT_EQ(colour.A, c.A) << "at u " << u;
                        EXPECT_EQ(scalar, t->getFloat(p));
                    }
                }
            }
        }
    }
}

// The factory: what it prints for each kind of file and what it creates.
class FixedImageTextureFactory : public ::testing::Test {
protected:
    yafaray::texture_t* create(const std::string& filename, const std::function<void()>& extra = {}) {
        scene.yi.paramsClearAll();
        scene.yi.paramsSetString("type", "fixedimagetexture");
        if (!filename.empty()) scene.yi.paramsSetString("filename", filename.c_str());
        if (extra) extra();
        return scene.yi.createTexture(("tex" + std::to_string(count++)).c_str());
    }
    static korvane::Bitmap bitmap() {
        korvane::Bitmap b(4, 2, korvane::PixelFormat::RGBA8);
        const std::vector<uint8_t> rgba = smallImage();
        std::copy(rgba.begin(), rgba.end(), b.data());
        return b;
    }
    std::string tga() const { return dir.write("image.TGA", korvane::encodeTga(bitmap())); }

    ExtensionScene scene;
    ScratchDirectory dir{"imagetexture"};
    LogCapture log;
    int count = 0;
};

TEST_F(FixedImageTextureFactory, ATgaFileBecomesATextureWithItsParameters) {
    yafaray::texture_t* tex = create(tga(), [&] {
        scene.yi.paramsSetString("clipping", "extend");
        scene.yi.paramsSetString("interpolate", "none");
        scene.yi.paramsSetBool("use_alpha", false);
        scene.yi.paramsSetBool("calc_alpha", false);
        scene.yi.paramsSetFloat("gamma", 2.0);
        scene.yi.paramsSetFloat("exposure_adjust", 0.5);
        scene.yi.paramsSetBool("normalmap", false);
    });
    ASSERT_NE(tex, nullptr);
    EXPECT_EQ(log.count("Loading image file " + dir.path("image.TGA")), 1);
    EXPECT_EQ(log.count("creating gamma LUT"), 1);
    EXPECT_EQ(log.count("OK"), 1);
    EXPECT_EQ(log.count("unused parameter"), 0);
    const colorA_t far = tex->getColor({9.f, -9.f, 0.f});  // extend: the bottom right pixel
    EXPECT_FLOAT_EQ(far.R, std::pow(80.f / 255.f, 2.f));
    EXPECT_EQ(far.A, 1.f);
    // The other name ending of the format is read as TGA too.
    EXPECT_NE(create(dir.write("image.tpic", korvane::encodeTga(bitmap()))), nullptr);
}

TEST_F(FixedImageTextureFactory, ItAgreesWithTheStockImageTextureOnOrientation) {
    yafaray::texture_t* fixed = create(tga(), [&] { scene.yi.paramsSetString("interpolate", "none"); });
    const std::string png = dir.write("image.png", korvane::encodePng(bitmap()));
    scene.yi.paramsClearAll();
    scene.yi.paramsSetString("type", "image");
    scene.yi.paramsSetString("filename", png.c_str());
    scene.yi.paramsSetString("interpolate", "none");
    yafaray::texture_t* stock = scene.yi.createTexture("stock");
    ASSERT_NE(fixed, nullptr);
    ASSERT_NE(stock, nullptr);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x)
            EXPECT_FLOAT_EQ(fixed->getColor(pixelCentre(x, y)).R, stock->getColor(pixelCentre(x, y)).R);
    }
}

TEST_F(FixedImageTextureFactory, OtherFormatsPrintTheirWarningAndCreateNothing) {
    const std::vector<uint8_t> notTga = {1, 2, 3, 4};
    EXPECT_EQ(create(dir.write("photo.JPG", notTga)), nullptr);
    EXPECT_EQ(log.count("Warning, yafray was compiled without jpeg support, cannot load image."), 1);
    EXPECT_EQ(create(dir.write("photo.jpeg", notTga)), nullptr);
    EXPECT_EQ(log.count("without jpeg support"), 2);
    EXPECT_EQ(create(dir.write("leaf.png", notTga)), nullptr);
    EXPECT_EQ(log.count("Warning, yafray was compiled without PNG support, cannot load image."), 1);
    EXPECT_EQ(create(dir.write("sky.exr", notTga)), nullptr);
    EXPECT_EQ(log.count("Warning, yafray was compiled without OpenEXR support, cannot load image."), 1);
    EXPECT_EQ(log.count("unknown file extension, testing format..."), 4);
    EXPECT_EQ(log.count("unknown format!"), 4);
    EXPECT_EQ(log.count("Could not load image"), 4);
    // Radiance pictures are recognised, by extension or by content, but give no texture.
    const std::vector<uint8_t> radiance = {'#', '?', 'R', 'A', 'D', 'I', 'A', 'N', 'C', 'E', '\n'};
    EXPECT_EQ(create(dir.write("sky.hdr", radiance)), nullptr);
    EXPECT_EQ(log.count("unknown file extension"), 4);
    EXPECT_EQ(create(dir.write("sky.dat", radiance)), nullptr);
    EXPECT_EQ(log.count("identified as Radiance format!"), 1);
    EXPECT_EQ(log.count("Could not load image"), 6);
}

TEST_F(FixedImageTextureFactory, MissingOrDamagedFilesGiveCouldNotLoadImage) {
    EXPECT_EQ(create(""), nullptr);
    EXPECT_EQ(log.count("Required argument filename not found for image texture"), 1);
    EXPECT_EQ(create(dir.path("absent.tga")), nullptr);
    EXPECT_GE(log.count("absent.tga"), 2);  // the loading line and the reason
    EXPECT_EQ(create(dir.write("cut.tga", tgaFile(2, 64, 64, 24, 0, std::vector<uint8_t>(100, 9)))), nullptr);
    EXPECT_EQ(log.count("truncated pixel data"), 1);
    EXPECT_EQ(log.count("Could not load image"), 2);
    EXPECT_EQ(scene.env().getTexture("tex1"), nullptr);
}

TEST_F(FixedImageTextureFactory, AMaterialWhoseTextureFailedRendersWithoutIt) {
    EXPECT_EQ(create(dir.write("photo.jpg", {1, 2, 3})), nullptr);
    yafaray::material_t* m = scene.diffuse("plain", 0.5f, 0.5f, 0.5f);
    ASSERT_NE(m, nullptr);
    scene.yi.paramsClearAll();
    scene.yi.paramsSetString("type", "shinydiffusemat");
    scene.yi.paramsSetColor("color", 0.5f, 0.5f, 0.5f, 1.f);
    scene.yi.paramsSetFloat("diffuse_reflect", 1.0);
    scene.yi.paramsStartList();
    scene.yi.paramsSetString("element", "shader_node");
    scene.yi.paramsSetString("type", "texture_mapper");
    scene.yi.paramsSetString("name", "photoNode");
    scene.yi.paramsSetString("texture", "tex0");
    scene.yi.paramsEndList();
    scene.yi.paramsSetString("diffuse_shader", "photoNode");
    yafaray::material_t* textured = scene.yi.createMaterial("textured");
    ASSERT_NE(textured, nullptr);
    yafaray::surfacePoint_t sp;
    sp.N = sp.Ng = {0, 0, 1};
    EXPECT_FLOAT_EQ(textured->response(sp).diffuse.R, m->response(sp).diffuse.R);
}

}  // namespace

namespace {

TEST_F(FixedImageTextureFactory, AnImageRegisteredInMemoryIsTakenInsteadOfAFileAndSharedUntilClearAll) {
    const std::string name = dir.path("mask.tga");  // no such file
    std::shared_ptr<yafaray::memoryImage_t> image = greyImage(false);
    yafaray::texture_t* tex = nullptr;
    {
        yafaray::memoryImageRegistration_t registration(name, image);
        tex = create(name, [&] { scene.yi.paramsSetString("interpolate", "none"); });
    }
    ASSERT_NE(tex, nullptr);
    EXPECT_EQ(log.count("TGA image"), 0);
    EXPECT_EQ(log.count("Could not load image"), 0);
    // Stored row 1, column 2 (value 200) seen through the texture after the registration ended.
    EXPECT_FLOAT_EQ(tex->getColor(pixelCentre(2, 1, 5, 3)).G, 200.f / 255.f);
    EXPECT_EQ(image.use_count(), 2);

    // Without the registration the name is a file name again; a damaged image is never taken.
    EXPECT_EQ(create(name), nullptr);
    EXPECT_EQ(log.count("Could not load image"), 1);
    auto damaged = greyImage(false);
    damaged->pixels.pop_back();
    {
        yafaray::memoryImageRegistration_t registration(name, damaged);
        EXPECT_EQ(create(name), nullptr);
    }
    EXPECT_EQ(log.count("Could not load image"), 2);

    scene.yi.clearAll();
    EXPECT_EQ(image.use_count(), 1);
}

}  // namespace
