#include "renderer/RenderTile.h"

#include <gtest/gtest.h>

#include <cstring>

#include "renderer/RendererImage.h"

namespace korvane {
namespace {

void number(RendererImage& image) {
    const int width = image.width(), height = image.height();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            image.setPixelAtPoint({double(x), double(y)}, x / 10.0f, y / 10.0f, 0.5f, 1);
            image.setDepth(x == y ? -1.0f : float(x) + 0.25f * y, {double(x), double(y)});
        }
}

TEST(RenderTileTest, ACutTileSurvivesItsFileAndPastesBackInPlace) {
    RendererImage frame(Size{9, 6});
    number(frame);
    RenderTile tile = cutRenderTile(frame, {2, 1, 7, 5});
    tile.sceneFingerprint = 0x0123456789abcdefull;
    tile.settingsFingerprint = 42;
    std::string error;
    std::optional<RenderTile> decoded = decodeRenderTile(encodeRenderTile(tile), &error);
    ASSERT_TRUE(decoded) << error;
    EXPECT_EQ(decoded->frameWidth, 9);
    EXPECT_EQ(decoded->frameHeight, 6);
    EXPECT_EQ(decoded->region, (PixelRegion{2, 1, 7, 5}));
    EXPECT_EQ(decoded->sceneFingerprint, tile.sceneFingerprint);
    EXPECT_EQ(decoded->settingsFingerprint, 42u);
    EXPECT_EQ(decoded->pixels, tile.pixels);
    EXPECT_EQ(decoded->depths, tile.depths);

    RendererImage assembled(Size{9, 6});
    pasteRenderTile(*decoded, assembled);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 9; ++x) {
            const bool inside = x >= 2 && x < 7 && y >= 1 && y < 5;
            const Point p{double(x), double(y)};
            EXPECT_EQ(std::memcmp(assembled.image().pixel(x, y), frame.image().pixel(x, y), 4) == 0, inside)
                << x << "," << y;
            if (inside) {
                EXPECT_EQ(assembled.depthAtPoint(p), frame.depthAtPoint(p));
            }
        }
}

TEST(RenderTileTest, DamagedOrHostileFilesAreRefusedWithAReason) {
    RendererImage frame(Size{4, 4});
    number(frame);
    const std::vector<uint8_t> good = encodeRenderTile(cutRenderTile(frame, {0, 0, 4, 4}));
    auto refusal = [](std::vector<uint8_t> bytes) {
        std::string error;
        EXPECT_FALSE(decodeRenderTile(bytes, &error));
        return error;
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
    version[7] = 2;
    EXPECT_EQ(refusal(version), "tile format version 2 is not supported");
    // A header that claims an enormous frame and region (2^20 × 2^20) with no pixels behind it.
    std::vector<uint8_t> huge = good;
    const uint32_t fields[6] = {1u << 20, 1u << 20, 0, 0, 1u << 20, 1u << 20};
    for (int field = 0; field < 6; ++field)
        for (int byte = 0; byte < 4; ++byte)
            huge[size_t(8 + 4 * field + byte)] = uint8_t(fields[field] >> (8 * byte));
    EXPECT_EQ(refusal(huge), "the tile is larger than 268435456 pixels");
}

}  // namespace
}  // namespace korvane
