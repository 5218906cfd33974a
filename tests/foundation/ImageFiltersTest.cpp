#include "foundation/ImageFilters.h"

#include <gtest/gtest.h>

#include <set>

namespace korvane {
namespace {

Bitmap solid(int w, int h, uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
    Bitmap bitmap(w, h, PixelFormat::RGBA8);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint8_t* p = bitmap.pixel(x, y);
            p[0] = r, p[1] = g, p[2] = b, p[3] = a;
        }
    }
    return bitmap;
}

TEST(BloomFilterTest, GlowsAroundBrightAreasAndNeverDarkens) {
    Bitmap image = solid(41, 41, 20, 20, 20);
    for (int y = 18; y <= 22; ++y) {
        for (int x = 18; x <= 22; ++x) std::fill_n(image.pixel(x, y), 3, uint8_t(250));
    }
    const Bitmap original = image;
    applyBloomFilter(image, 4.0f, 0.8f);
    for (int y = 0; y < 41; ++y) {
        for (int x = 0; x < 41; ++x) {
            for (int c = 0; c < 4; ++c) ASSERT_GE(image.pixel(x, y)[c], original.pixel(x, y)[c]);
        }
    }
    // Near the bright square the glow is stronger than far away.
    EXPECT_GT(image.pixel(25, 20)[0], image.pixel(2, 2)[0] + 10);
    EXPECT_NEAR(image.pixel(25, 20)[0], image.pixel(15, 20)[0], 1) << "the glow is symmetric";
}

TEST(BloomFilterTest, ZeroIntensityOrOtherFormatsChangeNothing) {
    Bitmap image = solid(9, 7, 10, 200, 30, 128);
    const Bitmap original = image;
    applyBloomFilter(image, 8.0f, 0.0f);
    EXPECT_EQ(image, original);
    Bitmap gray(5, 5, PixelFormat::Gray8);
    applyBloomFilter(gray, 8.0f, 1.0f);
    EXPECT_EQ(gray, Bitmap(5, 5, PixelFormat::Gray8));
    Bitmap huge = solid(3, 3, 100, 100, 100);
    applyBloomFilter(huge, 1e30f, 0.5f);  // a hostile radius is capped, not allocated
    EXPECT_GE(huge.pixel(1, 1)[0], 100);
}

TEST(VibranceFilterTest, SaturatesMutedColoursMoreThanVividOnes) {
    Bitmap image(2, 1, PixelFormat::RGBA8);
    const uint8_t muted[4] = {140, 120, 110, 255}, vivid[4] = {240, 30, 20, 255};
    std::copy_n(muted, 4, image.pixel(0, 0));
    std::copy_n(vivid, 4, image.pixel(1, 0));
    applyVibranceFilter(image, 1.0f);
    auto spread = [](const uint8_t* p) {
        return int(std::max({p[0], p[1], p[2]})) - std::min({p[0], p[1], p[2]});
    };
    const int mutedGain = spread(image.pixel(0, 0)) - spread(muted);
    const float mutedRatio = float(spread(image.pixel(0, 0))) / spread(muted);
    const float vividRatio = float(spread(image.pixel(1, 0))) / spread(vivid);
    EXPECT_GT(mutedGain, 0);
    EXPECT_GT(mutedRatio, vividRatio);
    EXPECT_EQ(image.pixel(0, 0)[3], 255);
    // Greys have no colour to push away from and stay grey.
    Bitmap grey = solid(2, 2, 90, 90, 90);
    applyVibranceFilter(grey, 1.0f);
    EXPECT_EQ(grey, solid(2, 2, 90, 90, 90));
}

TEST(VibranceFilterTest, ZeroAmountIsIdentityAndNegativeDesaturates) {
    Bitmap image = solid(3, 3, 200, 100, 50);
    applyVibranceFilter(image, 0.0f);
    EXPECT_EQ(image, solid(3, 3, 200, 100, 50));
    applyVibranceFilter(image, -1.0f);
    const uint8_t* p = image.pixel(0, 0);
    EXPECT_LT(int(p[0]) - p[2], 150);
}

TEST(CrystallizeFilterTest, MakesCellsOfUniformColourFromTheImage) {
    Bitmap image(64, 64, PixelFormat::RGBA8);
    std::set<uint32_t> sourceColours;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            uint8_t* p = image.pixel(x, y);
            p[0] = uint8_t(x * 4), p[1] = uint8_t(y * 4), p[2] = 7, p[3] = 255;
        }
    }
    Bitmap same = image;
    applyCrystallizeFilter(image, 8.0f, 42);
    applyCrystallizeFilter(same, 8.0f, 42);
    EXPECT_EQ(image, same) << "a seed fixes the cells";
    std::set<std::pair<int, int>> colours;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const uint8_t* p = image.pixel(x, y);
            ASSERT_EQ(p[0] % 4, 0);  // every colour is one of the image's own
            colours.insert({p[0], p[1]});
        }
    }
    // About one cell per 8 × 8 square: far fewer colours than pixels, but more than a handful.
    EXPECT_GT(colours.size(), 30u);
    EXPECT_LT(colours.size(), 120u);
    Bitmap untouched = same;
    applyCrystallizeFilter(untouched, 0.5f);
    EXPECT_EQ(untouched, same);
}

}  // namespace
}  // namespace korvane
