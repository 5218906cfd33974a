#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QPixmap>

#include "app/views/BaseSceneView.h"
#include "scene/layers/LayerEditingGeometry.h"
#include "scene/layers/clouds/Box.h"

namespace korvane {

class Cloud;
class CloudsLayer;

// The clouds editor's map: every cloud drawn as the cloud picture stretched over its footprint, the
// selected ones outlined with a handle on each corner. Dragging a corner handle resizes the footprint
// (never below half a unit on either axis), dragging inside a cloud moves it; only the footprint's x
// and y change. A click tells the editor which cloud was hit. Main thread.
class EditCloudLayerSceneView final : public BaseSceneView {
    Q_OBJECT
public:
    // Told of a left click on the map: the topmost cloud under it (null over bare map), and whether
    // Shift or the command key asked to extend the selection.
    using ClickHandler = std::function<void(const std::shared_ptr<Cloud>& cloud, bool extendSelection)>;
    // Told of a double click on a cloud.
    using OpenHandler = std::function<void(const std::shared_ptr<Cloud>& cloud)>;

    // The scene and the layer must outlive the view.
    EditCloudLayerSceneView(Scene& scene, CloudsLayer& layer, QWidget* parent = nullptr);

    void setClickHandler(ClickHandler handler) { clickHandler_ = std::move(handler); }
    void setOpenHandler(OpenHandler handler) { openHandler_ = std::move(handler); }
    // The clouds that show handles and can be resized.
    const std::vector<std::shared_ptr<Cloud>>& selectedClouds() const { return selectedClouds_; }
    void setSelectedClouds(std::vector<std::shared_ptr<Cloud>> clouds);

    // The footprint of a box as a view rectangle.
    Rect viewRectForBox(const Box& box) const;
    // The view point at which a corner handle of a box is drawn.
    Point viewPointForCorner(const Box& box, LayerEditingGeometry::FootprintCorner corner) const;
    bool isDragging() const { return drag_.has_value(); }

protected:
    void drawOverlay(QPainter& painter, const Rect& clip) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    // A drag in progress: the cloud, the corner being dragged (none for a move), and for a move the
    // plan point pressed and the footprint then.
    struct Drag {
        std::shared_ptr<Cloud> cloud;
        std::optional<LayerEditingGeometry::FootprintCorner> corner;
        Point startPlanPoint;
        Box startBox;
    };

    // The corner handle of a selected cloud under a view point; the cloud selected last wins.
    std::optional<Drag> cornerHandleAt(Point viewPoint) const;
    // The topmost (last drawn) cloud whose footprint holds the plan point.
    std::shared_ptr<Cloud> cloudAt(Point planPoint) const;
    const QPixmap& cloudPicture();

    CloudsLayer& layer_;
    std::vector<std::shared_ptr<Cloud>> selectedClouds_;
    std::optional<Drag> drag_;
    ClickHandler clickHandler_;
    OpenHandler openHandler_;
    QPixmap cloudPicture_;
};

}  // namespace korvane
