#include <gtest/gtest.h>

#include "scene/layers/mesh/MeshEditorGeometry.h"

namespace korvane {
namespace {

namespace geometry = MeshEditorGeometry;

// A 10 × 10 scene drawn at 50 points per unit from the view's origin.
const Rect kRectForScene{{0, 0}, {500, 500}};
const Size kSceneSize{10, 10};

geometry::Placement placementAt(Point position, float scale = 1, float zRotation = 0, bool selected = true) {
    return {position, scale, zRotation, Box{{-0.5f, -0.25f, -0.25f}, {0.5f, 0.25f, 0.25f}}, selected};
}

TEST(MeshEditorGeometryTest, SizeHandleDragsSetClampedScales) {
    const Point centre{200, 200};
    EXPECT_FLOAT_EQ(geometry::scaleForResize({200, 450}, centre), 5.0f);
    EXPECT_FLOAT_EQ(geometry::scaleForResize({200, 900}, centre), 5.0f);
    EXPECT_FLOAT_EQ(geometry::scaleForResize({200, 100}, centre), 0.1f);
    EXPECT_FLOAT_EQ(geometry::scaleForResize({260, 200}, centre), 0.1f);
    EXPECT_FLOAT_EQ(geometry::scaleForResize({0, 300}, centre), 2.0f);
}

TEST(MeshEditorGeometryTest, RotateHandleFollowsThePointer) {
    const Point centre{200, 200};
    EXPECT_NEAR(geometry::zRotationForRotate({300, 200}, centre), 270.0f, 1e-4);
    EXPECT_NEAR(geometry::zRotationForRotate({200, 300}, centre), 0.0f, 1e-4);
    EXPECT_NEAR(geometry::zRotationForRotate({100, 200}, centre), 90.0f, 1e-4);
    // Straight above lies at the far end of the range, just inside (−90, 270].
    const float above = geometry::zRotationForRotate({200, 100}, centre);
    EXPECT_GT(above, -90.0f);
    EXPECT_LE(above, 270.0f);
    // Dragging to where the handle would stand for a rotation puts it there.
    for (float degrees : {0.0f, 45.0f, 135.0f, 260.0f}) {
        auto object = placementAt({4, 4}, 1, degrees);
        const Rect handle = geometry::rotateHandleRect(object, kRectForScene, kSceneSize);
        EXPECT_NEAR(geometry::zRotationForRotate({handle.midX(), handle.midY()}, {200, 200}), degrees, 1e-3);
    }
}

TEST(MeshEditorGeometryTest, HandlesStandBelowTheCentre) {
    const auto object = placementAt({4, 4}, 2);
    EXPECT_EQ(geometry::sizeHandleRect(object, kRectForScene, kSceneSize), (Rect{{192, 292}, {16, 16}}));
    const Rect rotate = geometry::rotateHandleRect(object, kRectForScene, kSceneSize);
    EXPECT_NEAR(rotate.midX(), 200, 1e-9);
    EXPECT_NEAR(rotate.midY(), 300, 1e-9);
    EXPECT_EQ(rotate.size, (Size{16, 16}));
}

TEST(MeshEditorGeometryTest, OutlineAndHitRectangleFollowBoundsScaleAndRotation) {
    const auto object = placementAt({4, 4}, 2);
    EXPECT_EQ(geometry::outlineSize(object, kRectForScene, kSceneSize), (Size{100, 50}));
    EXPECT_EQ(geometry::hitRect(object, kRectForScene, kSceneSize), (Rect{{140, 165}, {120, 70}}));
    const Rect turned = geometry::hitRect(placementAt({4, 4}, 2, 90), kRectForScene, kSceneSize);
    EXPECT_NEAR(turned.size.width, 70, 1e-9);
    EXPECT_NEAR(turned.size.height, 120, 1e-9);
    const Rect redraw = geometry::redrawRect(object, kRectForScene, kSceneSize);
    EXPECT_NEAR(redraw.minX(), 130, 1e-9);
    EXPECT_NEAR(redraw.maxY(), 308 + 34, 1e-9);
}

TEST(MeshEditorGeometryTest, PressesPickHandlesOfSelectedObjectsThenTheFirstHitObject) {
    std::vector<geometry::Placement> objects = {placementAt({4, 4}, 1, 0, false), placementAt({4, 4}, 1, 0, true)};
    // The size handle of the selected second object wins over the first object's body.
    auto resize = geometry::pressAt({200, 250}, objects, kRectForScene, kSceneSize);
    ASSERT_TRUE(resize);
    EXPECT_EQ(resize->kind, geometry::DragKind::Resize);
    EXPECT_EQ(resize->objectIndex, 1u);
    auto rotate = geometry::pressAt({205, 300}, objects, kRectForScene, kSceneSize);
    ASSERT_TRUE(rotate);
    EXPECT_EQ(rotate->kind, geometry::DragKind::Rotate);
    // The body: the first object in list order, with the offset to its hit rectangle's centre.
    auto move = geometry::pressAt({190, 195}, objects, kRectForScene, kSceneSize);
    ASSERT_TRUE(move);
    EXPECT_EQ(move->kind, geometry::DragKind::Move);
    EXPECT_EQ(move->objectIndex, 0u);
    EXPECT_EQ(move->offset, (Point{10, 5}));
    EXPECT_FALSE(geometry::pressAt({450, 450}, objects, kRectForScene, kSceneSize));
    // The move puts the centre where pointer and offset say, unclamped.
    EXPECT_EQ(geometry::positionForMove({590, 595}, move->offset, kRectForScene, kSceneSize), (Point{12, 12}));
}

}  // namespace
}  // namespace korvane
