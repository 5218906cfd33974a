#include "foundation/Bitmap.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

namespace korvane {
namespace {

TEST(BitmapTest, FormatsReportTheirSampleLayout) {
    EXPECT_EQ(samplesPerPixel(PixelFormat::Gray16), 1);
    EXPECT_EQ(bytesPerPixel(PixelFormat::Gray16), 2);
    EXPECT_EQ(samplesPerPixel(PixelFormat::Gray8), 1);
    EXPECT_EQ(bytesPerPixel(PixelFormat::Gray8), 1);
    EXPECT_EQ(samplesPerPixel(PixelFormat::RGB8), 3);
    EXPECT_EQ(bytesPerPixel(PixelFormat::RGB8), 3);
    EXPECT_EQ(samplesPerPixel(PixelFormat::RGBA8), 4);
    EXPECT_EQ(bytesPerSample(PixelFormat::RGBA8), 1);
    EXPECT_EQ(bytesPerPixel(PixelFormat::RGBA8), 4);
}

TEST(BitmapTest, DefaultAndDegenerateSizesAreEmpty) {
    const Bitmap none;
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(none.width(), 0);
    EXPECT_EQ(none.sizeInBytes(), 0u);
    EXPECT_EQ(none.data(), nullptr);
    for (const auto& [w, h] : {std::pair{-3, 4}, {4, -3}, {0, 5}, {5, 0}}) {
        const Bitmap b(w, h, PixelFormat::RGB8);
        EXPECT_TRUE(b.empty()) << w << "×" << h;
        EXPECT_EQ(b.width(), 0);
        EXPECT_EQ(b.height(), 0);
        EXPECT_EQ(b.sizeInBytes(), 0u);
    }
}

TEST(BitmapTest, SizeBeyondAddressableMemoryGivesEmptyInsteadOfThrowing) {
    const Bitmap huge(INT_MAX, INT_MAX, PixelFormat::RGBA8);
    EXPECT_TRUE(huge.empty());
}

TEST(BitmapTest, RowsAreTightlyPackedAndZeroFilled) {
    const Bitmap b(7, 5, PixelFormat::RGB8);
    EXPECT_FALSE(b.empty());
    EXPECT_EQ(b.bytesPerRow(), 21u);
    EXPECT_EQ(b.sizeInBytes(), 105u);
    EXPECT_EQ(b.row(0), b.data());
    EXPECT_EQ(b.row(4), b.data() + 84);
    EXPECT_EQ(b.pixel(3, 2), b.data() + 2 * 21 + 9);
    for (size_t i = 0; i < b.sizeInBytes(); ++i) ASSERT_EQ(b.data()[i], 0) << i;
}

TEST(BitmapTest, GraySamplesLandAtTheirStoragePosition) {
    Bitmap h(3, 2, PixelFormat::Gray16);
    h.setGray16(2, 1, 0xBEEF);
    h.setGray16(0, 0, 1);
    EXPECT_EQ(h.gray16(2, 1), 0xBEEF);
    EXPECT_EQ(h.gray16(1, 1), 0);
    uint16_t stored;
    std::memcpy(&stored, h.row(1) + 4, 2);  // native-endian in memory
    EXPECT_EQ(stored, 0xBEEF);
    std::memcpy(&stored, h.data(), 2);
    EXPECT_EQ(stored, 1);

    Bitmap m(5, 3, PixelFormat::Gray8);
    m.setGray8(4, 2, 200);
    EXPECT_EQ(m.gray8(4, 2), 200);
    EXPECT_EQ(m.data()[2 * 5 + 4], 200);
    EXPECT_EQ(m.gray8(3, 2), 0);
}

TEST(BitmapTest, CopiesOwnTheirPixels) {
    Bitmap original(4, 4, PixelFormat::Gray8);
    original.setGray8(1, 1, 10);
    Bitmap copy = original;
    copy.setGray8(1, 1, 99);
    EXPECT_EQ(original.gray8(1, 1), 10);
    EXPECT_NE(copy.data(), original.data());

    Bitmap assigned(1, 1, PixelFormat::RGBA8);
    assigned = original;
    original.setGray8(1, 1, 42);
    EXPECT_EQ(assigned.gray8(1, 1), 10);
    EXPECT_EQ(assigned.format(), PixelFormat::Gray8);
    EXPECT_EQ(assigned.width(), 4);
}

TEST(BitmapTest, EqualityComparesFormatSizeAndEveryByte) {
    Bitmap a(3, 2, PixelFormat::Gray8);
    Bitmap b(3, 2, PixelFormat::Gray8);
    EXPECT_EQ(a, b);
    b.setGray8(2, 1, 1);
    EXPECT_FALSE(a == b);
    a.setGray8(2, 1, 1);
    EXPECT_EQ(a, b);

    // Same byte count and the same (zero) bytes, different meaning.
    EXPECT_FALSE(Bitmap(2, 1, PixelFormat::Gray8) == Bitmap(1, 1, PixelFormat::Gray16));
    EXPECT_FALSE(Bitmap(2, 1, PixelFormat::Gray8) == Bitmap(1, 2, PixelFormat::Gray8));
    EXPECT_EQ(Bitmap(), Bitmap(-1, 7, PixelFormat::Gray8));
}

}  // namespace
}  // namespace korvane
