#include "foundation/GeometryUtilities.h"

#include <numbers>
#include <ostream>

#include <gtest/gtest.h>

namespace korvane {

// Readable failure messages; internal linkage so other test files may print these types their own way.
static void PrintTo(const Size& size, std::ostream* out) {
    *out << "(" << size.width << " x " << size.height << ")";
}
static void PrintTo(const Rect& r, std::ostream* out) {
    *out << "{" << r.origin.x << ", " << r.origin.y << ", " << r.size.width << " x " << r.size.height << "}";
}
namespace {

using G = GeometryUtilities;
constexpr double kPi = std::numbers::pi;

TEST(GeometryUtilitiesTest, CenterRectCentresASmallerRectAndAddsTheOuterOrigin) {
    const Rect centred = G::centerRect({{3, 4}, {10, 20}}, {{100, 200}, {50, 40}});
    EXPECT_EQ(centred, (Rect{{3 + 100 + 20, 4 + 200 + 10}, {10, 20}}));
}

TEST(GeometryUtilitiesTest, CenterRectLeavesALargerAxisAtItsRelativeOrigin) {
    // Wider than outer but shorter: x keeps its offset, y is centred.
    const Rect placed = G::centerRect({{5, 6}, {100, 10}}, {{10, 20}, {50, 50}});
    EXPECT_EQ(placed, (Rect{{15, 6 + 20 + 20}, {100, 10}}));
    // Equal extents move nothing but the outer origin.
    EXPECT_EQ(G::centerRect({{1, 2}, {50, 50}}, {{10, 20}, {50, 50}}), (Rect{{11, 22}, {50, 50}}));
}

TEST(GeometryUtilitiesTest, CenterRectTakesTheDifferenceInSinglePrecision) {
    const Rect placed = G::centerRect({{0, 0}, {1, 1}}, {{0, 0}, {1.1, 1}});
    EXPECT_EQ(placed.origin.x, static_cast<double>(static_cast<float>(1.1 - 1.0) / 2));
    EXPECT_NE(placed.origin.x, (1.1 - 1.0) / 2);
}

TEST(GeometryUtilitiesTest, ProportionallyScaleSizeEnlargesAndShrinksKeepingTheAspect) {
    EXPECT_EQ(G::proportionallyScaleSize({2, 1}, {100, 100}), (Size{100, 50}));
    EXPECT_EQ(G::proportionallyScaleSize({10, 40}, {100, 100}), (Size{25, 100}));
    EXPECT_EQ(G::proportionallyScaleSize({1, 1}, {10, 30}), (Size{10, 10}));
    EXPECT_EQ(G::proportionallyScaleSize({3, 3}, {20, 20}), (Size{20, 20}));
}

TEST(GeometryUtilitiesTest, ProportionallyScaleSizeUsesASinglePrecisionAspect) {
    const Size scaled = G::proportionallyScaleSize({1, 3}, {90, 90});
    EXPECT_EQ(scaled.width, static_cast<double>(static_cast<float>(1.0 / 3.0)) * 90);
    EXPECT_NE(scaled.width, 30.0);
    EXPECT_EQ(scaled.height, 90);
}

TEST(GeometryUtilitiesTest, FittedRectNeverEnlargesAndCentresInTheBounds) {
    EXPECT_EQ(G::fittedRectInBounds({{0, 0}, {100, 100}}, {10, 20}), (Rect{{45, 40}, {10, 20}}));
    // Too wide: the width is cut to the bounds and the height follows.
    EXPECT_EQ(G::fittedRectInBounds({{10, 10}, {100, 100}}, {200, 100}), (Rect{{10, 35}, {100, 50}}));
    // Still too tall after the width was cut: the height is cut as well.
    EXPECT_EQ(G::fittedRectInBounds({{0, 0}, {100, 100}}, {200, 400}), (Rect{{25, 0}, {50, 100}}));
    // Only too tall; the new width comes from the single-precision aspect 0.1f.
    const double width = static_cast<double>(0.1f) * 100;
    EXPECT_EQ(G::fittedRectInBounds({{0, 0}, {100, 100}}, {20, 200}), (Rect{{45, 0}, {width, 100}}));
}

TEST(GeometryUtilitiesTest, ScaledRectEnlargesToTheBoundsAndCentres) {
    EXPECT_EQ(G::scaledRectInBounds({{0, 0}, {100, 50}}, {10, 10}), (Rect{{25, 0}, {50, 50}}));
    EXPECT_EQ(G::scaledRectInBounds({{5, 5}, {100, 100}}, {400, 100}), (Rect{{5, 5 + 37.5}, {100, 25}}));
}

TEST(GeometryUtilitiesTest, RotatePointTurnsCounterClockwiseAboutTheCentre) {
    const Point quarter = G::rotatePoint({1, 0}, {0, 0}, 90);
    EXPECT_NEAR(quarter.x, 0, 1e-12);
    EXPECT_NEAR(quarter.y, 1, 1e-12);
    const Point aboutCentre = G::rotatePoint({3, 3}, {2, 3}, 90);
    EXPECT_NEAR(aboutCentre.x, 2, 1e-12);
    EXPECT_NEAR(aboutCentre.y, 4, 1e-12);
    const Point backwards = G::rotatePoint({3, 3}, {2, 3}, -90);
    EXPECT_NEAR(backwards.x, 2, 1e-12);
    EXPECT_NEAR(backwards.y, 2, 1e-12);
    const Point half = G::rotatePoint({2, 1}, {1, 1}, 180);
    EXPECT_NEAR(half.x, 0, 1e-12);
    EXPECT_NEAR(half.y, 1, 1e-12);
}

TEST(GeometryUtilitiesTest, AngleOfRayCoversAllFourQuadrants) {
    EXPECT_DOUBLE_EQ(G::angleOfRay({1, 1}), kPi / 4);
    EXPECT_DOUBLE_EQ(G::angleOfRay({-1, 1}), 3 * kPi / 4);
    EXPECT_DOUBLE_EQ(G::angleOfRay({-1, -1}), -3 * kPi / 4);
    EXPECT_DOUBLE_EQ(G::angleOfRay({1, -1}), -kPi / 4);
    EXPECT_DOUBLE_EQ(G::angleOfRay({1, 0}), 0);
    EXPECT_DOUBLE_EQ(G::angleOfRay({-1, 0}), kPi);
}

TEST(GeometryUtilitiesTest, AngleOfRayOnTheVerticalAxisIsNearAQuarterTurn) {
    EXPECT_NEAR(G::angleOfRay({0, 1}), kPi / 2, 1e-5);
    EXPECT_NEAR(G::angleOfRay({0, -1}), -kPi / 2, 1e-5);
    EXPECT_DOUBLE_EQ(G::angleOfRay({0, 0}), kPi);
    // Tiny positive x is measured against at least 1e-6.
    EXPECT_NEAR(G::angleOfRay({1e-12, 1}), kPi / 2, 1e-5);
}

TEST(GeometryUtilitiesTest, LengthAndNormalizeLeaveTheZeroVectorAtZero) {
    EXPECT_DOUBLE_EQ(G::length({3, -4}), 5);
    EXPECT_EQ(G::length({0, 0}), 0);
    const Point unit = G::normalize({-3, 4});
    EXPECT_DOUBLE_EQ(unit.x, -0.6);
    EXPECT_DOUBLE_EQ(unit.y, 0.8);
    EXPECT_EQ(G::normalize({0, 0}), (Point{0, 0}));
}

TEST(GeometryUtilitiesTest, RoundRectRoundsEachValueInSinglePrecision) {
    EXPECT_EQ(G::roundRect({{1.4, 1.5}, {2.5, -2.5}}), (Rect{{1, 2}, {3, -3}}));
    // The largest double below one half becomes exactly 0.5 as a float, which rounds up.
    EXPECT_EQ(G::roundRect({{0.49999999999999994, 0}, {0, 0}}).origin.x, 1);
}

}  // namespace
}  // namespace korvane
