#include "app/editors/clouds/EditCloudLayerSceneView.h"

#include <algorithm>
#include <array>

#include <QMouseEvent>
#include <QPainter>

#include "app/shell/AppResources.h"
#include "scene/layers/clouds/Cloud.h"
#include "scene/layers/clouds/CloudsLayer.h"

namespace korvane {

using LayerEditingGeometry::FootprintCorner;

namespace {
constexpr const char* kCloudPictureName = "CloudTopView.png";
// The side the cloud picture is rendered at once, before it is stretched over each footprint.
constexpr int kCloudPictureSide = 256;
constexpr std::array<FootprintCorner, 4> kCorners{FootprintCorner::TopLeft, FootprintCorner::TopRight,
                                                  FootprintCorner::BottomLeft, FootprintCorner::BottomRight};
}  // namespace

EditCloudLayerSceneView::EditCloudLayerSceneView(Scene& scene, CloudsLayer& layer, QWidget* parent)
    : BaseSceneView(scene, parent), layer_(layer) {
    setObjectName(QStringLiteral("EditCloudLayerSceneView"));
}

void EditCloudLayerSceneView::setSelectedClouds(std::vector<std::shared_ptr<Cloud>> clouds) {
    selectedClouds_ = std::move(clouds);
    updateView();
}

Rect EditCloudLayerSceneView::viewRectForBox(const Box& box) const {
    const Rect plan = LayerEditingGeometry::footprintRect(box);
    const Point a = convertScenePointToViewPoint(plan.origin);
    const Point b = convertScenePointToViewPoint({plan.origin.x + plan.size.width, plan.origin.y + plan.size.height});
    return Rect{{std::min(a.x, b.x), std::min(a.y, b.y)}, {std::abs(b.x - a.x), std::abs(b.y - a.y)}};
}

Point EditCloudLayerSceneView::viewPointForCorner(const Box& box, FootprintCorner corner) const {
    return convertScenePointToViewPoint(LayerEditingGeometry::footprintCornerPoint(box, corner));
}

const QPixmap& EditCloudLayerSceneView::cloudPicture() {
    if (cloudPicture_.isNull()) {
        const qreal ratio = devicePixelRatioF();
        cloudPicture_ = korvaneIcon(kCloudPictureName).pixmap(QSize(kCloudPictureSide, kCloudPictureSide), ratio);
    }
    return cloudPicture_;
}

void EditCloudLayerSceneView::drawOverlay(QPainter& painter, const Rect&) {
    drawMeshObjects(painter);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QPixmap& picture = cloudPicture();
    for (const auto& cloud : layer_.clouds()) {
        painter.drawPixmap(toQRectF(viewRectForBox(cloud->boundingBox())), picture, QRectF(picture.rect()));
    }
    painter.restore();
    drawCameraView(painter);
    for (const auto& cloud : selectedClouds_) {
        const QRectF footprint = toQRectF(viewRectForBox(cloud->boundingBox()));
        painter.save();
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor(0, 0, 0, 140), 1));
        painter.drawRect(footprint);
        painter.setPen(QPen(QColor(255, 255, 255, 220), 1, Qt::DashLine));
        painter.drawRect(footprint);
        painter.restore();
        for (FootprintCorner corner : kCorners) {
            drawHandle(painter,
                       LayerEditingGeometry::handleRectAroundViewPoint(viewPointForCorner(cloud->boundingBox(), corner)));
        }
    }
}

std::optional<EditCloudLayerSceneView::Drag> EditCloudLayerSceneView::cornerHandleAt(Point viewPoint) const {
    for (auto cloud = selectedClouds_.rbegin(); cloud != selectedClouds_.rend(); ++cloud) {
        for (FootprintCorner corner : kCorners) {
            const Rect handle =
                LayerEditingGeometry::handleRectAroundViewPoint(viewPointForCorner((*cloud)->boundingBox(), corner));
            if (toQRectF(handle).contains(QPointF(viewPoint.x, viewPoint.y))) {
                return Drag{*cloud, corner, {}, (*cloud)->boundingBox()};
            }
        }
    }
    return std::nullopt;
}

std::shared_ptr<Cloud> EditCloudLayerSceneView::cloudAt(Point planPoint) const {
    const auto& clouds = layer_.clouds();
    for (auto cloud = clouds.rbegin(); cloud != clouds.rend(); ++cloud) {
        if (LayerEditingGeometry::footprintContainsPoint((*cloud)->boundingBox(), planPoint)) return *cloud;
    }
    return nullptr;
}

void EditCloudLayerSceneView::mousePressEvent(QMouseEvent* event) {
    if (isPanButton(event) || event->button() != Qt::LeftButton) {
        BaseSceneView::mousePressEvent(event);
        return;
    }
    const Point viewPoint{event->position().x(), event->position().y()};
    // The handles of the selection lie over the clouds and win over them.
    if ((drag_ = cornerHandleAt(viewPoint))) return;
    const Point planPoint = convertViewPointToScenePoint(viewPoint);
    std::shared_ptr<Cloud> cloud = cloudAt(planPoint);
    const bool extend = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier);
    if (clickHandler_) clickHandler_(cloud, extend);
    if (cloud) drag_ = Drag{cloud, std::nullopt, planPoint, cloud->boundingBox()};
}

void EditCloudLayerSceneView::mouseMoveEvent(QMouseEvent* event) {
    if (isPanning() || !drag_) {
        BaseSceneView::mouseMoveEvent(event);
        return;
    }
    const Point planPoint = convertViewPointToScenePoint({event->position().x(), event->position().y()});
    Cloud& cloud = *drag_->cloud;
    if (drag_->corner) {
        cloud.setBoundingBox(LayerEditingGeometry::boxWithDraggedCorner(cloud.boundingBox(), *drag_->corner, planPoint));
    } else {
        const Point offset{planPoint.x - drag_->startPlanPoint.x, planPoint.y - drag_->startPlanPoint.y};
        cloud.setBoundingBox(LayerEditingGeometry::boxMovedBy(drag_->startBox, offset));
    }
    // Without a scene (no notification reaches the view) the view still follows the drag.
    updateView();
}

void EditCloudLayerSceneView::mouseReleaseEvent(QMouseEvent* event) {
    if (drag_ && event->button() == Qt::LeftButton) {
        drag_.reset();
        return;
    }
    BaseSceneView::mouseReleaseEvent(event);
}

void EditCloudLayerSceneView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && openHandler_) {
        const Point planPoint = convertViewPointToScenePoint({event->position().x(), event->position().y()});
        if (std::shared_ptr<Cloud> cloud = cloudAt(planPoint)) {
            openHandler_(cloud);
            return;
        }
    }
    BaseSceneView::mouseDoubleClickEvent(event);
}

}  // namespace korvane
