#pragma once

#include <string>
#include <vector>

#include "foundation/Geometry.h"

namespace korvane {

// The geometry of the top-down scene views, free of any widget so that tests check it directly:
// where the scene lies in a view, and the camera's field-of-view overlay. View coordinates are
// flipped (y grows downwards), like plan coordinates. Pure functions, any thread.
namespace SceneViewGeometry {

// The gap between the area available to the scene and the scene.
constexpr double kMarginsForSceneRect = 10.0;
// The scene is never drawn larger than this many view points per scene unit.
constexpr double kPointsPerSceneUnit = 100.0;
// The side of the camera's point handles.
constexpr double kCameraHandleSize = 16.0;
// How far the redisplayed area reaches beyond the field-of-view outline.
constexpr double kCameraFovRedisplayMargin = 40.0;

// The scene of sceneSize fitted into boundsForScene less the margins: shrunk (never enlarged
// beyond 100 points per unit) keeping its aspect, centred, rounded outwards to whole points.
Rect rectForScene(const Rect& boundsForScene, Size sceneSize);

// A bitmap of bitmapSize over the scene rectangle: the view rectangle a bitmap rectangle (drawing
// coordinates, origin at the lower-left corner shown at the top) covers, and back.
Rect viewRectForImageRect(const Rect& imageRect, const Rect& rectForScene, Size bitmapSize);

// The dirty region of a redraw: clip snapped outwards to a 10-point grid and limited to the scene
// (D), and its counterpart in the bitmap (S, drawing coordinates limited to the bitmap). Empty when
// the clip misses the scene.
struct DirtyRegion {
    Rect viewRect;
    Rect imageRect;
};
DirtyRegion dirtyRegion(const Rect& clip, const Rect& rectForScene, Size bitmapSize);

// The camera's field-of-view outline in view coordinates for a camera type ("perspective",
// "architect", "angular", "orthographic", "topdown"): a polygon (closed), empty for other types.
struct CameraOverlay {
    std::vector<Point> outline;
    bool toPointEnabled = true;
    Rect fromHandle;
    Rect toHandle;
    // The outline's bounds grown by the redisplay margin (the zero rectangle without an outline).
    Rect invalRect;
};
CameraOverlay cameraOverlay(const std::string& cameraType, Point fromPlan, Point toPlan, float focal, float angle,
                            float scale, const Rect& rectForScene, Size sceneSize);

}  // namespace SceneViewGeometry

}  // namespace korvane
