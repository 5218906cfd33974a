#include "app/views/SceneViewGeometry.h"

#include <algorithm>
#include <cmath>

#include "foundation/GeometryUtilities.h"
#include "scene/layers/LayerEditingGeometry.h"

namespace korvane::SceneViewGeometry {

namespace {
constexpr double kDirtyGrid = 10.0;

// The smallest whole-point rectangle that holds r.
Rect roundedOutwards(const Rect& r) {
    const double x0 = std::floor(r.origin.x), y0 = std::floor(r.origin.y);
    const double x1 = std::ceil(r.origin.x + r.size.width), y1 = std::ceil(r.origin.y + r.size.height);
    return Rect{{x0, y0}, {x1 - x0, y1 - y0}};
}

Rect intersection(const Rect& a, const Rect& b) {
    const double x0 = std::max(a.origin.x, b.origin.x), y0 = std::max(a.origin.y, b.origin.y);
    const double x1 = std::min(a.origin.x + a.size.width, b.origin.x + b.size.width);
    const double y1 = std::min(a.origin.y + a.size.height, b.origin.y + b.size.height);
    if (x1 <= x0 || y1 <= y0) return Rect{};
    return Rect{{x0, y0}, {x1 - x0, y1 - y0}};
}

Rect boundsOf(const std::vector<Point>& points) {
    double x0 = points.front().x, x1 = x0, y0 = points.front().y, y1 = y0;
    for (const Point& p : points) {
        x0 = std::min(x0, p.x), x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
    }
    return Rect{{x0, y0}, {x1 - x0, y1 - y0}};
}
}  // namespace

Rect rectForScene(const Rect& boundsForScene, Size sceneSize) {
    const Rect inset{{boundsForScene.origin.x + kMarginsForSceneRect, boundsForScene.origin.y + kMarginsForSceneRect},
                     {boundsForScene.size.width - 2 * kMarginsForSceneRect,
                      boundsForScene.size.height - 2 * kMarginsForSceneRect}};
    const Size points{sceneSize.width * kPointsPerSceneUnit, sceneSize.height * kPointsPerSceneUnit};
    return roundedOutwards(GeometryUtilities::fittedRectInBounds(inset, points));
}

Rect viewRectForImageRect(const Rect& imageRect, const Rect& rectForScene, Size bitmapSize) {
    if (bitmapSize.width <= 0 || bitmapSize.height <= 0) return Rect{};
    const double kx = rectForScene.size.width / bitmapSize.width;
    const double ky = rectForScene.size.height / bitmapSize.height;
    return Rect{{imageRect.origin.x * kx + rectForScene.origin.x, imageRect.origin.y * ky + rectForScene.origin.y},
                {imageRect.size.width * kx, imageRect.size.height * ky}};
}

DirtyRegion dirtyRegion(const Rect& clip, const Rect& rectForScene, Size bitmapSize) {
    const double x = std::floor(clip.origin.x / kDirtyGrid) * kDirtyGrid;
    const double y = std::floor(clip.origin.y / kDirtyGrid) * kDirtyGrid;
    const double w = std::ceil(clip.size.width / kDirtyGrid) * kDirtyGrid + kDirtyGrid;
    const double h = std::ceil(clip.size.height / kDirtyGrid) * kDirtyGrid + kDirtyGrid;
    DirtyRegion region;
    region.viewRect = roundedOutwards(intersection(Rect{{x, y}, {w, h}}, rectForScene));
    if (region.viewRect.size.width <= 0 || bitmapSize.width <= 0 || rectForScene.size.width <= 0) return {};
    const double k = rectForScene.size.width / bitmapSize.width;
    const Rect image{{(region.viewRect.origin.x - rectForScene.origin.x) / k,
                      (region.viewRect.origin.y - rectForScene.origin.y) / k},
                     {region.viewRect.size.width / k, region.viewRect.size.height / k}};
    region.imageRect = roundedOutwards(intersection(image, Rect{{0, 0}, bitmapSize}));
    return region;
}

CameraOverlay cameraOverlay(const std::string& cameraType, Point fromPlan, Point toPlan, float focal, float angle,
                            float scale, const Rect& rectForScene, Size sceneSize) {
    using LayerEditingGeometry::viewPointForPlanPoint;
    CameraOverlay overlay;
    overlay.toPointEnabled = cameraType != "topdown";
    const Point from = viewPointForPlanPoint(fromPlan, rectForScene, sceneSize);
    const Point to = viewPointForPlanPoint(toPlan, rectForScene, sceneSize);
    const double half = kCameraHandleSize / 2;
    overlay.fromHandle = Rect{{from.x - half, from.y - half}, {kCameraHandleSize, kCameraHandleSize}};
    overlay.toHandle = Rect{{to.x - half, to.y - half}, {kCameraHandleSize, kCameraHandleSize}};
    const double dx = to.x - from.x, dy = to.y - from.y;
    if (cameraType == "perspective" || cameraType == "architect" || cameraType == "angular") {
        const double spread = cameraType == "angular" ? angle / 100.0 : 1.0 / (2.0 * focal);
        overlay.outline = {{to.x + dy * spread, to.y - dx * spread}, {to.x - dy * spread, to.y + dx * spread}, from};
    } else if (cameraType == "orthographic") {
        const double length = std::hypot(dx, dy);
        if (length > 0) {
            const Point n{dy / length * scale * 10.0, dx / length * scale * 10.0};
            overlay.outline = {{from.x - n.x, from.y + n.y}, {from.x + n.x, from.y - n.y},
                               {to.x + n.x, to.y - n.y}, {to.x - n.x, to.y + n.y}};
        }
    } else if (cameraType == "topdown") {
        const Point a = viewPointForPlanPoint({fromPlan.x - scale / 2, fromPlan.y - scale / 2}, rectForScene, sceneSize);
        const Point b = viewPointForPlanPoint({fromPlan.x + scale / 2, fromPlan.y + scale / 2}, rectForScene, sceneSize);
        overlay.outline = {a, {b.x, a.y}, b, {a.x, b.y}};
    }
    if (!overlay.outline.empty()) {
        const Rect bounds = boundsOf(overlay.outline);
        const double m = kCameraFovRedisplayMargin;
        overlay.invalRect = Rect{{bounds.origin.x - m, bounds.origin.y - m},
                                 {bounds.size.width + 2 * m, bounds.size.height + 2 * m}};
    }
    return overlay;
}

}  // namespace korvane::SceneViewGeometry
