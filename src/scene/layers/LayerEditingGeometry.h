#pragma once

#include <optional>

#include "foundation/Geometry.h"
#include "scene/layers/clouds/Box.h"

namespace korvane {

// The geometry behind dragging lights and clouds on the editors' top-down map, free of any UI so
// that the desktop views call it and tests check it. Positions are plan coordinates (y grows
// downwards, like the view's y) unless a name says view. All functions are pure and may be called
// from any thread.
namespace LayerEditingGeometry {

// Side of the square handle drawn over a light's position, in view points.
constexpr double kHandleSize = 16.0;
// Height of the zenith angle label above a dragged direction's handle, in view points.
constexpr double kAngleLabelHeight = 15.0;
// How far around a dragged handle the view is redisplayed, in view points.
constexpr double kRedisplayMargin = 50.0;
// The smallest width and depth a cloud's footprint keeps while a corner is dragged, in scene units.
constexpr float kMinimumFootprintExtent = 0.5f;

// The linear mapping between a view, in which the scene is drawn in rectForScene, and the plan of a
// scene of sceneSize. Where the rectangle or the size has no extent on an axis, every point maps to
// the target's origin on that axis.
Point planPointForViewPoint(Point viewPoint, const Rect& rectForScene, Size sceneSize);
Point viewPointForPlanPoint(Point planPoint, const Rect& rectForScene, Size sceneSize);

// The 16 × 16 handle rectangle centred on a view point.
Rect handleRectAroundViewPoint(Point viewPoint);
// Where the zenith angle is written while a direction is dragged: as wide as the handle, 15 points
// high, its origin the handle's origin moved by -15 in y (above the handle in the flipped view).
Rect angleLabelRectForHandle(const Rect& handleRect);
// The view area to redisplay around a dragged light's handle: the handle joined, for a sun or
// directional light, with the bounds of its line to the scene centre's view point, grown by 50
// points on every side so that the icon, the line and the label are all repainted.
Rect redisplayRectForHandle(const Rect& handleRect, std::optional<Point> lineEndViewPoint);

// Where the handle of a sun or directional light with `direction` (the unit disc, (0, 0) overhead)
// stands on the plan: the scene's centre moved by the direction times half the scene's extent.
Point planPointForLightDirection(Point direction, Size sceneSize);
// The direction that dragging a sun or directional light to planPoint sets: the point relative to
// the scene's centre in half extents, each component clamped to [-1, 1], then pulled back onto the
// rim of the unit disc when it lies outside.
Point lightDirectionForPlanPoint(Point planPoint, Size sceneSize);
// The angle from the zenith, in degrees, that the editor shows while a direction is dragged
// (90 on the rim of the disc).
double zenithAngleDegrees(Point direction);
// The position that dragging a point light to planPoint sets: the point clamped to the scene.
Point clampedPointLightPosition(Point planPoint, Size sceneSize);

// The four corners of a cloud's footprint. Top is the footprint's start y, left its start x.
enum class FootprintCorner { TopLeft, TopRight, BottomLeft, BottomRight };

// A cloud's footprint as a plan rectangle from start to end.
Rect footprintRect(const Box& box);
// The plan position of one corner of the footprint.
Point footprintCornerPoint(const Box& box, FootprintCorner corner);
// Whether planPoint lies inside the footprint, edges included.
bool footprintContainsPoint(const Box& box, Point planPoint);
// The box with one footprint corner moved to planPoint, except that each edge being dragged stops
// kMinimumFootprintExtent short of the opposite edge. The z values stay.
Box boxWithDraggedCorner(const Box& box, FootprintCorner corner, Point planPoint);
// The box with its footprint moved by offset, keeping its width and depth. The z values stay.
Box boxMovedBy(const Box& box, Point offset);

}  // namespace LayerEditingGeometry

}  // namespace korvane
