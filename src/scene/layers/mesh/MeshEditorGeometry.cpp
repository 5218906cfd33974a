#include "scene/layers/mesh/MeshEditorGeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "foundation/GeometryUtilities.h"
#include "scene/layers/LayerEditingGeometry.h"

namespace korvane::MeshEditorGeometry {

namespace {
Point centreOf(const Placement& object, const Rect& rectForScene, Size sceneSize) {
    return LayerEditingGeometry::viewPointForPlanPoint(object.position, rectForScene, sceneSize);
}

Rect squareAround(Point centre, double side) {
    return {{centre.x - side / 2, centre.y - side / 2}, {side, side}};
}

Rect grown(const Rect& r, double margin) {
    return {{r.origin.x - margin, r.origin.y - margin}, {r.size.width + 2 * margin, r.size.height + 2 * margin}};
}

Rect united(const Rect& a, const Rect& b) {
    const double minX = std::min(a.minX(), b.minX());
    const double minY = std::min(a.minY(), b.minY());
    return {{minX, minY}, {std::max(a.maxX(), b.maxX()) - minX, std::max(a.maxY(), b.maxY()) - minY}};
}

bool contains(const Rect& r, Point p) { return p.x >= r.minX() && p.x < r.maxX() && p.y >= r.minY() && p.y < r.maxY(); }
}  // namespace

Size outlineSize(const Placement& object, const Rect& rectForScene, Size sceneSize) {
    const double s = object.scale;
    const Point start = LayerEditingGeometry::viewPointForPlanPoint(
        {object.position.x + s * object.bounds.start.x, object.position.y + s * object.bounds.start.z}, rectForScene,
        sceneSize);
    const Point end = LayerEditingGeometry::viewPointForPlanPoint(
        {object.position.x + s * object.bounds.end.x, object.position.y + s * object.bounds.end.z}, rectForScene,
        sceneSize);
    return {std::fabs(end.x - start.x), std::fabs(end.y - start.y)};
}

Rect hitRect(const Placement& object, const Rect& rectForScene, Size sceneSize) {
    const Size outline = outlineSize(object, rectForScene, sceneSize);
    const double radians = static_cast<double>(object.zRotation) * std::numbers::pi / 180.0;
    const double c = std::fabs(std::cos(radians));
    const double s = std::fabs(std::sin(radians));
    // The rotated rectangle's bounding box is the same whichever way it turns.
    const double width = outline.width * c + outline.height * s;
    const double height = outline.width * s + outline.height * c;
    const Point centre = centreOf(object, rectForScene, sceneSize);
    return grown({{centre.x - width / 2, centre.y - height / 2}, {width, height}}, kHitMargin);
}

Rect sizeHandleRect(const Placement& object, const Rect& rectForScene, Size sceneSize) {
    const Point centre = centreOf(object, rectForScene, sceneSize);
    return squareAround({centre.x, centre.y + kSizeHandleDistancePerScale * object.scale}, kHandleSize);
}

Rect rotateHandleRect(const Placement& object, const Rect& rectForScene, Size sceneSize) {
    const Point centre = centreOf(object, rectForScene, sceneSize);
    const Point turned = GeometryUtilities::rotatePoint({0, kRotateHandleDistance}, {0, 0}, object.zRotation);
    return squareAround({centre.x + turned.x, centre.y + turned.y}, kHandleSize);
}

Rect redrawRect(const Placement& object, const Rect& rectForScene, Size sceneSize) {
    Rect area = grown(hitRect(object, rectForScene, sceneSize), kRedrawMargin);
    area = united(area, grown(sizeHandleRect(object, rectForScene, sceneSize), kHandleRedrawMargin));
    return united(area, grown(rotateHandleRect(object, rectForScene, sceneSize), kHandleRedrawMargin));
}

std::optional<Press> pressAt(Point viewPoint, const std::vector<Placement>& objects, const Rect& rectForScene,
                             Size sceneSize) {
    for (size_t i = 0; i < objects.size(); ++i) {
        if (!objects[i].selected) continue;
        if (contains(sizeHandleRect(objects[i], rectForScene, sceneSize), viewPoint)) return Press{DragKind::Resize, i, {}};
        if (contains(rotateHandleRect(objects[i], rectForScene, sceneSize), viewPoint)) return Press{DragKind::Rotate, i, {}};
    }
    for (size_t i = 0; i < objects.size(); ++i) {
        const Rect hit = hitRect(objects[i], rectForScene, sceneSize);
        if (contains(hit, viewPoint)) return Press{DragKind::Move, i, {hit.midX() - viewPoint.x, hit.midY() - viewPoint.y}};
    }
    return std::nullopt;
}

Point positionForMove(Point pointer, Point offset, const Rect& rectForScene, Size sceneSize) {
    return LayerEditingGeometry::planPointForViewPoint({pointer.x + offset.x, pointer.y + offset.y}, rectForScene,
                                                       sceneSize);
}

float scaleForResize(Point pointer, Point centre) {
    const auto scale = static_cast<float>((pointer.y - centre.y) / kSizeHandleDistancePerScale);
    return std::clamp(scale, kSmallestScale, kLargestScale);
}

float zRotationForRotate(Point pointer, Point centre) {
    const double radians = GeometryUtilities::angleOfRay({centre.x - pointer.x, centre.y - pointer.y});
    return static_cast<float>(radians * 180.0 / std::numbers::pi + 90.0);
}

}  // namespace korvane::MeshEditorGeometry
