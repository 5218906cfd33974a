#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <QIcon>

#include "app/views/BaseSceneView.h"
#include "scene/layers/mesh/MeshEditorGeometry.h"

namespace korvane {

class MeshLayer;
class MeshObject;

// The mesh editor's map: its own layer's objects drawn fully opaque, each selected (or not yet
// rendered) object outlined in yellow with its size and rotate handles. A press on a selected
// object's handle resizes or rotates it, a press on an object moves it (selecting it alone first);
// each drag step redraws only the object's area. The selection is shared with the editor's list.
// Main thread.
class EditMeshLayerSceneView final : public BaseSceneView {
    Q_OBJECT
public:
    // The scene and the layer must outlive the view.
    EditMeshLayerSceneView(Scene& scene, MeshLayer& layer, QWidget* parent = nullptr);

    // The selected objects, in the layer's order. Setting it redraws; it sends nothing.
    const std::vector<std::shared_ptr<MeshObject>>& selectedObjects() const { return selection_; }
    void setSelectedObjects(std::vector<std::shared_ptr<MeshObject>> objects);
    bool isSelected(const MeshObject* object) const;

    // What the geometry needs of the layer's objects, in list order, with their selection.
    std::vector<MeshEditorGeometry::Placement> placements() const;
    // The drag in progress, if any.
    std::optional<MeshEditorGeometry::DragKind> dragKind() const;

    bool completeRedrawWhenSceneDidChangeNotificationReceived() const override { return !drag_; }

Q_SIGNALS:
    // A press selected another object.
    void selectionChangedByUser();

protected:
    void drawOverlay(QPainter& painter, const Rect& clip) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    struct Drag {
        MeshEditorGeometry::DragKind kind;
        std::shared_ptr<MeshObject> object;
        Point offset;
    };
    MeshEditorGeometry::Placement placementOf(const MeshObject& object) const;
    void drawObject(QPainter& painter, const MeshObject& object);
    void updateObjectArea(const MeshObject& object);

    MeshLayer& layer_;
    std::vector<std::shared_ptr<MeshObject>> selection_;
    std::optional<Drag> drag_;
    QIcon resizeIcon_;
    QIcon rotateIcon_;
};

}  // namespace korvane
