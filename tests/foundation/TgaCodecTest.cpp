#include <gtest/gtest.h>

#include "foundation/ImageCodecs.h"
#include "foundation/TgaCodec.h"

namespace korvane {
namespace {

// A bitmap with distinct values in every pixel and channel, runs of equal pixels (for run-length
// packets) and, for RGBA8, varied alpha.
Bitmap patterned(int width, int height, PixelFormat format) {
    Bitmap b(width, height, format);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = b.pixel(x, y);
            const bool inRun = x >= width / 2;  // the right half repeats one value per row
            for (int c = 0; c < bytesPerPixel(format); ++c) {
                p[c] = static_cast<uint8_t>(inRun ? 7 * y + 31 * c : 13 * x + 7 * y + 31 * c);
            }
        }
    }
    return b;
}

// Every encoding a writer can choose (raw or run-length, either row origin) decodes to exactly the
// pixels that the PNG of the same bitmap decodes to.
TEST(TgaCodec, EveryKindDecodesToThePixelsOfThePngWrittenFromTheSameBitmap) {
    for (PixelFormat format : {PixelFormat::Gray8, PixelFormat::RGB8, PixelFormat::RGBA8}) {
        const Bitmap source = patterned(300, 7, format);  // rows longer than one 128-pixel packet
        const ImageDecodeResult png = decodeImage(encodePng(source));
        ASSERT_TRUE(png.bitmap) << png.error;
        for (bool runLength : {false, true}) {
            for (bool topDown : {false, true}) {
                const std::vector<uint8_t> tga = encodeTga(source, {runLength, topDown});
                const ImageDecodeResult decoded = decodeTga(tga);
                ASSERT_TRUE(decoded.bitmap) << decoded.error;
                EXPECT_EQ(*decoded.bitmap, *png.bitmap)
                    << "format " << int(format) << " rle " << runLength << " topDown " << topDown;
            }
        }
    }
}

TEST(TgaCodec, RunLengthEncodingShrinksUniformImages) {
    Bitmap flat(256, 256, PixelFormat::RGB8);
    EXPECT_LT(encodeTga(flat, {true, false}).size() * 20, encodeTga(flat).size());
}

// Files written by other programs: 16-bit 5-5-5 colour with its alpha bit, right-to-left columns,
// run-length packets that run on from one row into the next, and a skipped image id and colour map.
TEST(TgaCodec, ReadsHandMadeFilesOfOtherWriters) {
    {
        // 2×1, 16-bit colour with one alpha bit, right-to-left: the first stored pixel is the right one.
        const std::vector<uint8_t> file = {
            0,    0,   2, 0, 0, 0, 0,  0,    0,    0,
            0,    0,   2, 0, 1, 0, 16, 0x11, 0x00, 0xfc,  // stored first: pure red, alpha bit set
            0x1f, 0x00};                                  // then pure blue, alpha bit clear
        const ImageDecodeResult r = decodeTga(file);
        ASSERT_TRUE(r.bitmap) << r.error;
        ASSERT_EQ(r.bitmap->format(), PixelFormat::RGBA8);
        const uint8_t* left = r.bitmap->pixel(0, 0);
        const uint8_t* right = r.bitmap->pixel(1, 0);
        EXPECT_EQ((std::vector<int>{left[0], left[1], left[2], left[3]}), (std::vector<int>{0, 0, 255, 0}));
        EXPECT_EQ((std::vector<int>{right[0], right[1], right[2], right[3]}),
                  (std::vector<int>{255, 0, 0, 255}));
    }
    {
        // 3×2 grey, run-length, bottom-up, with a 2-byte image id and a 2-entry 24-bit colour map to skip;
        // one run packet of 4 covers the whole bottom row and the first pixel of the top row.
        const std::vector<uint8_t> file = {
            2,    1,  11, 0, 0,   2,   0, 24, 0, 0, 0, 0, 3,    0,
            2,    0,  8,  0, 'i', 'd', 1, 2,  3, 4, 5, 6, 0x83, 50,  // run of 4 × 50
            0x01, 60, 70};                                           // raw packet of 2
        const ImageDecodeResult r = decodeTga(file);
        ASSERT_TRUE(r.bitmap) << r.error;
        ASSERT_EQ(r.bitmap->format(), PixelFormat::Gray8);
        EXPECT_EQ(r.bitmap->gray8(0, 1), 50);  // bottom row
        EXPECT_EQ(r.bitmap->gray8(2, 1), 50);
        EXPECT_EQ(r.bitmap->gray8(0, 0), 50);  // top row, first pixel from the same run
        EXPECT_EQ(r.bitmap->gray8(1, 0), 60);
        EXPECT_EQ(r.bitmap->gray8(2, 0), 70);
    }
}

// Cutting a valid file anywhere, or flipping header bytes, gives an error and never reads outside
// the buffer (the sanitizer build checks the latter).
TEST(TgaCodec, DamagedFilesFailCleanly) {
    for (bool runLength : {false, true}) {
        const std::vector<uint8_t> whole =
            encodeTga(patterned(17, 9, PixelFormat::RGBA8), {runLength, false});
        for (size_t length = 0; length < whole.size(); ++length) {
            const std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<long>(length));
            const ImageDecodeResult r = decodeTga(cut);
            EXPECT_FALSE(r.bitmap) << "length " << length;
            EXPECT_FALSE(r.error.empty());
        }
    }
    std::vector<uint8_t> file = encodeTga(patterned(4, 4, PixelFormat::RGB8));
    for (size_t at = 0; at < 18; ++at) {
        for (int value : {0, 1, 9, 0x7f, 0xff}) {
            std::vector<uint8_t> damaged = file;
            damaged[at] = static_cast<uint8_t>(value);
            (void)decodeTga(damaged);  // any outcome but a crash or an over-read
        }
    }
    std::vector<uint8_t> mapped = file;
    mapped[2] = 1;
    EXPECT_NE(decodeTga(mapped).error.find("colour-mapped"), std::string::npos);
    std::vector<uint8_t> huge = file;
    huge[12] = huge[13] = huge[14] = huge[15] = 0xff;  // 65535 × 65535 claimed, 48 bytes present
    EXPECT_FALSE(decodeTga(huge).bitmap);
    // Run-length data is checked for what its bytes can describe before the image is allocated.
    std::vector<uint8_t> packed = encodeTga(patterned(4, 4, PixelFormat::RGB8), {true, false});
    packed[12] = 0x00, packed[13] = 0x10;
    packed[14] = 0x00, packed[15] = 0x10;  // 4096 × 4096 (within the decode budget) from a few dozen bytes
    EXPECT_NE(decodeTga(packed).error.find("truncated"), std::string::npos);
}

TEST(TgaCodec, SixteenBitGreyIsRoundedAndEmptyBitmapsEncodeToNothing) {
    Bitmap deep(2, 1, PixelFormat::Gray16);
    deep.setGray16(0, 0, 65535);
    deep.setGray16(1, 0, 257 * 100 + 100);
    const ImageDecodeResult r = decodeTga(encodeTga(deep));
    ASSERT_TRUE(r.bitmap);
    EXPECT_EQ(r.bitmap->gray8(0, 0), 255);
    EXPECT_EQ(r.bitmap->gray8(1, 0), 100);
    EXPECT_TRUE(encodeTga(Bitmap()).empty());
}

}  // namespace
}  // namespace korvane
