#pragma once

#include "app/views/BaseSceneView.h"
#include "app/views/SceneViewGeometry.h"

namespace korvane {

class CameraLayer;

// The camera editor's map: the edited camera's field of view drawn in full, the eye handle with the
// camera icon and (for every type but "topdown") the target handle. Dragging a handle moves its
// point over the plan, kept inside the scene; while a point is dragged only the area around the
// field of view is repainted. Main thread.
class EditCameraLayerSceneView final : public BaseSceneView {
    Q_OBJECT
public:
    enum class DraggedPoint { None, Eye, Target };

    // The scene and the camera must outlive the view.
    EditCameraLayerSceneView(Scene& scene, CameraLayer& camera, QWidget* parent = nullptr);

    DraggedPoint draggedPoint() const { return dragged_; }
    // The camera's field of view and handles in this view's coordinates.
    SceneViewGeometry::CameraOverlay cameraOverlay() const;

    // A dragged point repaints only what it moved (see mouseMoveEvent); every other change repaints all.
    bool completeRedrawWhenSceneDidChangeNotificationReceived() const override {
        return dragged_ == DraggedPoint::None;
    }

protected:
    void drawOverlay(QPainter& painter, const Rect& clip) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // The area the field of view and both handles (with the eye's icon) cover.
    QRect redisplayRect() const;

    CameraLayer& camera_;
    DraggedPoint dragged_ = DraggedPoint::None;
};

}  // namespace korvane
