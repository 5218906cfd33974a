#include "app/editors/camera/EditCameraLayerSceneView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "app/shell/AppResources.h"
#include "scene/Scene.h"
#include "scene/layers/LayerEditingGeometry.h"
#include "scene/layers/camera/CameraLayer.h"

namespace korvane {

namespace {

bool rectContainsPoint(const Rect& rect, Point p) {
    return p.x >= rect.minX() && p.x < rect.maxX() && p.y >= rect.minY() && p.y < rect.maxY();
}

// How far the eye's icon, drawn to the right of its handle, and the handles' shadows reach beyond
// the handles.
constexpr double kHandleDecorationMargin = 40.0;

QRectF grownHandle(const Rect& handle) {
    return toQRectF(handle).adjusted(-kHandleDecorationMargin, -kHandleDecorationMargin,
                                     kHandleDecorationMargin, kHandleDecorationMargin);
}

}  // namespace

EditCameraLayerSceneView::EditCameraLayerSceneView(Scene& scene, CameraLayer& camera, QWidget* parent)
    : BaseSceneView(scene, parent), camera_(camera) {
    setObjectName(QStringLiteral("EditCameraLayerSceneView"));
}

SceneViewGeometry::CameraOverlay EditCameraLayerSceneView::cameraOverlay() const {
    return SceneViewGeometry::cameraOverlay(camera_.cameraType(), camera_.fromPoint(), camera_.toPoint(),
                                            camera_.focal(), camera_.angle(), camera_.scale(), rectForScene(),
                                            scene().size());
}

void EditCameraLayerSceneView::drawOverlay(QPainter& painter, const Rect&) {
    drawMeshObjects(painter);
    const SceneViewGeometry::CameraOverlay overlay = cameraOverlay();
    if (!overlay.outline.empty()) {
        // The other editors show the camera faintly; here it is the subject and is drawn in full.
        QPainterPath path;
        path.moveTo(overlay.outline.front().x, overlay.outline.front().y);
        for (size_t i = 1; i < overlay.outline.size(); ++i)
            path.lineTo(overlay.outline[i].x, overlay.outline[i].y);
        path.closeSubpath();
        painter.save();
        painter.setPen(QPen(QColor(0, 255, 0), 2));
        painter.setBrush(QColor(0, 255, 0, 40));
        painter.drawPath(path);
        painter.restore();
    }
    const QIcon icon = korvaneIcon(camera_.icon());
    drawHandle(painter, overlay.fromHandle, &icon);
    if (overlay.toPointEnabled) drawHandle(painter, overlay.toHandle);
}

QRect EditCameraLayerSceneView::redisplayRect() const {
    const SceneViewGeometry::CameraOverlay overlay = cameraOverlay();
    QRectF area = grownHandle(overlay.fromHandle).united(grownHandle(overlay.toHandle));
    if (!overlay.outline.empty()) area = area.united(toQRectF(overlay.invalRect));
    return area.toAlignedRect();
}

void EditCameraLayerSceneView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || isPanButton(event)) {
        BaseSceneView::mousePressEvent(event);
        return;
    }
    const Point p{event->position().x(), event->position().y()};
    const SceneViewGeometry::CameraOverlay overlay = cameraOverlay();
    // The eye wins where the two handles overlap; a "topdown" camera has no target to grab.
    if (rectContainsPoint(overlay.fromHandle, p)) {
        dragged_ = DraggedPoint::Eye;
    } else if (overlay.toPointEnabled && rectContainsPoint(overlay.toHandle, p)) {
        dragged_ = DraggedPoint::Target;
    }
}

void EditCameraLayerSceneView::mouseMoveEvent(QMouseEvent* event) {
    if (dragged_ == DraggedPoint::None) {
        BaseSceneView::mouseMoveEvent(event);
        return;
    }
    // The point stays on the scene, clamped like a dragged point light.
    const Point plan = LayerEditingGeometry::clampedPointLightPosition(
        convertViewPointToScenePoint({event->position().x(), event->position().y()}), scene().size());
    // Both the old and the new drawing are repainted, so that no trace of the old field of view stays.
    const QRect before = redisplayRect();
    if (dragged_ == DraggedPoint::Eye) {
        camera_.setFromPoint(plan);
    } else {
        camera_.setToPoint(plan);
    }
    update(before);
    update(redisplayRect());
}

void EditCameraLayerSceneView::mouseReleaseEvent(QMouseEvent* event) {
    if (dragged_ == DraggedPoint::None) {
        BaseSceneView::mouseReleaseEvent(event);
        return;
    }
    dragged_ = DraggedPoint::None;
    updateView();
}

}  // namespace korvane
