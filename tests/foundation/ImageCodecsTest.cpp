#include "foundation/ImageCodecs.h"

#include "foundation/FileIO.h"

#include <gtest/gtest.h>
#include <png.h>
#include <tiffio.h>
#include <unistd.h>
#include <zlib.h>

#include <cmath>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

namespace korvane {
namespace {

// Deterministic noise, so every byte value and bit pattern turns up in the round trips.
Bitmap varied(int width, int height, PixelFormat format, uint32_t seed = 1) {
    Bitmap b(width, height, format);
    for (size_t i = 0; i < b.sizeInBytes(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        b.data()[i] = static_cast<uint8_t>(seed >> 24);
    }
    return b;
}

Bitmap decoded(const std::vector<uint8_t>& bytes, decltype(&decodeImage) decode = decodeImage) {
    ImageDecodeResult r = decode(bytes);
    EXPECT_TRUE(r.bitmap) << r.error;
    return r.bitmap ? *r.bitmap : Bitmap();
}

Bitmap decodedAsGray16(const std::vector<uint8_t>& bytes) {
    return decoded(bytes, decodeImageAsGray16);
}

Bitmap rgb(int width, int height, std::initializer_list<uint8_t> samples,
           PixelFormat format = PixelFormat::RGB8) {
    Bitmap b(width, height, format);
    std::copy(samples.begin(), samples.end(), b.data());
    return b;
}

std::string uniquePath(const std::string& name) {
    return ::testing::TempDir() + "korvane-codecs-" + std::to_string(::getpid()) + "-" + name;
}

std::vector<uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

long luminance(double r, double g, double b) {
    return std::lround(0.2126 * r + 0.7152 * g + 0.0722 * b);
}

// ---- Reference files written with the libraries directly, for layouts our encoders never produce.

struct PngLayout {
    int width, height, bitDepth, colorType;
    std::vector<uint8_t> rows;  // as PNG stores them: packed, 16-bit big-endian, no filter bytes
    bool interlaced = false;
    std::vector<png_color> palette = {};
    std::vector<uint8_t> paletteAlpha = {};
};

void appendPngBytes(png_structp png, png_bytep data, size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

bool writePng(png_structp png, png_infop info, const PngLayout* s, std::vector<uint8_t>* out) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, out, appendPngBytes, nullptr);
    png_set_IHDR(png, info, s->width, s->height, s->bitDepth, s->colorType,
                 s->interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!s->palette.empty()) png_set_PLTE(png, info, s->palette.data(), int(s->palette.size()));
    if (!s->paletteAlpha.empty())
        png_set_tRNS(png, info, s->paletteAlpha.data(), int(s->paletteAlpha.size()), nullptr);
    png_write_info(png, info);
    const int passes = png_set_interlace_handling(png);
    const size_t rowBytes = s->rows.size() / s->height;
    for (int pass = 0; pass < passes; ++pass)
        for (int y = 0; y < s->height; ++y) png_write_row(png, s->rows.data() + y * rowBytes);
    png_write_end(png, info);
    return true;
}

std::vector<uint8_t> makePng(const PngLayout& layout) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    EXPECT_TRUE(writePng(png, info, &layout, &out));
    png_destroy_write_struct(&png, &info);
    return out;
}

struct TiffLayout {
    uint32_t width, height;
    uint16_t spp, bits, photometric;
    std::function<uint32_t(uint32_t x, uint32_t y, int sample)> sample;
    uint16_t planar = PLANARCONFIG_CONTIG;
    bool tiled = false;
    std::vector<uint16_t> extraSamples = {};
    std::vector<uint16_t> colormap = {};  // 3 × 2^bits entries when photometric is palette
};

void packSample(uint8_t* row, size_t index, int bits, uint32_t v) {
    if (bits == 16) {
        const auto s = static_cast<uint16_t>(v);
        std::memcpy(row + 2 * index, &s, 2);
    } else {
        const size_t bit = index * bits;
        row[bit / 8] |= static_cast<uint8_t>(v << (8 - bits - bit % 8));
    }
}

std::vector<uint8_t> makeTiff(const TiffLayout& s) {
    const std::string path = uniquePath("reference.tif");
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, s.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, s.height);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, s.spp);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, s.bits);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, s.photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, s.planar);
    if (!s.extraSamples.empty())
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, uint16_t(s.extraSamples.size()), s.extraSamples.data());
    if (!s.colormap.empty()) {
        const size_t n = s.colormap.size() / 3;
        TIFFSetField(tif, TIFFTAG_COLORMAP, s.colormap.data(), s.colormap.data() + n,
                     s.colormap.data() + 2 * n);
    }
    const bool separate = s.planar == PLANARCONFIG_SEPARATE;
    const int planes = separate ? s.spp : 1, perBlock = separate ? 1 : s.spp;
    const uint32_t blockWidth = s.tiled ? 16 : s.width, blockHeight = s.tiled ? 16 : 1;
    TIFFSetField(tif, s.tiled ? TIFFTAG_TILEWIDTH : TIFFTAG_ROWSPERSTRIP, s.tiled ? 16 : 2);
    if (s.tiled) TIFFSetField(tif, TIFFTAG_TILELENGTH, 16);
    const tmsize_t rowBytes = s.tiled ? TIFFTileRowSize(tif) : TIFFScanlineSize(tif);
    std::vector<uint8_t> block(size_t(rowBytes) * blockHeight);
    for (int plane = 0; plane < planes; ++plane) {
        for (uint32_t by = 0; by < s.height; by += blockHeight) {
            for (uint32_t bx = 0; bx < s.width; bx += blockWidth) {
                std::fill(block.begin(), block.end(), 0);
                for (uint32_t y = by; y < std::min(s.height, by + blockHeight); ++y)
                    for (uint32_t x = bx; x < std::min(s.width, bx + blockWidth); ++x)
                        for (int k = 0; k < perBlock; ++k)
                            packSample(block.data() + (y - by) * rowBytes, (x - bx) * perBlock + k, s.bits,
                                       s.sample(x, y, separate ? plane : k));
                if (s.tiled)
                    EXPECT_GT(TIFFWriteTile(tif, block.data(), bx, by, 0, uint16_t(plane)), 0);
                else
                    EXPECT_EQ(TIFFWriteScanline(tif, block.data(), by, uint16_t(plane)), 1);
            }
        }
    }
    TIFFClose(tif);
    std::vector<uint8_t> bytes = fileBytes(path);
    std::filesystem::remove(path);
    return bytes;
}

// ---- Round trips through our own encoders.

TEST(ImageCodecsTest, PngAndTiffRoundTripsAreBitExactForEveryFormat) {
    for (const PixelFormat format :
         {PixelFormat::Gray16, PixelFormat::Gray8, PixelFormat::RGBA8, PixelFormat::RGB8}) {
        for (const auto& [w, h] : {std::pair{7, 5}, {1, 1}, {33, 17}}) {
            const Bitmap original = varied(w, h, format, uint32_t(w * 31 + h));
            EXPECT_EQ(decoded(encodePng(original)), original)
                << "PNG " << int(format) << " " << w << "×" << h;
            EXPECT_EQ(decoded(encodeTiff(original)), original)
                << "TIFF " << int(format) << " " << w << "×" << h;
        }
    }
}

TEST(ImageCodecsTest, SixteenBitExtremesSurviveExactly) {
    Bitmap heights(4, 2, PixelFormat::Gray16);
    const uint16_t values[] = {0, 1, 256, 65535, 255, 32768, 65534, 257};
    for (int i = 0; i < 8; ++i) heights.setGray16(i % 4, i / 4, values[i]);
    for (const auto& bytes : {encodePng(heights), encodeTiff(heights)}) {
        EXPECT_EQ(decoded(bytes), heights);
        EXPECT_EQ(decodedAsGray16(bytes), heights);
    }
}

TEST(ImageCodecsTest, EncodersWriteTheDeclaredLayoutsAndNothingForEmptyBitmaps) {
    const std::vector<uint8_t> png = encodePng(Bitmap(3, 3, PixelFormat::Gray16));
    ASSERT_GT(png.size(), 26u);
    EXPECT_EQ(png[24], 16);  // IHDR bit depth
    EXPECT_EQ(png[25], 0);   // IHDR colour type: grey

    const std::string path = uniquePath("alpha.tif");
    const std::vector<uint8_t> tiff = encodeTiff(varied(5, 3, PixelFormat::RGBA8));
    ASSERT_TRUE(writeFileAtomically(path, tiff, nullptr));
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    ASSERT_NE(tif, nullptr);
    uint16_t count = 0, spp = 0;
    uint16_t* types = nullptr;
    ASSERT_TRUE(TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &count, &types));
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    EXPECT_EQ(spp, 4);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(types[0], EXTRASAMPLE_UNASSALPHA);
    TIFFClose(tif);
    std::filesystem::remove(path);

    EXPECT_TRUE(encodePng(Bitmap()).empty());
    EXPECT_TRUE(encodeTiff(Bitmap()).empty());
    EXPECT_TRUE(encodeJpeg(Bitmap()).empty());
}

// ---- Decoding as 16-bit grey.

TEST(ImageCodecsTest, Gray16DecodeWidensEightBitGreyByTwoFiftySeven) {
    const Bitmap mask = varied(9, 4, PixelFormat::Gray8);
    for (const auto& bytes : {encodePng(mask), encodeTiff(mask)}) {
        const Bitmap wide = decodedAsGray16(bytes);
        ASSERT_EQ(wide.format(), PixelFormat::Gray16);
        ASSERT_EQ(wide.width(), 9);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 9; ++x) ASSERT_EQ(wide.gray16(x, y), mask.gray8(x, y) * 257) << x << "," << y;
    }
}

TEST(ImageCodecsTest, Gray16DecodeTakesLuminanceOfColourAndIgnoresAlpha) {
    const Bitmap colours =
        rgb(5, 1, {255, 0, 0, 9, 0, 255, 0, 0, 0, 0, 255, 255, 255, 255, 255, 128, 100, 100, 100, 7},
            PixelFormat::RGBA8);
    const Bitmap wide = decodedAsGray16(encodePng(colours));
    ASSERT_EQ(wide.width(), 5);
    EXPECT_EQ(wide.gray16(0, 0), 13933);  // 0.2126 × 65535
    EXPECT_EQ(wide.gray16(1, 0), 46871);  // 0.7152 × 65535
    EXPECT_EQ(wide.gray16(2, 0), 4732);   // 0.0722 × 65535
    EXPECT_EQ(wide.gray16(3, 0), 65535);
    EXPECT_EQ(wide.gray16(4, 0), 100 * 257);
}

TEST(ImageCodecsTest, SixteenBitColourIsRoundedForDisplayButExactForHeights) {
    // Two RGB pixels, big-endian: (65535, 128, 0x8080) and (32767, 32768, 1).
    const PngLayout layout{
        2, 1, 16, PNG_COLOR_TYPE_RGB, {0xff, 0xff, 0, 128, 0x80, 0x80, 0x7f, 0xff, 0x80, 0, 0, 1}};
    const std::vector<uint8_t> png = makePng(layout);
    EXPECT_EQ(decoded(png), rgb(2, 1, {255, 0, 128, 127, 128, 0}));
    const Bitmap wide = decodedAsGray16(png);
    EXPECT_EQ(wide.gray16(0, 0), luminance(65535, 128, 0x8080));
    EXPECT_EQ(wide.gray16(1, 0), luminance(32767, 32768, 1));

    const TiffLayout tiffLayout{3, 2, 3, 16, PHOTOMETRIC_RGB, [](uint32_t x, uint32_t y, int s) {
                                    return (x * 20000 + y * 3001 + uint32_t(s) * 7) % 65536;
                                }};
    const std::vector<uint8_t> tiff = makeTiff(tiffLayout);
    const Bitmap natural = decoded(tiff), heights = decodedAsGray16(tiff);
    ASSERT_EQ(natural.format(), PixelFormat::RGB8);
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 3; ++x) {
            const auto v = [&](int s) { return tiffLayout.sample(x, y, s); };
            for (int s = 0; s < 3; ++s)
                EXPECT_EQ(natural.pixel(int(x), int(y))[s], (v(s) * 255 + 32767) / 65535);
            EXPECT_EQ(heights.gray16(int(x), int(y)), luminance(v(0), v(1), v(2)));
        }
}

// ---- Natural formats of other PNG layouts.

TEST(ImageCodecsTest, PalettePngDecodesToRgbOrToRgbaWithTransparency) {
    const std::vector<png_color> palette = {{10, 20, 30}, {200, 100, 0}, {1, 2, 3}};
    PngLayout layout{3, 1, 8, PNG_COLOR_TYPE_PALETTE, {2, 0, 1}, false, palette};
    EXPECT_EQ(decoded(makePng(layout)), rgb(3, 1, {1, 2, 3, 10, 20, 30, 200, 100, 0}));
    layout.paletteAlpha = {255, 0};
    EXPECT_EQ(decoded(makePng(layout)),
              rgb(3, 1, {1, 2, 3, 255, 10, 20, 30, 255, 200, 100, 0, 0}, PixelFormat::RGBA8));
}

TEST(ImageCodecsTest, LowBitDepthGreyIsStretchedToFullRange) {
    const Bitmap expected = rgb(4, 1, {0, 255, 0, 255}, PixelFormat::Gray8);
    EXPECT_EQ(decoded(makePng({4, 1, 1, PNG_COLOR_TYPE_GRAY, {0b01010000}})), expected);
    EXPECT_EQ(decoded(makePng({4, 1, 2, PNG_COLOR_TYPE_GRAY, {0b00011011}})),
              rgb(4, 1, {0, 85, 170, 255}, PixelFormat::Gray8));
    EXPECT_EQ(decoded(makePng({2, 1, 4, PNG_COLOR_TYPE_GRAY, {0x1f}})),
              rgb(2, 1, {17, 255}, PixelFormat::Gray8));

    const auto checker = [](uint32_t x, uint32_t y, int) { return (x + y) % 2; };
    EXPECT_EQ(decoded(makeTiff({4, 1, 1, 1, PHOTOMETRIC_MINISBLACK, checker})), expected);
    EXPECT_EQ(decoded(makeTiff({4, 1, 1, 1, PHOTOMETRIC_MINISWHITE, checker})),
              rgb(4, 1, {255, 0, 255, 0}, PixelFormat::Gray8));
    EXPECT_EQ(decoded(makeTiff(
                  {3, 1, 1, 4, PHOTOMETRIC_MINISBLACK, [](uint32_t x, uint32_t, int) { return x * 7; }})),
              rgb(3, 1, {0, 119, 238}, PixelFormat::Gray8));
}

TEST(ImageCodecsTest, GreyWithAlphaBecomesRgba) {
    const Bitmap expected = rgb(2, 1, {9, 9, 9, 200, 250, 250, 250, 0}, PixelFormat::RGBA8);
    EXPECT_EQ(decoded(makePng({2, 1, 8, PNG_COLOR_TYPE_GRAY_ALPHA, {9, 200, 250, 0}})), expected);
    const TiffLayout layout{
        2,
        1,
        2,
        8,
        PHOTOMETRIC_MINISBLACK,
        [](uint32_t x, uint32_t, int s) { return s == 0 ? (x ? 250 : 9) : (x ? 0 : 200); },
        PLANARCONFIG_CONTIG,
        false,
        {EXTRASAMPLE_UNASSALPHA}};
    EXPECT_EQ(decoded(makeTiff(layout)), expected);
}

TEST(ImageCodecsTest, InterlacedPngMatchesItsProgressiveTwin) {
    const Bitmap image = varied(13, 11, PixelFormat::RGB8);
    PngLayout layout{13, 11, 8, PNG_COLOR_TYPE_RGB,
                     std::vector<uint8_t>(image.data(), image.data() + image.sizeInBytes())};
    layout.interlaced = true;
    EXPECT_EQ(decoded(makePng(layout)), image);
}

// ---- TIFF layouts.

TEST(ImageCodecsTest, TiffTilesAndSeparatePlanesDecodeLikeContiguousStrips) {
    const auto pattern = [](uint32_t x, uint32_t y, int s) {
        return (x * 37 + y * 11 + uint32_t(s) * 101) % 256;
    };
    const auto heights = [](uint32_t x, uint32_t y, int) { return (x * 4099 + y * 65521) % 65536; };
    for (const bool tiled : {false, true}) {
        for (const uint16_t planar : {PLANARCONFIG_CONTIG, PLANARCONFIG_SEPARATE}) {
            SCOPED_TRACE(std::string(tiled ? "tiles " : "strips ") +
                         (planar == PLANARCONFIG_SEPARATE ? "separate" : "contiguous"));
            const TiffLayout colour{
                21, 18, 4, 8, PHOTOMETRIC_RGB, pattern, planar, tiled, {EXTRASAMPLE_UNASSALPHA}};
            const Bitmap image = decoded(makeTiff(colour));
            ASSERT_EQ(image.format(), PixelFormat::RGBA8);
            for (int y = 0; y < 18; ++y)
                for (int x = 0; x < 21; ++x)
                    for (int s = 0; s < 4; ++s) ASSERT_EQ(image.pixel(x, y)[s], pattern(x, y, s));

            const Bitmap terrain =
                decoded(makeTiff({21, 18, 1, 16, PHOTOMETRIC_MINISBLACK, heights, planar, tiled}));
            ASSERT_EQ(terrain.format(), PixelFormat::Gray16);
            for (int y = 0; y < 18; ++y)
                for (int x = 0; x < 21; ++x) ASSERT_EQ(terrain.gray16(x, y), heights(x, y, 0));
        }
    }
}

TEST(ImageCodecsTest, TiffAssociatedAlphaIsDividedOut) {
    // Premultiplied (100, 50, 0) at alpha 128 → (199, 100, 0); zero alpha → black.
    const TiffLayout layout{2,
                            1,
                            4,
                            8,
                            PHOTOMETRIC_RGB,
                            [](uint32_t x, uint32_t, int s) -> uint32_t {
                                const uint32_t px[2][4] = {{100, 50, 0, 128}, {30, 30, 30, 0}};
                                return px[x][s];
                            },
                            PLANARCONFIG_CONTIG,
                            false,
                            {EXTRASAMPLE_ASSOCALPHA}};
    EXPECT_EQ(decoded(makeTiff(layout)), rgb(2, 1, {199, 100, 0, 128, 0, 0, 0, 0}, PixelFormat::RGBA8));
}

TEST(ImageCodecsTest, PaletteTiffDecodesThroughTheRgbaReader) {
    std::vector<uint16_t> colormap(3 * 256, 0);
    for (int i = 0; i < 256; ++i) {
        colormap[i] = uint16_t((255 - i) * 257);
        colormap[256 + i] = uint16_t(i * 257);
        colormap[512 + i] = uint16_t((i / 2) * 257);
    }
    const TiffLayout layout{3,
                            1,
                            1,
                            8,
                            PHOTOMETRIC_PALETTE,
                            [](uint32_t x, uint32_t, int) { return x * 100; },
                            PLANARCONFIG_CONTIG,
                            false,
                            {},
                            colormap};
    EXPECT_EQ(decoded(makeTiff(layout)), rgb(3, 1, {255, 0, 0, 155, 100, 50, 55, 200, 100}));
}

// ---- JPEG.

double meanAbsoluteError(const Bitmap& a, const Bitmap& b) {
    double sum = 0;
    for (size_t i = 0; i < a.sizeInBytes(); ++i) sum += std::abs(int(a.data()[i]) - int(b.data()[i]));
    return sum / double(a.sizeInBytes());
}

Bitmap gradient(int width, int height, PixelFormat format) {
    Bitmap b(width, height, format);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int s = 0; s < samplesPerPixel(format); ++s)
                b.pixel(x, y)[s] = uint8_t(x * 120 / width + y * 120 / height * (s + 1) / 3);
    return b;
}

TEST(ImageCodecsTest, JpegRoundTripIsCloseForGreyAndColour) {
    for (const PixelFormat format : {PixelFormat::Gray8, PixelFormat::RGB8}) {
        const Bitmap original = gradient(41, 23, format);
        const Bitmap back = decoded(encodeJpeg(original, 95));
        ASSERT_EQ(back.format(), format);
        ASSERT_TRUE(back.width() == 41 && back.height() == 23);
        EXPECT_LT(meanAbsoluteError(original, back), 2.0);
    }
    const Bitmap colour = gradient(41, 23, PixelFormat::RGB8);
    EXPECT_LT(encodeJpeg(colour, 10).size(), encodeJpeg(colour, 95).size());
}

TEST(ImageCodecsTest, JpegDropsAlphaAndNarrowsSixteenBitGrey) {
    // The gradient's first three samples do not depend on how many follow.
    const Bitmap back = decoded(encodeJpeg(gradient(16, 8, PixelFormat::RGBA8), 95));
    ASSERT_EQ(back.format(), PixelFormat::RGB8);
    EXPECT_LT(meanAbsoluteError(gradient(16, 8, PixelFormat::RGB8), back), 2.0);

    Bitmap heights(16, 8, PixelFormat::Gray16);
    for (int x = 0; x < 16; ++x)
        for (int y = 0; y < 8; ++y) heights.setGray16(x, y, uint16_t(x * 4000));
    const Bitmap grey = decoded(encodeJpeg(heights));
    ASSERT_EQ(grey.format(), PixelFormat::Gray8);
    EXPECT_NEAR(grey.gray8(10, 4), (40000 * 255 + 32767) / 65535, 2);
    const Bitmap wide = decodedAsGray16(encodeJpeg(heights));
    EXPECT_NEAR(wide.gray16(10, 4), 40000, 3 * 257);
}

// ---- Hostile input.

std::vector<uint8_t> withPngSize(std::vector<uint8_t> png, uint32_t width, uint32_t height) {
    for (int i = 0; i < 4; ++i) {
        png[16 + i] = uint8_t(width >> (24 - 8 * i));
        png[20 + i] = uint8_t(height >> (24 - 8 * i));
    }
    const uLong crc = crc32(0, png.data() + 12, 17);  // chunk type and IHDR data
    for (int i = 0; i < 4; ++i) png[29 + i] = uint8_t(crc >> (24 - 8 * i));
    return png;
}

// Rewrites ImageWidth and ImageLength of a little-endian TIFF's first directory as LONG values.
std::vector<uint8_t> withTiffSize(std::vector<uint8_t> tiff, uint32_t width, uint32_t height) {
    EXPECT_EQ(tiff[0], 'I');
    uint32_t ifd;
    uint16_t count, tag;
    std::memcpy(&ifd, &tiff[4], 4);
    std::memcpy(&count, &tiff[ifd], 2);
    for (uint16_t i = 0; i < count; ++i) {
        uint8_t* entry = &tiff[ifd + 2 + 12 * i];
        std::memcpy(&tag, entry, 2);
        if (tag != TIFFTAG_IMAGEWIDTH && tag != TIFFTAG_IMAGELENGTH) continue;
        const uint16_t longType = TIFF_LONG;
        const uint32_t one = 1, value = tag == TIFFTAG_IMAGEWIDTH ? width : height;
        std::memcpy(entry + 2, &longType, 2);
        std::memcpy(entry + 4, &one, 4);
        std::memcpy(entry + 8, &value, 4);
    }
    return tiff;
}

std::vector<uint8_t> withJpegSize(std::vector<uint8_t> jpeg, uint16_t width, uint16_t height) {
    for (size_t i = 2; i + 8 < jpeg.size(); ++i) {
        if (jpeg[i] != 0xff || jpeg[i + 1] != 0xc0) continue;  // baseline frame header
        jpeg[i + 5] = uint8_t(height >> 8), jpeg[i + 6] = uint8_t(height);
        jpeg[i + 7] = uint8_t(width >> 8), jpeg[i + 8] = uint8_t(width);
        return jpeg;
    }
    ADD_FAILURE() << "no SOF0 marker";
    return jpeg;
}

void expectTooLarge(const std::vector<uint8_t>& bytes) {
    for (const ImageDecodeResult& r : {decodeImage(bytes), decodeImageAsGray16(bytes)}) {
        EXPECT_FALSE(r.bitmap);
        EXPECT_NE(r.error.find("too large"), std::string::npos) << r.error;
    }
}

TEST(ImageCodecsTest, HugeClaimedSizesAreRejectedBeforeAllocating) {
    const Bitmap small = varied(4, 4, PixelFormat::Gray8);
    expectTooLarge(withPngSize(encodePng(small), 100000, 100000));
    expectTooLarge(withTiffSize(encodeTiff(small), 100000, 100000));
    expectTooLarge(withTiffSize(encodeTiff(small), 1 << 21, 1));
    expectTooLarge(withJpegSize(encodeJpeg(small), 65000, 65000));
    // The patch itself is sound: the same edit to a legal size still decodes.
    EXPECT_TRUE(decodeImage(withTiffSize(encodeTiff(small), 4, 4)).bitmap);
}

TEST(ImageCodecsTest, TruncatedAndCorruptedFilesFailCleanly) {
    const Bitmap image = varied(7, 5, PixelFormat::RGBA8);
    const std::vector<uint8_t> files[] = {encodePng(image), encodeTiff(image), encodeJpeg(image),
                                          encodeTiff(varied(7, 5, PixelFormat::Gray16))};
    for (const std::vector<uint8_t>& file : files) {
        for (size_t n = 0; n < file.size(); ++n) {
            const ImageDecodeResult r = decodeImage(std::span(file.data(), n));
            EXPECT_TRUE(r.bitmap ? r.bitmap->width() == 7 : !r.error.empty()) << "prefix " << n;
        }
        EXPECT_FALSE(decodeImage(std::span(file.data(), file.size() / 2)).bitmap);
        for (size_t i = 0; i < file.size(); ++i) {
            std::vector<uint8_t> corrupt = file;
            corrupt[i] ^= uint8_t(0x5a + i);
            const ImageDecodeResult r = decodeImageAsGray16(corrupt);
            EXPECT_TRUE(r.bitmap || !r.error.empty()) << "byte " << i;
        }
    }
}

TEST(ImageCodecsTest, RandomBytesBehindEachSignatureAreRejected) {
    const std::vector<std::vector<uint8_t>> signatures = {{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'},
                                                          {'I', 'I', 42, 0},
                                                          {'M', 'M', 0, 42},
                                                          {0xff, 0xd8, 0xff},
                                                          {}};
    uint32_t seed = 7;
    for (const auto& signature : signatures) {
        for (int trial = 0; trial < 200; ++trial) {
            std::vector<uint8_t> bytes = signature;
            const size_t length = 1 + trial * 3;
            for (size_t i = 0; i < length; ++i)
                bytes.push_back(uint8_t((seed = seed * 1103515245u + 12345u) >> 16));
            const ImageDecodeResult r = decodeImage(bytes);
            EXPECT_FALSE(r.bitmap);
            EXPECT_FALSE(r.error.empty());
        }
    }
    EXPECT_EQ(decodeImage({}).error, "no data");
}

// ---- Files.

TEST(ImageCodecsTest, FilesRoundTripAndReportMissingOnes) {
    const std::string path = uniquePath("height.png");
    const Bitmap heights = varied(6, 3, PixelFormat::Gray16);
    std::string error;
    ASSERT_TRUE(writeFileAtomically(path, encodePng(heights), &error)) << error;
    ImageDecodeResult r = readImageFile(path);
    ASSERT_TRUE(r.bitmap) << r.error;
    EXPECT_EQ(*r.bitmap, heights);

    ASSERT_TRUE(writeFileAtomically(path, encodeTiff(varied(2, 2, PixelFormat::RGB8)), &error)) << error;
    r = readImageFile(path);
    ASSERT_TRUE(r.bitmap) << r.error;
    EXPECT_EQ(r.bitmap->format(), PixelFormat::RGB8);
    std::filesystem::remove(path);

    r = readImageFile(path);
    EXPECT_FALSE(r.bitmap);
    EXPECT_NE(r.error.find("No such file"), std::string::npos) << r.error;
    EXPECT_FALSE(readImageFile(::testing::TempDir()).bitmap);
}

}  // namespace
}  // namespace korvane
