// The map-dragging geometry of the lighting and clouds editors: view and plan points, light
// directions on the unit disc, point light clamping and the cloud footprint's minimum extent.
#include "scene/layers/LayerEditingGeometry.h"

#include <cmath>

#include <gtest/gtest.h>

namespace korvane {
namespace {

using namespace LayerEditingGeometry;

constexpr Size kScene{10, 20};

TEST(LayerEditingGeometryTest, ViewAndPlanPointsMapLinearlyThroughTheSceneRectangle) {
    const Rect rectForScene{{50, 30}, {200, 400}};
    EXPECT_EQ(planPointForViewPoint({50, 30}, rectForScene, kScene), (Point{0, 0}));
    EXPECT_EQ(planPointForViewPoint({250, 430}, rectForScene, kScene), (Point{10, 20}));
    EXPECT_EQ(planPointForViewPoint({100, 130}, rectForScene, kScene), (Point{2.5, 5}));
    EXPECT_EQ(viewPointForPlanPoint({2.5, 5}, rectForScene, kScene), (Point{100, 130}));
    // A view with nothing drawn yet, or a scene of no size, maps to the origin instead of NaN.
    EXPECT_EQ(planPointForViewPoint({10, 10}, Rect{}, kScene), (Point{0, 0}));
    EXPECT_EQ(viewPointForPlanPoint({3, 3}, rectForScene, Size{}), (Point{50, 30}));
}

TEST(LayerEditingGeometryTest, HandleIsSixteenPointsCentredOnItsPoint) {
    EXPECT_EQ(handleRectAroundViewPoint({100, 40}), (Rect{{92, 32}, {16, 16}}));
}

TEST(LayerEditingGeometryTest, AngleLabelSitsAboveTheHandle) {
    EXPECT_EQ(angleLabelRectForHandle({{92, 32}, {16, 16}}), (Rect{{92, 17}, {16, 15}}));
}

TEST(LayerEditingGeometryTest, RedisplayCoversTheHandleAndItsLineWithAMargin) {
    const Rect handle{{92, 32}, {16, 16}};
    EXPECT_EQ(redisplayRectForHandle(handle, std::nullopt), (Rect{{42, -18}, {116, 116}}));
    const Point centre{300, 10};
    EXPECT_EQ(redisplayRectForHandle(handle, centre), (Rect{{42, -40}, {308, 138}}));
    const Point inside{100, 40};
    EXPECT_EQ(redisplayRectForHandle(handle, inside), (Rect{{42, -18}, {116, 116}}));
}

TEST(LayerEditingGeometryTest, DirectionHandleStandsOnTheSceneCentreMovedByHalfExtents) {
    EXPECT_EQ(planPointForLightDirection({0, 0}, kScene), (Point{5, 10}));
    EXPECT_EQ(planPointForLightDirection({-0.5, 0.5}, kScene), (Point{2.5, 15}));
    EXPECT_EQ(planPointForLightDirection({1, -1}, kScene), (Point{10, 0}));
}

TEST(LayerEditingGeometryTest, SunDraggedToTheCentreIsOverhead) {
    EXPECT_EQ(lightDirectionForPlanPoint({5, 10}, kScene), (Point{0, 0}));
    EXPECT_EQ(lightDirectionForPlanPoint({2.5, 15}, kScene), (Point{-0.5, 0.5}));
}

TEST(LayerEditingGeometryTest, DirectionDraggedBeyondTheDiscStaysOnTheRim) {
    // Outside the scene: each component is clamped to 1 first, then pulled back onto the rim.
    Point corner = lightDirectionForPlanPoint({40, 90}, kScene);
    EXPECT_NEAR(corner.x, std::sqrt(0.5), 1e-7);
    EXPECT_NEAR(corner.y, std::sqrt(0.5), 1e-7);
    EXPECT_NEAR(std::hypot(corner.x, corner.y), 1.0, 1e-7);
    // On an axis the rim is reached exactly.
    EXPECT_EQ(lightDirectionForPlanPoint({-30, 10}, kScene), (Point{-1, 0}));
    // Inside the scene's corner region but outside the disc: (0.8, 0.8) has length 1.13.
    Point inside = lightDirectionForPlanPoint({9, 18}, kScene);
    EXPECT_NEAR(inside.x, 0.8 / std::sqrt(1.28), 1e-6);
    EXPECT_NEAR(inside.y, inside.x, 1e-12);
}

TEST(LayerEditingGeometryTest, DirectionOfADegenerateSceneIsOverhead) {
    EXPECT_EQ(lightDirectionForPlanPoint({3, 4}, Size{}), (Point{0, 0}));
}

TEST(LayerEditingGeometryTest, ZenithAngleIsNinetyDegreesOnTheRim) {
    EXPECT_DOUBLE_EQ(zenithAngleDegrees({0, 0}), 0.0);
    EXPECT_DOUBLE_EQ(zenithAngleDegrees({0.6, -0.8}), 90.0);
    EXPECT_DOUBLE_EQ(zenithAngleDegrees({0.5, 0}), 45.0);
}

TEST(LayerEditingGeometryTest, PointLightIsClampedToTheScene) {
    EXPECT_EQ(clampedPointLightPosition({3, 4}, kScene), (Point{3, 4}));
    EXPECT_EQ(clampedPointLightPosition({-1, 25}, kScene), (Point{0, 20}));
    EXPECT_EQ(clampedPointLightPosition({11, -0.5}, kScene), (Point{10, 0}));
    EXPECT_EQ(clampedPointLightPosition({3, 4}, Size{}), (Point{0, 0}));
}

TEST(LayerEditingGeometryTest, FootprintIsThePlanRectangleFromStartToEnd) {
    const Box box{{4, 4, 0.5f}, {9, 7, 2.5f}};
    EXPECT_EQ(footprintRect(box), (Rect{{4, 4}, {5, 3}}));
    EXPECT_EQ(footprintCornerPoint(box, FootprintCorner::TopLeft), (Point{4, 4}));
    EXPECT_EQ(footprintCornerPoint(box, FootprintCorner::TopRight), (Point{9, 4}));
    EXPECT_EQ(footprintCornerPoint(box, FootprintCorner::BottomLeft), (Point{4, 7}));
    EXPECT_EQ(footprintCornerPoint(box, FootprintCorner::BottomRight), (Point{9, 7}));
    EXPECT_TRUE(footprintContainsPoint(box, {4, 7}));
    EXPECT_TRUE(footprintContainsPoint(box, {6, 5}));
    EXPECT_FALSE(footprintContainsPoint(box, {3.9, 5}));
    EXPECT_FALSE(footprintContainsPoint(box, {6, 7.1}));
}

TEST(LayerEditingGeometryTest, DraggedCornerMovesOnlyItsTwoEdges) {
    const Box box{{4, 4, 0.5f}, {9, 9, 2.5f}};
    EXPECT_EQ(boxWithDraggedCorner(box, FootprintCorner::TopLeft, {2, 3}), (Box{{2, 3, 0.5f}, {9, 9, 2.5f}}));
    EXPECT_EQ(boxWithDraggedCorner(box, FootprintCorner::TopRight, {10, 1}),
              (Box{{4, 1, 0.5f}, {10, 9, 2.5f}}));
    EXPECT_EQ(boxWithDraggedCorner(box, FootprintCorner::BottomLeft, {5, 12}),
              (Box{{5, 4, 0.5f}, {9, 12, 2.5f}}));
    EXPECT_EQ(boxWithDraggedCorner(box, FootprintCorner::BottomRight, {6, 6}),
              (Box{{4, 4, 0.5f}, {6, 6, 2.5f}}));
}

TEST(LayerEditingGeometryTest, CornerDraggedPastTheOppositeCornerLeavesHalfAUnit) {
    const Box box{{4, 4, 0.5f}, {9, 9, 2.5f}};
    const Box past = boxWithDraggedCorner(box, FootprintCorner::BottomRight, {1, 2});
    EXPECT_EQ(past, (Box{{4, 4, 0.5f}, {4.5f, 4.5f, 2.5f}}));
    EXPECT_EQ(footprintRect(past).size, (Size{0.5, 0.5}));
    const Box pastStart = boxWithDraggedCorner(box, FootprintCorner::TopLeft, {20, 8.75});
    EXPECT_EQ(pastStart, (Box{{8.5f, 8.5f, 0.5f}, {9, 9, 2.5f}}));
    // Only the axis that crosses stops; the other follows the pointer.
    EXPECT_EQ(boxWithDraggedCorner(box, FootprintCorner::TopRight, {4.2, 0}),
              (Box{{4, 0, 0.5f}, {4.5f, 9, 2.5f}}));
}

TEST(LayerEditingGeometryTest, MovedFootprintKeepsItsSizeAndHeights) {
    const Box box{{4, 4, 0.5f}, {9, 6, 2.5f}};
    EXPECT_EQ(boxMovedBy(box, {-1.5, 2}), (Box{{2.5f, 6, 0.5f}, {7.5f, 8, 2.5f}}));
    EXPECT_EQ(boxMovedBy(box, {0, 0}), box);
    const Box moved = boxMovedBy(box, {0.1, 0.3});
    EXPECT_FLOAT_EQ(moved.end.x - moved.start.x, 5.0f);
    EXPECT_FLOAT_EQ(moved.end.y - moved.start.y, 2.0f);
}

}  // namespace
}  // namespace korvane
