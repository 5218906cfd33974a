// Decoders against forged sizes and the sample layouts heightmaps come in: the memory budget is
// checked before anything is allocated, 12-bit and float TIFFs are fitted to 16 bits.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cmath>
#include <cstdlib>
#include <fstream>

#include "fixtures/hostile/HostileFiles.h"
#include "foundation/ImageCodecs.h"
#include "foundation/TgaCodec.h"

namespace korvane {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// The process's address space now, from /proc.
uint64_t addressSpaceBytes() {
    std::ifstream statm("/proc/self/statm");
    uint64_t pages = 0;
    statm >> pages;
    return pages * uint64_t(::sysconf(_SC_PAGESIZE));
}

// Decodes bytes with the address space capped at what the process holds plus the decode budget:
// a decoder that trusted the header would fail to allocate ("out of memory") instead of refusing.
// Exits 0 when the refusal names the claimed size.
[[noreturn]] void decodeUnderBudget(const std::vector<uint8_t>& bytes, const std::string& claimed) {
    const rlim_t cap = addressSpaceBytes() + uint64_t(kImageDecodeBudgetBytes);
    const rlimit limit{cap, cap};
    ::setrlimit(RLIMIT_AS, &limit);
    const ImageDecodeResult r = decodeImageAsGray16(bytes);
    std::_Exit(!r.bitmap && r.error.find(claimed) != std::string::npos ? 0 : 1);
}

TEST(HostileImagesTest, ForgedSizesAreRefusedWithTheClaimedSizeBeforeAnythingIsAllocated) {
    // 16384² RGBA at 16 bits: 2 GiB of samples claimed by a file of a few dozen bytes.
    const std::vector<uint8_t> forged = hostile::forgedPng(16384, 16384, 16, 6);
    EXPECT_LT(forged.size(), 100u);
    const ImageDecodeResult r = decodeImage(forged);
    EXPECT_FALSE(r.bitmap);
    EXPECT_NE(r.error.find("16384 × 16384 pixels of 4 × 16 bits (2048 MiB)"), std::string::npos) << r.error;
    EXPECT_NE(r.error.find("400 MiB"), std::string::npos) << r.error;
    if (!kSanitized) {
        EXPECT_EXIT(decodeUnderBudget(forged, "16384 × 16384"), ::testing::ExitedWithCode(0), "");
    }

    // Within the budget, but far more rows than its data could ever expand to.
    const ImageDecodeResult thin = decodeImage(hostile::forgedPng(8000, 8000, 8, 0));
    EXPECT_FALSE(thin.bitmap);
    EXPECT_NE(thin.error.find("far less image data"), std::string::npos) << thin.error;

    // The largest heightmap the application makes still fits: 10240² 16-bit grey.
    EXPECT_EQ(decodeImage(hostile::forgedPng(10240, 10240, 16, 0)).error.find("MiB"), std::string::npos);

    // A TGA header claiming 65535² 32-bit pixels, and a TIFF claiming 40000² grey.
    std::vector<uint8_t> tga(18 + 64, 0);
    tga[2] = 2, tga[12] = tga[13] = tga[14] = tga[15] = 0xff, tga[16] = 32;
    EXPECT_NE(decodeTga(tga).error.find("65535 × 65535"), std::string::npos) << decodeTga(tga).error;
    const ImageDecodeResult tiff = decodeImage(hostile::greyTiff(40000, 40000, 8, 1, {0, 0, 0, 0}));
    EXPECT_NE(tiff.error.find("40000 × 40000"), std::string::npos) << tiff.error;
}

uint16_t grey(const Bitmap& b, int x, int y) {
    return b.gray16(x, y);
}

TEST(HostileImagesTest, TwelveBitAndFloatTiffsBecomeSixteenBitHeightmaps) {
    // 12 bits: 0, full scale and a middle value, stretched to 16 bits.
    const std::vector<uint32_t> twelve = {0, 4095, 2048, 1};
    ImageDecodeResult r = decodeImageAsGray16(hostile::greyTiff(3, 1, 12, 1, hostile::packSamples(3, 1, 12, twelve)));
    ASSERT_TRUE(r.bitmap) << r.error;
    EXPECT_EQ(grey(*r.bitmap, 0, 0), 0);
    EXPECT_EQ(grey(*r.bitmap, 1, 0), 65535);
    EXPECT_EQ(grey(*r.bitmap, 2, 0), 2048u * 65535u / 4095u);

    // Floats already in 0–1 stay where they are.
    r = decodeImageAsGray16(hostile::greyTiff(3, 1, 32, 3, hostile::floatSamples({0.f, 0.25f, 1.f})));
    ASSERT_TRUE(r.bitmap) << r.error;
    EXPECT_EQ(grey(*r.bitmap, 0, 0), 0);
    EXPECT_EQ(grey(*r.bitmap, 1, 0), 16384);
    EXPECT_EQ(grey(*r.bitmap, 2, 0), 65535);

    // Others are scaled from their own minimum and maximum; what is not finite takes the minimum.
    r = decodeImageAsGray16(
        hostile::greyTiff(5, 1, 32, 3, hostile::floatSamples({-1.f, 3.f, 1.f, std::nanf(""), INFINITY})));
    ASSERT_TRUE(r.bitmap) << r.error;
    EXPECT_EQ(r.bitmap->width(), 5);
    EXPECT_EQ(grey(*r.bitmap, 0, 0), 0);
    EXPECT_EQ(grey(*r.bitmap, 1, 0), 65535);
    EXPECT_EQ(grey(*r.bitmap, 2, 0), 32768);
    EXPECT_EQ(grey(*r.bitmap, 3, 0), 0);
    EXPECT_EQ(grey(*r.bitmap, 4, 0), 0);
}

}  // namespace
}  // namespace korvane
