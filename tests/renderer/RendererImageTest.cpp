#include "renderer/RendererImage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <tuple>

namespace korvane {
namespace {

// An image of random colours (alpha varied too) with every depth set by `depth(x, y)`.
template <typename DepthFunction>
void fill(RendererImage& image, DepthFunction depth, unsigned seed = 7) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const Point p{double(x), double(y)};
            image.setPixelAtPoint(p, unit(random), unit(random), unit(random), unit(random));
            image.setDepth(depth(x, y), p);
        }
    }
}

const uint8_t* modifiedPixel(RendererImage& image, int x, int y) {
    return image.modifiedBitmapImage().pixel(x, y);
}

TEST(RendererImageTest, SizeIsFlooredAndHostileSizesGiveAnEmptyImage) {
    RendererImage image(Size{10.9, 4.2});
    EXPECT_EQ(image.width(), 10);
    EXPECT_EQ(image.height(), 4);
    EXPECT_EQ(image.size(), (Size{10, 4}));
    EXPECT_EQ(image.image().sizeInBytes(), 10u * 4u * 4u);
    EXPECT_EQ(image.depthMap().size(), 40u);

    for (Size hostile : {Size{-5, 10}, Size{0.5, 10}, Size{1e9, 1e9}, Size{NAN, 3}}) {
        RendererImage empty(hostile);
        EXPECT_EQ(empty.width(), 0);
        EXPECT_TRUE(empty.image().empty());
        empty.setPixelAtPoint({0, 0}, 1, 1, 1, 1);  // nothing to write, and no crash
        empty.addDepthOfFieldWithFarFocusStart(0, 1, 4);
        empty.addDepthOfFieldWithNearFocusEnd(9, 1, 4);
        empty.addBloom(8, 0.4f);
    }
}

TEST(RendererImageTest, SetPixelClampsEachComponentAndTruncates) {
    RendererImage image(Size{2, 2});
    image.setPixelAtPoint({1.9, 0.2}, 1.7f, -0.2f, 0.5f, 0.999f);
    const uint8_t* px = image.image().pixel(1, 0);
    EXPECT_EQ(px[0], 255);
    EXPECT_EQ(px[1], 0);
    EXPECT_EQ(px[2], 127);  // 0.5 × 255 = 127.5, truncated
    EXPECT_EQ(px[3], 254);
    // Points outside the image are ignored rather than written past the end.
    image.setPixelAtPoint({2, 0}, 1, 1, 1, 1);
    image.setPixelAtPoint({-1, 0}, 1, 1, 1, 1);
    image.setDepth(3, {0, 5});
    EXPECT_EQ(image.image().pixel(0, 1)[0], 0);
}

TEST(RendererImageTest, SetModifiedPixelDoesNotClamp) {
    RendererImage image(Size{1, 1});
    image.setModifiedPixelAtPoint({0, 0}, 1.7f, 0.5f, 1.0f, 0.0f);
    const uint8_t* px = modifiedPixel(image, 0, 0);
    EXPECT_EQ(px[0], 433 % 256);  // 1.7 × 255 = 433.5 keeps its low byte instead of becoming 255
    EXPECT_EQ(px[1], 127);
    EXPECT_EQ(px[2], 255);
    EXPECT_TRUE(image.image().pixel(0, 0)[0] == 0) << "the rendered bitmap is untouched";
}

TEST(RendererImageTest, ModifiedImageIsTheRenderUntilARunHasEnded) {
    RendererImage image(Size{3, 2});
    fill(image, [](int, int) { return 1.0f; });
    EXPECT_FALSE(image.hasModifiedImage());
    EXPECT_EQ(&image.modifiedImage(), &image.image());
    image.startModifiedImage();
    EXPECT_EQ(image.modifiedBitmapImage(), image.image());
    image.endModifiedImage();
    EXPECT_TRUE(image.hasModifiedImage());
    EXPECT_EQ(&image.modifiedImage(), &image.modifiedBitmapImage());
}

class RendererImageEffectsTest : public ::testing::Test {
protected:
    RendererImage image{Size{40, 30}};
    Bitmap before() {
        image.startModifiedImage();
        return image.modifiedBitmapImage();
    }
};

TEST_F(RendererImageEffectsTest, FarDepthOfFieldWithEveryDepthBeforeTheStartIsByteIdentical) {
    fill(image, [](int x, int) { return 0.1f + 0.05f * x; });  // all below 2.5
    Bitmap original = before();
    image.addDepthOfFieldWithFarFocusStart(2.5f, 1.0f, 24);
    EXPECT_EQ(image.modifiedBitmapImage(), original);
}

// The far depth of field's scatter as a single row-major pass per level, written out plainly: the
// parallel scatter must give exactly these bytes.
Bitmap farDepthOfFieldReference(RendererImage& image, float start, float bias, int M) {
    const int W = image.width(), H = image.height();
    const std::vector<float>& depth = image.depthMap();
    const Bitmap& source = image.modifiedBitmapImage();
    std::vector<float> acc(size_t(W) * H * 4, 0.0f);
    float dmax = 0;
    for (float d : depth) dmax = std::max(dmax, d);
    for (int L = M; L >= 0; --L) {
        for (int y = 0; y < H; ++y) {
            for (int x = 0; x < W; ++x) {
                const float d = depth[size_t(y) * W + x] < 0 ? dmax : depth[size_t(y) * W + x];
                float w = (d - start) * bias;
                if (w < 0) w = 0;
                if (w > M) w = float(M);
                const int R = int(std::ceil(w));
                if (R != L) continue;
                const uint8_t* px = source.pixel(x, y);
                const float r = float(px[0] / 255.0), g = float(px[1] / 255.0), b = float(px[2] / 255.0);
                if (R <= 0) {
                    float* a = &acc[(size_t(y) * W + x) * 4];
                    a[0] = r, a[1] = g, a[2] = b, a[3] = 1;
                    continue;
                }
                const float P = float(int64_t(R) * R * R * R);
                for (int k = -R; k < R; ++k) {
                    for (int j = x - R; j < x + R; ++j) {
                        if (j < 0 || j >= W || y + k < 0 || y + k >= H) continue;
                        const float delta = std::sqrt(float((j - x) * (j - x) + k * k));
                        if (!(w > delta)) continue;
                        const float omega = (w - delta) / P;
                        float* a = &acc[(size_t(y + k) * W + j) * 4];
                        a[0] += r * omega, a[1] += g * omega, a[2] += b * omega, a[3] += omega;
                    }
                }
            }
        }
    }
    Bitmap result = source;
    for (size_t i = 0; i < size_t(W) * H; ++i)
        for (int c = 0; c < 3; ++c)
            result.data()[i * 4 + c] = uint8_t(double(acc[i * 4 + c] / acc[i * 4 + 3]) * 255.0);
    return result;
}

TEST_F(RendererImageEffectsTest, FarDepthOfFieldEqualsTheRowMajorScatterBitForBit) {
    // Sizes around the scatter's bands of rows, random depths with sky, several strengths.
    for (const auto& [width, height, strength] :
         {std::tuple{45, 37, 7}, {31, 16, 3}, {20, 70, 20}, {9, 5, 12}}) {
        RendererImage img(Size{double(width), double(height)});
        std::mt19937 random(unsigned(width * height));
        std::uniform_real_distribution<float> depth(-2.0f, 30.0f);
        fill(
            img, [&](int, int) { return depth(random); }, unsigned(strength));
        img.startModifiedImage();
        const Bitmap expected = farDepthOfFieldReference(img, 2.5f, 0.7f, strength);
        img.addDepthOfFieldWithFarFocusStart(2.5f, 0.7f, strength);
        EXPECT_EQ(img.modifiedBitmapImage(), expected) << width << "×" << height << ", strength " << strength;
        EXPECT_NE(img.modifiedBitmapImage(), img.image());
    }
}

TEST_F(RendererImageEffectsTest, InFocusByteRoundTripHoldsForEveryByteValue) {
    // Every byte value converted to byte / 255 and back with truncation must return itself.
    RendererImage ramp(Size{256, 1});
    for (int v = 0; v < 256; ++v) ramp.setPixelAtPoint({double(v), 0}, v / 255.0f, v / 255.0f, v / 255.0f, 1);
    ramp.startModifiedImage();
    Bitmap original = ramp.modifiedBitmapImage();
    ramp.addDepthOfFieldWithFarFocusStart(5.0f, 1.0f, 8);
    EXPECT_EQ(ramp.modifiedBitmapImage(), original);
}

TEST_F(RendererImageEffectsTest, DepthOfFieldWithStrengthZeroLeavesTheImageAlone) {
    fill(image, [](int x, int) { return x % 2 ? 40.0f : -1.0f; });
    Bitmap original = before();
    image.addDepthOfFieldWithFarFocusStart(0.0f, 10.0f, 0);
    image.addDepthOfFieldWithNearFocusEnd(100.0f, 10.0f, 0);
    EXPECT_EQ(image.modifiedBitmapImage(), original);
}

TEST_F(RendererImageEffectsTest, FarDepthOfFieldBlursOnlyColourAndKeepsAlpha) {
    fill(image, [](int, int) { return 30.0f; });
    Bitmap original = before();
    image.addDepthOfFieldWithFarFocusStart(2.5f, 1.0f, 4);
    int changed = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            EXPECT_EQ(modifiedPixel(image, x, y)[3], original.pixel(x, y)[3]);
            changed += std::memcmp(modifiedPixel(image, x, y), original.pixel(x, y), 3) != 0;
        }
    }
    EXPECT_GT(changed, image.width() * image.height() / 2);
    EXPECT_EQ(image.image(), original) << "effects never touch the rendered bitmap";
}

TEST_F(RendererImageEffectsTest, SkyPixelsBlurAsStronglyAsTheFarthestSurface) {
    // Two striped images: one all sky but for a single surface at depth 9 in a corner, the other
    // all at depth 9. Sky counts as the farthest surface, so both blur identically.
    RendererImage sky(Size{40, 20}), far(Size{40, 20});
    for (RendererImage* img : {&sky, &far}) {
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < 40; ++x) {
                const float v = (x % 2) ? 1.0f : 0.0f;
                img->setPixelAtPoint({double(x), double(y)}, v, v, v, 1);
                img->setDepth(img == &sky ? -1.0f : 9.0f, {double(x), double(y)});
            }
        }
    }
    sky.setDepth(9.0f, {39, 19});
    sky.startModifiedImage();
    far.startModifiedImage();
    sky.addDepthOfFieldWithFarFocusStart(1.0f, 1.0f, 3);
    far.addDepthOfFieldWithFarFocusStart(1.0f, 1.0f, 3);
    EXPECT_EQ(sky.modifiedBitmapImage(), far.modifiedBitmapImage());
    EXPECT_NE(sky.modifiedBitmapImage(), sky.image()) << "the stripes were blurred";
}

TEST_F(RendererImageEffectsTest, NearDepthOfFieldNeverTakesColourFromPixelsFarBehind) {
    // A blurred square at depth 1 in front of a background at depth 1.6, both well before the
    // focus end: the background is more than half a unit behind the square, so none of its colour
    // reaches the square, while the square does spill onto the background.
    RendererImage img(Size{30, 30});
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 30; ++x) {
            const bool square = x >= 10 && x < 20 && y >= 10 && y < 20;
            // Channels of 0 and 1 survive the weighted average exactly, so any bleed shows.
            img.setPixelAtPoint({double(x), double(y)}, square ? 1.0f : 0.0f, square ? 0.0f : 1.0f,
                                square ? 1.0f : 0.0f, 1);
            img.setDepth(square ? 1.0f : 1.6f, {double(x), double(y)});
        }
    }
    img.startModifiedImage();
    const Bitmap original = img.modifiedBitmapImage();
    img.addDepthOfFieldWithNearFocusEnd(10.0f, 1.5f, 6);
    for (int y = 10; y < 20; ++y) {
        for (int x = 10; x < 20; ++x) {
            EXPECT_EQ(std::memcmp(img.modifiedBitmapImage().pixel(x, y), original.pixel(x, y), 4), 0)
                << x << "," << y;
        }
    }
    // Background pixels next to the square do take its (nearer) colour.
    EXPECT_GT(img.modifiedBitmapImage().pixel(9, 15)[0], 0);
}

TEST_F(RendererImageEffectsTest, NearDepthOfFieldTreatsSkyAsInfinitelyFar) {
    // Sky never blurs onto anything (its own radius is the minimum of 1: only itself) and never
    // blurs itself beyond its own pixel, so an all-sky image is unchanged.
    fill(image, [](int, int) { return -1.0f; });
    Bitmap original = before();
    image.addDepthOfFieldWithNearFocusEnd(3.5f, 1.5f, 12);
    EXPECT_EQ(image.modifiedBitmapImage(), original);
}

TEST_F(RendererImageEffectsTest, DepthTintGrowsWithDepthAndSkyIsFullyTinted) {
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            image.setPixelAtPoint({double(x), double(y)}, 0, 0, 0, 0.5f);
            image.setDepth(x == 0 ? 1.0f : (x == 1 ? 8.0f : -1.0f), {double(x), double(y)});
        }
    }
    image.startModifiedImage();
    image.addDepthTint(Color::calibratedRGB(1.0, 0.5, 0.0), 6.0f, 0.3f, 0.5f);
    EXPECT_EQ(modifiedPixel(image, 0, 0)[0], 0) << "before the start: untouched";
    // Depth 8: f = min(1, 2 × 0.3) × 0.5 = 0.3 → red trunc(0.3 × 255) = 76.
    EXPECT_EQ(modifiedPixel(image, 1, 0)[0], 76);
    // Sky: f = opacity → red trunc(0.5 × 255) = 127, green trunc(0.25 × 255) = 63.
    EXPECT_EQ(modifiedPixel(image, 2, 0)[0], 127);
    EXPECT_EQ(modifiedPixel(image, 2, 0)[1], 63);
    EXPECT_EQ(modifiedPixel(image, 2, 0)[3], 127) << "alpha is not tinted";
}

}  // namespace
}  // namespace korvane
