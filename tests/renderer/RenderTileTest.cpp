#include "renderer/RenderTile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <utility>

namespace korvane {
namespace {

// The film of `region` in a 9 × 6 frame, every sum a different value (negative weights, as the
// filter's lobes leave them, among them); with guides when `denoised`.
RenderTile numberedTile(PixelRegion region, bool denoised) {
    RenderTile tile;
    tile.sceneFingerprint = 0x0123456789abcdefull;
    tile.settingsFingerprint = 42;
    yafaray::rawFilm_t& film = tile.film;
    film.frameWidth = 9;
    film.frameHeight = 6;
    film.x0 = region.x0, film.y0 = region.y0, film.x1 = region.x1, film.y1 = region.y1;
    film.gamma = 2.2f;
    film.toneMapping = yafaray::toneMapping_t::filmic;
    film.channels = 5;
    float next = -3.75f;
    for (int i = 0; i < region.width() * region.height(); ++i) {
        yafaray::accum_t a;
        for (float* value : {&a.w, &a.r, &a.g, &a.b, &a.a, &a.zw, &a.z}) *value = next += 0.3125f;
        film.accum.push_back(a);
        if (!denoised) continue;
        yafaray::guideAccum_t g;
        for (float* value : {&g.ar, &g.ag, &g.ab, &g.nx, &g.ny, &g.nz, &g.pw, &g.pw2, &g.pl, &g.pl2})
            *value = next += 0.0625f;
        film.guides.push_back(g);
    }
    return tile;
}

bool sameBits(const void* a, const void* b, size_t size) {
    return std::memcmp(a, b, size) == 0;
}

TEST(RenderTileTest, AFilmSurvivesItsFileAndPastesIntoTheFrameInPlace) {
    for (bool denoised : {true, false}) {
        const RenderTile tile = numberedTile({2, 1, 7, 5}, denoised);
        std::string error;
        std::optional<RenderTile> decoded = decodeRenderTile(encodeRenderTile(tile), &error);
        ASSERT_TRUE(decoded) << error;
        const yafaray::rawFilm_t& film = decoded->film;
        EXPECT_EQ(film.frameWidth, 9);
        EXPECT_EQ(film.frameHeight, 6);
        EXPECT_EQ(decoded->region(), (PixelRegion{2, 1, 7, 5}));
        EXPECT_EQ(decoded->sceneFingerprint, tile.sceneFingerprint);
        EXPECT_EQ(decoded->settingsFingerprint, 42u);
        EXPECT_EQ(film.gamma, 2.2f);
        EXPECT_EQ(film.toneMapping, yafaray::toneMapping_t::filmic);
        EXPECT_EQ(film.channels, 5);
        ASSERT_EQ(film.accum.size(), tile.film.accum.size());
        ASSERT_EQ(film.guides.size(), tile.film.guides.size());
        EXPECT_TRUE(
            sameBits(film.accum.data(), tile.film.accum.data(), film.accum.size() * sizeof(film.accum[0])));
        EXPECT_TRUE(sameBits(film.guides.data(), tile.film.guides.data(),
                             film.guides.size() * sizeof(film.guides[0])));

        yafaray::rawFilm_t frame = frameFilmFor(*decoded);
        EXPECT_EQ(frame.guides.size(), denoised ? size_t(9 * 6) : 0u);
        pasteRenderTile(*decoded, frame);
        for (int y = 0; y < 6; ++y) {
            for (int x = 0; x < 9; ++x) {
                const bool inside = x >= 2 && x < 7 && y >= 1 && y < 5;
                const yafaray::accum_t& pasted = frame.accum[size_t(y) * 9 + x];
                const yafaray::accum_t expected =
                    inside ? tile.film.accum[size_t(y - 1) * 5 + (x - 2)] : yafaray::accum_t();
                EXPECT_TRUE(sameBits(&pasted, &expected, sizeof pasted)) << x << "," << y;
                if (!denoised) continue;
                const yafaray::guideAccum_t& pastedGuide = frame.guides[size_t(y) * 9 + x];
                const yafaray::guideAccum_t expectedGuide =
                    inside ? tile.film.guides[size_t(y - 1) * 5 + (x - 2)] : yafaray::guideAccum_t();
                EXPECT_TRUE(sameBits(&pastedGuide, &expectedGuide, sizeof pastedGuide)) << x << "," << y;
            }
        }
    }
}

TEST(RenderTileTest, DamagedOrHostileFilesAreRefusedWithAReason) {
    const std::vector<uint8_t> good = encodeRenderTile(numberedTile({0, 0, 4, 4}, true));
    auto refusal = [](std::vector<uint8_t> bytes) {
        std::string error;
        EXPECT_FALSE(decodeRenderTile(bytes, &error));
        return error;
    };
    // The bytes with the checksum made to match again: what a hostile file, not a damaged one, has.
    auto resealed = [](std::vector<uint8_t> bytes) {
        const size_t body = bytes.size() - 8;
        const uint64_t checksum = fingerprintOf({bytes.data(), body});
        for (int byte = 0; byte < 8; ++byte) bytes[body + size_t(byte)] = uint8_t(checksum >> (8 * byte));
        return bytes;
    };
    for (size_t length = 0; length < good.size(); ++length) {
        const std::string error = refusal({good.begin(), good.begin() + long(length)});
        EXPECT_TRUE(error == "truncated tile" || error == "not a tile file") << length << ": " << error;
    }
    for (size_t at = 8; at < good.size(); ++at) {
        std::vector<uint8_t> flipped = good;
        flipped[at] ^= 0x01;
        EXPECT_FALSE(refusal(flipped).empty()) << at;
    }
    std::vector<uint8_t> longer = good;
    longer.push_back(0);
    EXPECT_EQ(refusal(longer), "unexpected bytes after the tile");

    std::vector<uint8_t> version = good;
    version[7] = 1;
    EXPECT_EQ(refusal(version),
              "the tile was made by an older korvane (tile format version 1): render the tiles again");
    version[7] = 3;
    EXPECT_EQ(refusal(version), "tile format version 3 is not supported");

    // A header that claims an enormous frame and region (2^20 × 2^20) with no pixels behind it.
    std::vector<uint8_t> huge = good;
    const uint32_t fields[6] = {1u << 20, 1u << 20, 0, 0, 1u << 20, 1u << 20};
    for (int field = 0; field < 6; ++field)
        for (int byte = 0; byte < 4; ++byte)
            huge[size_t(8 + 4 * field + byte)] = uint8_t(fields[field] >> (8 * byte));
    EXPECT_EQ(refusal(huge), "the tile is larger than 268435456 pixels");

    // Sealed with a good checksum: a negative gamma, a tone mapping or channel count that does
    // not exist, a guides flag that does not match the bytes, and a sum that is not a number.
    constexpr size_t kGammaAt = 8 + 24 + 16, kFlagsAt = kGammaAt + 4, kSumsAt = kFlagsAt + 4;
    for (const auto& [at, value] : {std::pair{kGammaAt + 3, good[kGammaAt + 3] ^ 0x80},
                                    {kFlagsAt, 2},
                                    {kFlagsAt + 1, 3},
                                    {kFlagsAt + 3, 1}}) {
        std::vector<uint8_t> header = good;
        header[at] = uint8_t(value);
        EXPECT_EQ(refusal(resealed(header)), "the tile's header is damaged") << at;
    }
    std::vector<uint8_t> withoutGuides = good;
    withoutGuides[kFlagsAt + 2] = 0;
    EXPECT_EQ(refusal(resealed(withoutGuides)), "unexpected bytes after the tile");
    std::vector<uint8_t> notANumber = good;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::memcpy(&notANumber[kSumsAt + 4 * 20], &nan, 4);  // little-endian machines, as the file
    EXPECT_EQ(refusal(resealed(notANumber)), "the tile holds sums that are not finite numbers");
}

}  // namespace
}  // namespace korvane
