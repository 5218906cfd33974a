#pragma once

#include <optional>
#include <vector>

#include "foundation/Geometry.h"
#include "scene/layers/clouds/Box.h"

namespace korvane {

// The geometry behind placing objects in the mesh editor's top-down view, free of any UI so that
// the desktop view calls it and tests check it. View coordinates grow downwards; sizes are view
// points. The view draws the scene's plan in rectForScene. All functions are pure; any thread.
namespace MeshEditorGeometry {

// Side of the size and rotate handles.
constexpr double kHandleSize = 16.0;
// The size handle stands this many points below the centre per unit of scale.
constexpr double kSizeHandleDistancePerScale = 50.0;
// The rotate handle's distance from the centre.
constexpr double kRotateHandleDistance = 100.0;
// How far the hit rectangle reaches beyond the outline.
constexpr double kHitMargin = 10.0;
// Extra margins of the area redrawn around a dragged object and its handles.
constexpr double kRedrawMargin = 10.0;
constexpr double kHandleRedrawMargin = 34.0;
// The scales a drag of the size handle can set.
constexpr float kSmallestScale = 0.1f;
constexpr float kLargestScale = 5.0f;

// What the view needs of one object.
struct Placement {
    Point position;  // plan
    float scale = 1.0f;
    float zRotation = 0.0f;  // degrees
    Box bounds;              // object coordinates
    bool selected = false;
};

// The outline's width and height: the view extents of the object's ground-plane bounds (x and z)
// scaled and set at its position. It is drawn centred on the origin, rotated by zRotation and moved
// to the view point of the position.
Size outlineSize(const Placement& object, const Rect& rectForScene, Size sceneSize);
// The bounding box of the rotated outline at the object's view point, grown by kHitMargin.
Rect hitRect(const Placement& object, const Rect& rectForScene, Size sceneSize);
// The 16 × 16 square centred 50 × scale below the object's view point.
Rect sizeHandleRect(const Placement& object, const Rect& rectForScene, Size sceneSize);
// The 16 × 16 square centred on (0, 100) rotated about the origin by zRotation degrees and moved to
// the object's view point (100 below the centre at rotation 0).
Rect rotateHandleRect(const Placement& object, const Rect& rectForScene, Size sceneSize);
// The area to redraw before and after a drag step: the hit rectangle grown by a further 10,
// united with both handle squares grown by 34.
Rect redrawRect(const Placement& object, const Rect& rectForScene, Size sceneSize);

enum class DragKind { Resize, Rotate, Move };

// What a mouse press starts.
struct Press {
    DragKind kind = DragKind::Move;
    size_t objectIndex = 0;
    // Move only: from the press to the centre of the object's hit rectangle.
    Point offset;
};

// The objects in list order: a press on the size handle of a selected object starts a resize, else
// on its rotate handle a rotation; failing both, the first object whose hit rectangle holds the
// press starts a move. None when the press hits nothing.
std::optional<Press> pressAt(Point viewPoint, const std::vector<Placement>& objects, const Rect& rectForScene,
                             Size sceneSize);

// The plan position a move sets: the scene point of pointer + offset, not clamped.
Point positionForMove(Point pointer, Point offset, const Rect& rectForScene, Size sceneSize);
// The scale a resize sets: (pointer y − centre y) / 50, clamped to 0.1…5.0.
float scaleForResize(Point pointer, Point centre);
// The rotation a rotate drag sets, in (−90, 270] degrees: the angle of the vector from the pointer
// to the centre plus 90, so that the rotate handle follows the pointer.
float zRotationForRotate(Point pointer, Point centre);

}  // namespace MeshEditorGeometry

}  // namespace korvane
