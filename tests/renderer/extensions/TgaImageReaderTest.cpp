#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ExtensionTestSupport.h"
#include "foundation/Bitmap.h"
#include "foundation/ImageCodecs.h"
#include "foundation/TgaCodec.h"
#include "renderer/extensions/TgaImageReader.h"

namespace {

using extensiontest::tgaFile;
using korvane::Bitmap;
using korvane::PixelFormat;
using yafaray::decodeTgaImage;
using yafaray::tgaImage_t;

// A picture with flat runs (so run-length packets repeat) and detail (so they are also raw), with
// every row and column distinguishable and alpha varying.
Bitmap testPicture(PixelFormat format, int w = 13, int h = 7) {
    Bitmap b(w, h, format);
    const int n = korvane::samplesPerPixel(format);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint8_t* p = b.pixel(x, y);
            const bool flat = x < 5;
            for (int k = 0; k < n; ++k)
                p[k] = flat ? static_cast<uint8_t>(20 * y + 3 * k)
                            : static_cast<uint8_t>(17 * x + 29 * y + 61 * k);
            if (format == PixelFormat::RGBA8) p[3] = static_cast<uint8_t>(flat ? 255 : 11 * x + 7 * y);
        }
    }
    return b;
}

// RGBA, top row first, of any decoded bitmap.
std::vector<uint8_t> asRgba(const Bitmap& b) {
    std::vector<uint8_t> out;
    for (int y = 0; y < b.height(); ++y) {
        for (int x = 0; x < b.width(); ++x) {
            const uint8_t* p = b.pixel(x, y);
            switch (b.format()) {
                case PixelFormat::Gray8:
                    out.insert(out.end(), {p[0], p[0], p[0], 255});
                    break;
                case PixelFormat::RGB8:
                    out.insert(out.end(), {p[0], p[1], p[2], 255});
                    break;
                case PixelFormat::RGBA8:
                    out.insert(out.end(), {p[0], p[1], p[2], p[3]});
                    break;
                case PixelFormat::Gray16:
                    ADD_FAILURE() << "no 16-bit grey in these tests";
                    break;
            }
        }
    }
    return out;
}

bool decodes(const std::vector<uint8_t>& bytes, tgaImage_t& image, std::string& reason) {
    return decodeTgaImage(bytes, image, reason);
}

TEST(TgaImageReader, EverySupportedKindDecodesToThePixelsOfThePngItWasWrittenFrom) {
    for (PixelFormat format : {PixelFormat::Gray8, PixelFormat::RGB8, PixelFormat::RGBA8}) {
        const std::vector<uint8_t> png = korvane::encodePng(testPicture(format));
        const korvane::ImageDecodeResult fromPng = korvane::decodeImage(png);
        ASSERT_TRUE(fromPng.bitmap) << fromPng.error;
        const std::vector<uint8_t> expected = asRgba(*fromPng.bitmap);
        for (bool runLength : {false, true}) {
            for (bool topDown : {false, true}) {
                const std::vector<uint8_t> tga = korvane::encodeTga(*fromPng.bitmap, {runLength, topDown});
                tgaImage_t image;
                std::string reason;
                const std::string kind = "format " + std::to_string(int(format)) + " rle " +
                                         std::to_string(runLength) + " top-down " + std::to_string(topDown);
                ASSERT_TRUE(decodes(tga, image, reason)) << kind << ": " << reason;
                EXPECT_EQ(image.width, 13) << kind;
                EXPECT_EQ(image.height, 7) << kind;
                EXPECT_EQ(image.rgba, expected) << kind;
            }
        }
    }
}

TEST(TgaImageReader, ReadsRightToLeftColumnsGreyWithAlphaAndSkipsTheIdentification) {
    // 2 × 2 grey + alpha, stored bottom row first and right to left, behind an identification field.
    const std::vector<uint8_t> data = {
        10, 1, 20, 2,  // bottom row: right pixel, then left
        30, 3, 40, 4,  // top row: right pixel, then left
    };
    tgaImage_t image;
    std::string reason;
    ASSERT_TRUE(decodes(tgaFile(3, 2, 2, 16, 0x18, data, "korvane"), image, reason)) << reason;
    const std::vector<uint8_t> expected = {40, 40, 40, 4, 30, 30, 30, 3, 20, 20, 20, 2, 10, 10, 10, 1};
    EXPECT_EQ(image.rgba, expected);
    // Without alpha bits in the descriptor the extra byte is not alpha.
    ASSERT_TRUE(decodes(tgaFile(3, 2, 2, 16, 0x10, data), image, reason)) << reason;
    EXPECT_EQ(image.rgba[3], 255);
}

TEST(TgaImageReader, RunLengthPacketsMayCrossRows) {
    // 3 × 2 BGR, top first: one run of four red pixels, then two raw pixels.
    const std::vector<uint8_t> data = {0x83, 0, 0, 255, 0x01, 255, 0, 0, 0, 255, 0};
    tgaImage_t image;
    std::string reason;
    ASSERT_TRUE(decodes(tgaFile(10, 3, 2, 24, 0x20, data), image, reason)) << reason;
    const std::vector<uint8_t> expected = {255, 0, 0, 255, 255, 0, 0,   255, 255, 0,   0, 255,
                                           255, 0, 0, 255, 0,   0, 255, 255, 0,   255, 0, 255};
    EXPECT_EQ(image.rgba, expected);
}

TEST(TgaImageReader, RefusesKindsItDoesNotRead) {
    const std::vector<uint8_t> pixels(64, 7);
    tgaImage_t image;
    std::string reason;
    EXPECT_FALSE(decodes(tgaFile(1, 2, 2, 8, 0, pixels), image, reason));  // colour-mapped
    EXPECT_NE(reason.find("image type"), std::string::npos) << reason;
    EXPECT_FALSE(decodes(tgaFile(9, 2, 2, 8, 0, pixels), image, reason));   // run-length colour-mapped
    EXPECT_FALSE(decodes(tgaFile(0, 2, 2, 8, 0, pixels), image, reason));   // no image data
    EXPECT_FALSE(decodes(tgaFile(2, 2, 2, 16, 0, pixels), image, reason));  // 16-bit colour
    EXPECT_NE(reason.find("pixel depth"), std::string::npos) << reason;
    EXPECT_FALSE(decodes(tgaFile(3, 2, 2, 24, 0, pixels), image, reason));  // grey of 24 bits
    EXPECT_FALSE(decodes(tgaFile(2, 0, 2, 24, 0, pixels), image, reason));  // no columns
    EXPECT_NE(reason.find("empty"), std::string::npos) << reason;
    EXPECT_TRUE(image.rgba.empty());
}

TEST(TgaImageReader, TruncatedFilesAreRefusedAtEveryLength) {
    for (PixelFormat format : {PixelFormat::Gray8, PixelFormat::RGB8, PixelFormat::RGBA8}) {
        for (bool runLength : {false, true}) {
            const std::vector<uint8_t> whole = korvane::encodeTga(testPicture(format), {runLength, false});
            tgaImage_t image;
            std::string reason;
            ASSERT_TRUE(decodes(whole, image, reason)) << reason;
            // The encoder may append a footer; the pixel data end where decoding still succeeds.
            size_t shortest = whole.size();
            while (shortest > 0) {
                const std::vector<uint8_t> cut(whole.begin(), whole.begin() + long(shortest - 1));
                if (!decodes(cut, image, reason)) break;
                --shortest;
            }
            for (size_t length = 0; length < shortest; ++length) {
                const std::vector<uint8_t> cut(whole.begin(), whole.begin() + long(length));
                EXPECT_FALSE(decodes(cut, image, reason)) << "length " << length;
                EXPECT_FALSE(reason.empty());
                EXPECT_TRUE(image.rgba.empty());
            }
        }
    }
}

TEST(TgaImageReader, HugeSizesWithLittleDataAreRefusedBeforeAllocating) {
    tgaImage_t image;
    std::string reason;
    EXPECT_FALSE(decodes(tgaFile(2, 65535, 65535, 32, 0, std::vector<uint8_t>(100, 1)), image, reason));
    EXPECT_NE(reason.find("large"), std::string::npos) << reason;
    EXPECT_FALSE(decodes(tgaFile(10, 4000, 4000, 32, 0, {0xff, 1, 2, 3, 4}), image, reason));
    EXPECT_NE(reason.find("truncated"), std::string::npos) << reason;
    // A run that would write past the last pixel.
    EXPECT_FALSE(decodes(tgaFile(11, 2, 2, 8, 0, {0x84, 9}), image, reason));
    EXPECT_NE(reason.find("damaged"), std::string::npos) << reason;
    // An identification field longer than the file.
    std::vector<uint8_t> bytes = tgaFile(3, 1, 1, 8, 0, {5});
    bytes[0] = 200;
    EXPECT_FALSE(decodes(bytes, image, reason));
}

TEST(TgaImageReader, FuzzedHeadersAndBodiesNeverReadOutOfBounds) {
    // Deterministic mutations of valid files of every kind; run under the sanitizer build to
    // catch over-reads. A decode that succeeds must hold exactly width × height pixels.
    std::vector<std::vector<uint8_t>> seeds;
    for (PixelFormat format : {PixelFormat::Gray8, PixelFormat::RGB8, PixelFormat::RGBA8})
        for (bool runLength : {false, true})
            seeds.push_back(korvane::encodeTga(testPicture(format, 6, 5), {runLength, true}));
    uint32_t rng = 12345;
    auto next = [&] {
        rng = rng * 1664525u + 1013904223u;
        return rng >> 8;
    };
    int decoded = 0;
    for (int iteration = 0; iteration < 20000; ++iteration) {
        std::vector<uint8_t> bytes = seeds[iteration % seeds.size()];
        const int edits = 1 + int(next() % 4);
        for (int e = 0; e < edits; ++e) {
            const uint32_t where = next();
            // Mostly the header, sometimes the body; sometimes cut the file short.
            const size_t at = where % 3 == 0 ? next() % bytes.size() : next() % 18;
            bytes[at] = static_cast<uint8_t>(next());
            if (where % 11 == 0) bytes.resize(next() % bytes.size());
            if (bytes.empty()) break;
        }
        tgaImage_t image;
        std::string reason;
        if (decodes(bytes, image, reason)) {
            ++decoded;
            ASSERT_EQ(image.rgba.size(), size_t(image.width) * image.height * 4);
        } else {
            ASSERT_FALSE(reason.empty());
        }
    }
    EXPECT_GT(decoded, 0);  // the mutations leave some files readable, so both paths are exercised
}

}  // namespace
