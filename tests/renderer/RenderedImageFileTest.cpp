#include "renderer/RenderedImageFile.h"

#include <gtest/gtest.h>

#include "foundation/ImageCodecs.h"

namespace korvane {
namespace {

TEST(RenderedImageFileTest, TheNameEndingChoosesTheFormat) {
    EXPECT_EQ(renderedImageFormatForFileName("view.jpg"), RenderedImageFormat::JPEG);
    EXPECT_EQ(renderedImageFormatForFileName("view.jpeg"), RenderedImageFormat::JPEG);
    EXPECT_EQ(renderedImageFormatForFileName("viewjpeg"), RenderedImageFormat::JPEG)
        << "the ending, not a suffix";
    EXPECT_EQ(renderedImageFormatForFileName("view.tiff"), RenderedImageFormat::TIFF);
    EXPECT_EQ(renderedImageFormatForFileName("view.tif"), RenderedImageFormat::TIFF)
        << "a .tif file must hold TIFF data, not PNG";
    EXPECT_EQ(renderedImageFormatForFileName("view.png"), RenderedImageFormat::PNG);
    EXPECT_EQ(renderedImageFormatForFileName("view"), RenderedImageFormat::PNG);
    EXPECT_EQ(renderedImageFormatForFileName("view.jpg.bak"), RenderedImageFormat::PNG);
}

TEST(RenderedImageFileTest, EachFormatDecodesBackToTheRender) {
    Bitmap image(5, 3, PixelFormat::RGBA8);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            uint8_t* px = image.pixel(x, y);
            px[0] = uint8_t(40 * x), px[1] = uint8_t(80 * y), px[2] = 200, px[3] = uint8_t(255 - 10 * x);
        }
    for (RenderedImageFormat format : {RenderedImageFormat::PNG, RenderedImageFormat::TIFF}) {
        ImageDecodeResult decoded = decodeImage(encodeRenderedImage(image, format));
        ASSERT_TRUE(decoded.bitmap) << decoded.error;
        EXPECT_EQ(*decoded.bitmap, image) << "lossless formats keep every byte, alpha included";
    }
    ImageDecodeResult jpeg = decodeImage(encodeRenderedImage(image, RenderedImageFormat::JPEG));
    ASSERT_TRUE(jpeg.bitmap) << jpeg.error;
    EXPECT_EQ(jpeg.bitmap->width(), 5);
    EXPECT_EQ(jpeg.bitmap->format(), PixelFormat::RGB8) << "JPEG has no alpha";
    EXPECT_TRUE(encodeRenderedImage(Bitmap(), RenderedImageFormat::PNG).empty());
}

TEST(RenderedImageFileTest, JpegIsWrittenAtFullQuality) {
    // Noise is what lower qualities throw away first, so full quality gives the largest file.
    Bitmap noise(64, 64, PixelFormat::RGBA8);
    uint32_t state = 12345;
    for (size_t i = 0; i < noise.sizeInBytes(); ++i) {
        state = state * 1664525u + 1013904223u;
        noise.data()[i] = uint8_t(state >> 24);
    }
    const size_t full = encodeRenderedImage(noise, RenderedImageFormat::JPEG).size();
    EXPECT_EQ(full, encodeJpeg(noise, 100).size());
    EXPECT_GT(full, encodeJpeg(noise, 95).size());
}

}  // namespace
}  // namespace korvane
