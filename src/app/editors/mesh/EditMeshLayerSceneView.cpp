#include "app/editors/mesh/EditMeshLayerSceneView.h"

#include <algorithm>

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "app/render/RenderImages.h"
#include "app/shell/AppResources.h"
#include "scene/Scene.h"
#include "scene/layers/mesh/MeshLayer.h"
#include "scene/layers/mesh/MeshObject.h"

namespace korvane {

namespace {
constexpr double kOutlineCornerRadius = 3.0;
const QColor kOutlineFill(255, 255, 0, 128);
}  // namespace

EditMeshLayerSceneView::EditMeshLayerSceneView(Scene& scene, MeshLayer& layer, QWidget* parent)
    : BaseSceneView(scene, parent),
      layer_(layer),
      resizeIcon_(korvaneIcon("ResizeHandleIcon")),
      rotateIcon_(korvaneIcon("RotateHandleIcon")) {}

void EditMeshLayerSceneView::setSelectedObjects(std::vector<std::shared_ptr<MeshObject>> objects) {
    selection_ = std::move(objects);
    updateView();
}

bool EditMeshLayerSceneView::isSelected(const MeshObject* object) const {
    return std::any_of(selection_.begin(), selection_.end(), [object](const auto& s) { return s.get() == object; });
}

MeshEditorGeometry::Placement EditMeshLayerSceneView::placementOf(const MeshObject& object) const {
    return {object.position(), object.scale(), object.zRotation(), object.bounds(), isSelected(&object)};
}

std::vector<MeshEditorGeometry::Placement> EditMeshLayerSceneView::placements() const {
    std::vector<MeshEditorGeometry::Placement> result;
    for (const auto& object : layer_.meshObjects()) result.push_back(placementOf(*object));
    return result;
}

std::optional<MeshEditorGeometry::DragKind> EditMeshLayerSceneView::dragKind() const {
    if (!drag_) return std::nullopt;
    return drag_->kind;
}

void EditMeshLayerSceneView::drawOverlay(QPainter& painter, const Rect&) {
    for (const auto& object : layer_.meshObjects()) drawObject(painter, *object);
    drawCameraView(painter);
}

void EditMeshLayerSceneView::drawObject(QPainter& painter, const MeshObject& object) {
    const Rect scene = rectForScene();
    const Size sceneSize = this->scene().size();
    const MeshEditorGeometry::Placement placement = placementOf(object);
    const Point centre = convertScenePointToViewPoint(object.position());
    const QImage thumbnail =
        object.topDownThumbnail() ? qImageFromRenderBitmap(*object.topDownThumbnail()) : QImage();

    painter.save();
    painter.translate(centre.x, centre.y);
    painter.rotate(object.zRotation());
    if (thumbnail.isNull() || placement.selected) {
        const Size outline = MeshEditorGeometry::outlineSize(placement, scene, sceneSize);
        QPainterPath path;
        path.addRoundedRect(QRectF(-outline.width / 2, -outline.height / 2, outline.width, outline.height),
                            kOutlineCornerRadius, kOutlineCornerRadius);
        painter.fillPath(path, kOutlineFill);
    }
    if (!thumbnail.isNull()) {
        // The thumbnail covers the object's scale on the plan, as on the other editors' maps, but
        // fully opaque: this editor is about these objects.
        const Point p = object.position();
        const float s = object.scale();
        const Point a = convertScenePointToViewPoint({p.x - s / 2, p.y - s / 2});
        const Point b = convertScenePointToViewPoint({p.x + s / 2, p.y + s / 2});
        const double w = b.x - a.x, h = b.y - a.y;
        painter.scale(1, -1);
        painter.drawImage(QRectF(-w / 2, -h / 2, w, h), thumbnail);
    }
    painter.restore();

    if (placement.selected) {
        drawHandle(painter, MeshEditorGeometry::sizeHandleRect(placement, scene, sceneSize), &resizeIcon_);
        drawHandle(painter, MeshEditorGeometry::rotateHandleRect(placement, scene, sceneSize), &rotateIcon_);
    }
}

void EditMeshLayerSceneView::updateObjectArea(const MeshObject& object) {
    const Rect area = MeshEditorGeometry::redrawRect(placementOf(object), rectForScene(), scene().size());
    update(toQRectF(area).toAlignedRect());
}

void EditMeshLayerSceneView::mousePressEvent(QMouseEvent* event) {
    if (isPanButton(event) || event->button() != Qt::LeftButton) {
        BaseSceneView::mousePressEvent(event);
        return;
    }
    const Point pointer{event->position().x(), event->position().y()};
    const auto& objects = layer_.meshObjects();
    const std::optional<MeshEditorGeometry::Press> press =
        MeshEditorGeometry::pressAt(pointer, placements(), rectForScene(), scene().size());
    if (!press || press->objectIndex >= objects.size()) return;
    const std::shared_ptr<MeshObject> object = objects[press->objectIndex];
    drag_ = Drag{press->kind, object, press->offset};
    if (press->kind == MeshEditorGeometry::DragKind::Move && !isSelected(object.get())) {
        const auto previous = selection_;
        selection_ = {object};
        for (const auto& old : previous) updateObjectArea(*old);
        updateObjectArea(*object);
        Q_EMIT selectionChangedByUser();
    }
}

void EditMeshLayerSceneView::mouseMoveEvent(QMouseEvent* event) {
    if (!drag_) {
        BaseSceneView::mouseMoveEvent(event);
        return;
    }
    const Point pointer{event->position().x(), event->position().y()};
    MeshObject& object = *drag_->object;
    const Point centre = convertScenePointToViewPoint(object.position());
    updateObjectArea(object);
    switch (drag_->kind) {
        case MeshEditorGeometry::DragKind::Move:
            object.setPosition(MeshEditorGeometry::positionForMove(pointer, drag_->offset, rectForScene(), scene().size()));
            break;
        case MeshEditorGeometry::DragKind::Resize:
            object.setScale(MeshEditorGeometry::scaleForResize(pointer, centre));
            break;
        case MeshEditorGeometry::DragKind::Rotate:
            object.setZRotation(MeshEditorGeometry::zRotationForRotate(pointer, centre));
            break;
    }
    updateObjectArea(object);
}

void EditMeshLayerSceneView::mouseReleaseEvent(QMouseEvent* event) {
    if (!drag_) {
        BaseSceneView::mouseReleaseEvent(event);
        return;
    }
    drag_.reset();
}

}  // namespace korvane
