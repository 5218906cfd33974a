#pragma once

#include <memory>
#include <optional>

#include "app/views/BaseSceneView.h"

namespace korvane {

class BaseLight;
class LightingLayer;

// The lighting editor's map: every light of the layer as a handle with its icon, the sun and the
// directional lights with a yellow line to the scene's centre (the point they shine on from
// straight above at (0, 0)). Dragging a handle moves a point light over the plan, or a directional
// light over the disc of directions, shown as a green disc with the angle from the zenith beside
// the handle. Main thread.
class EditLightingLayerSceneView final : public BaseSceneView {
    Q_OBJECT
public:
    // The scene and the layer must outlive the view.
    EditLightingLayerSceneView(Scene& scene, LightingLayer& layer, QWidget* parent = nullptr);

    // The light's 16 × 16 handle in view coordinates; none for a light of another kind.
    std::optional<Rect> handleRectForLight(const BaseLight& light) const;
    // The light being dragged, or null.
    const std::shared_ptr<BaseLight>& draggedLight() const { return dragged_; }

    // While a light is dragged only the area around its handle is repainted.
    bool completeRedrawWhenSceneDidChangeNotificationReceived() const override { return !dragged_; }

Q_SIGNALS:
    // A press grabbed the light at this position of the layer's list.
    void lightGrabbed(int index);

protected:
    void drawOverlay(QPainter& painter, const Rect& clip) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // The view point of the scene's centre, where a directional light's line ends; none for other lights.
    std::optional<Point> lineEndViewPointForLight(const BaseLight& light) const;
    QRect redisplayRectForLight(const BaseLight& light) const;
    void drawZenithAngleLabel(QPainter& painter, const Rect& handle, Point direction) const;

    LightingLayer& layer_;
    std::shared_ptr<BaseLight> dragged_;
};

}  // namespace korvane
