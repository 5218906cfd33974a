#include "scene/layers/LayerEditingGeometry.h"

#include <algorithm>
#include <cmath>

namespace korvane::LayerEditingGeometry {

namespace {
// value / extent × target, or 0 when the extent gives no mapping.
double scaled(double value, double extent, double target) {
    if (!(extent > 0)) return 0;
    return value / extent * target;
}

// The coordinate of a direction along one axis: the plan coordinate relative to the scene's centre in
// half extents, clamped to [-1, 1]. A scene without extent on the axis has no direction along it.
double directionComponent(double planCoordinate, double sceneExtent) {
    if (!(sceneExtent > 0)) return 0;
    return std::clamp(2 * planCoordinate / sceneExtent - 1, -1.0, 1.0);
}
}  // namespace

Point planPointForViewPoint(Point viewPoint, const Rect& rectForScene, Size sceneSize) {
    return {scaled(viewPoint.x - rectForScene.origin.x, rectForScene.size.width, sceneSize.width),
            scaled(viewPoint.y - rectForScene.origin.y, rectForScene.size.height, sceneSize.height)};
}

Point viewPointForPlanPoint(Point planPoint, const Rect& rectForScene, Size sceneSize) {
    return {scaled(planPoint.x, sceneSize.width, rectForScene.size.width) + rectForScene.origin.x,
            scaled(planPoint.y, sceneSize.height, rectForScene.size.height) + rectForScene.origin.y};
}

Rect handleRectAroundViewPoint(Point viewPoint) {
    return {{viewPoint.x - kHandleSize / 2, viewPoint.y - kHandleSize / 2}, {kHandleSize, kHandleSize}};
}

Rect angleLabelRectForHandle(const Rect& handleRect) {
    return {{handleRect.origin.x, handleRect.origin.y - kAngleLabelHeight},
            {handleRect.size.width, kAngleLabelHeight}};
}

Rect redisplayRectForHandle(const Rect& handleRect, std::optional<Point> lineEndViewPoint) {
    double minX = handleRect.minX(), minY = handleRect.minY();
    double maxX = handleRect.maxX(), maxY = handleRect.maxY();
    if (lineEndViewPoint) {
        // The line runs from the handle's centre, which lies inside the handle already.
        minX = std::min(minX, lineEndViewPoint->x);
        minY = std::min(minY, lineEndViewPoint->y);
        maxX = std::max(maxX, lineEndViewPoint->x);
        maxY = std::max(maxY, lineEndViewPoint->y);
    }
    return {{minX - kRedisplayMargin, minY - kRedisplayMargin},
            {maxX - minX + 2 * kRedisplayMargin, maxY - minY + 2 * kRedisplayMargin}};
}

Point planPointForLightDirection(Point direction, Size sceneSize) {
    const double halfWidth = sceneSize.width / 2;
    const double halfHeight = sceneSize.height / 2;
    return {halfWidth + direction.x * halfWidth, halfHeight + direction.y * halfHeight};
}

Point lightDirectionForPlanPoint(Point planPoint, Size sceneSize) {
    double u = directionComponent(planPoint.x, sceneSize.width);
    double v = directionComponent(planPoint.y, sceneSize.height);
    // The editor has always measured the length in single precision; the rim is where it says 1.
    const float length = std::sqrt(static_cast<float>(u * u + v * v));
    if (length > 1.0f) {
        u /= length;
        v /= length;
    }
    return {u, v};
}

double zenithAngleDegrees(Point direction) {
    return std::sqrt(direction.x * direction.x + direction.y * direction.y) * 90.0;
}

Point clampedPointLightPosition(Point planPoint, Size sceneSize) {
    return {std::clamp(planPoint.x, 0.0, std::max(sceneSize.width, 0.0)),
            std::clamp(planPoint.y, 0.0, std::max(sceneSize.height, 0.0))};
}

Rect footprintRect(const Box& box) {
    return {{box.start.x, box.start.y},
            {static_cast<double>(box.end.x) - box.start.x, static_cast<double>(box.end.y) - box.start.y}};
}

Point footprintCornerPoint(const Box& box, FootprintCorner corner) {
    switch (corner) {
        case FootprintCorner::TopLeft:
            return {box.start.x, box.start.y};
        case FootprintCorner::TopRight:
            return {box.end.x, box.start.y};
        case FootprintCorner::BottomLeft:
            return {box.start.x, box.end.y};
        case FootprintCorner::BottomRight:
            return {box.end.x, box.end.y};
    }
    return {box.start.x, box.start.y};
}

bool footprintContainsPoint(const Box& box, Point planPoint) {
    const Rect rect = footprintRect(box);
    return planPoint.x >= rect.minX() && planPoint.x <= rect.maxX() && planPoint.y >= rect.minY() &&
           planPoint.y <= rect.maxY();
}

Box boxWithDraggedCorner(const Box& box, FootprintCorner corner, Point planPoint) {
    const float x = static_cast<float>(planPoint.x);
    const float y = static_cast<float>(planPoint.y);
    const bool movesStartX = corner == FootprintCorner::TopLeft || corner == FootprintCorner::BottomLeft;
    const bool movesStartY = corner == FootprintCorner::TopLeft || corner == FootprintCorner::TopRight;
    Box dragged = box;
    if (movesStartX) {
        dragged.start.x = std::min(x, box.end.x - kMinimumFootprintExtent);
    } else {
        dragged.end.x = std::max(x, box.start.x + kMinimumFootprintExtent);
    }
    if (movesStartY) {
        dragged.start.y = std::min(y, box.end.y - kMinimumFootprintExtent);
    } else {
        dragged.end.y = std::max(y, box.start.y + kMinimumFootprintExtent);
    }
    return dragged;
}

Box boxMovedBy(const Box& box, Point offset) {
    const float width = box.end.x - box.start.x;
    const float depth = box.end.y - box.start.y;
    Box moved = box;
    moved.start.x = static_cast<float>(box.start.x + offset.x);
    moved.start.y = static_cast<float>(box.start.y + offset.y);
    moved.end.x = moved.start.x + width;
    moved.end.y = moved.start.y + depth;
    return moved;
}

}  // namespace korvane::LayerEditingGeometry
