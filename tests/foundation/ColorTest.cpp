#include "foundation/Color.h"

#include <limits>
#include <ostream>

#include <gtest/gtest.h>

namespace korvane {

// Readable failure messages; internal linkage so other test files may print colours their own way.
static void PrintTo(const Color& c, std::ostream* out) {
    *out << "rgba(" << c.red << ", " << c.green << ", " << c.blue << ", " << c.alpha << ")";
}
namespace {

TEST(ColorTest, CalibratedColoursKeepComponentsAndClampThemToTheUnitRange) {
    EXPECT_EQ(Color::calibratedRGB(0.1, 0.2, 0.3, 0.4), (Color{0.1, 0.2, 0.3, 0.4}));
    EXPECT_EQ(Color::calibratedRGB(0.5, 0.5, 0.5), (Color{0.5, 0.5, 0.5, 1}));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(Color::calibratedRGB(-1, 2, nan, 7), (Color{0, 1, 0, 1}));
    EXPECT_EQ(Color::calibratedWhite(0.25, 0.5), (Color{0.25, 0.25, 0.25, 0.5}));
}

TEST(ColorTest, BlendedMixesEveryComponentIncludingAlpha) {
    const Color from = Color::calibratedRGB(0, 0.2, 1, 1);
    const Color to = Color::calibratedRGB(1, 0.6, 0, 0);
    const Color quarter = from.blended(0.25, to);
    EXPECT_DOUBLE_EQ(quarter.red, 0.25);
    EXPECT_DOUBLE_EQ(quarter.green, 0.3);
    EXPECT_DOUBLE_EQ(quarter.blue, 0.75);
    EXPECT_DOUBLE_EQ(quarter.alpha, 0.75);
    EXPECT_EQ(from.blended(0, to), from);
    EXPECT_EQ(from.blended(1, to), to);
}

TEST(ColorTest, BlendedClampsTheFraction) {
    const Color from = Color::calibratedWhite(0);
    const Color to = Color::calibratedWhite(1, 0.5);
    EXPECT_EQ(from.blended(-3, to), from);
    EXPECT_EQ(from.blended(4, to), to);
    EXPECT_EQ(from.blended(std::numeric_limits<double>::quiet_NaN(), to), from);
}

TEST(ColorTest, EqualityAndAlphaReplacement) {
    const Color opaque = Color::calibratedRGB(0.3, 0.4, 0.5);
    EXPECT_NE(opaque, opaque.withAlphaComponent(0.5));
    EXPECT_EQ(opaque.withAlphaComponent(0.5), (Color{0.3, 0.4, 0.5, 0.5}));
    EXPECT_EQ(opaque.withAlphaComponent(2), opaque);
}

}  // namespace
}  // namespace korvane
