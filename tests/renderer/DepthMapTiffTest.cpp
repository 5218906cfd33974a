#include "renderer/DepthMapTiff.h"

#include "foundation/ImageCodecs.h"

#include <gtest/gtest.h>
#include <tiffio.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>

namespace korvane {
namespace {

TEST(DepthMapTiffTest, WritesEveryDepthAsAFloatRowByRow) {
    const int width = 7, height = 5;
    std::vector<float> depths(width * height);
    for (int i = 0; i < width * height; ++i) depths[i] = i % 6 == 0 ? -1.0f : 0.125f * i + 1e-3f;
    const std::vector<uint8_t> bytes = encodeDepthMapTiff(width, height, depths);
    ASSERT_FALSE(bytes.empty());

    const auto path =
        std::filesystem::temp_directory_path() / ("korvane-depth-" + std::to_string(::getpid()) + ".tiff");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    TIFF* tif = TIFFOpen(path.string().c_str(), "r");
    ASSERT_NE(tif, nullptr);
    uint32_t w = 0, h = 0;
    uint16_t bits = 0, samples = 0, format = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
    EXPECT_EQ(w, uint32_t(width));
    EXPECT_EQ(h, uint32_t(height));
    EXPECT_EQ(bits, 32);
    EXPECT_EQ(samples, 1);
    EXPECT_EQ(format, SAMPLEFORMAT_IEEEFP);
    std::vector<float> row(width);
    for (int y = 0; y < height; ++y) {
        ASSERT_EQ(TIFFReadScanline(tif, row.data(), uint32_t(y), 0), 1);
        for (int x = 0; x < width; ++x) EXPECT_EQ(row[x], depths[y * width + x]) << x << "," << y;
    }
    TIFFClose(tif);
    std::filesystem::remove(path);
}

TEST(DepthMapTiffTest, ADepthMapOpensAsAHeightmapScaledFromItsNearestToItsFarthestValue) {
    const int width = 6, height = 4;
    std::vector<float> depths(width * height);
    for (int i = 0; i < width * height; ++i) depths[i] = i % 5 == 0 ? -1.0f : 2.0f + 0.25f * i;
    const ImageDecodeResult decoded = decodeImageAsGray16(encodeDepthMapTiff(width, height, depths));
    ASSERT_TRUE(decoded.bitmap) << decoded.error;
    ASSERT_EQ(decoded.bitmap->width(), width);
    ASSERT_EQ(decoded.bitmap->height(), height);
    // No-hit (−1) is the lowest value, the farthest surface the highest; rows keep their order.
    const float lowest = -1.0f, highest = 2.0f + 0.25f * (width * height - 1);
    for (int i = 0; i < width * height; ++i) {
        const double expected = std::lround((double(depths[i]) - lowest) / (highest - lowest) * 65535.0);
        EXPECT_EQ(decoded.bitmap->gray16(i % width, i / width), expected) << i;
    }
}

TEST(DepthMapTiffTest, AMismatchedOrEmptyMapGivesNoBytes) {
    std::vector<float> depths(6, 1.0f);
    EXPECT_TRUE(encodeDepthMapTiff(4, 2, depths).empty());
    EXPECT_TRUE(encodeDepthMapTiff(0, 0, {}).empty());
    EXPECT_FALSE(encodeDepthMapTiff(3, 2, depths).empty());
}

}  // namespace
}  // namespace korvane
