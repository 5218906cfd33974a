#include "app/editors/lighting/EditLightingLayerSceneView.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

#include "app/shell/AppResources.h"
#include "scene/Scene.h"
#include "scene/layers/LayerEditingGeometry.h"
#include "scene/layers/lighting/BaseDirectionalLight.h"
#include "scene/layers/lighting/LightingLayer.h"
#include "scene/layers/lighting/PointLight.h"

namespace korvane {

namespace {

namespace geometry = LayerEditingGeometry;

bool rectContainsPoint(const Rect& rect, Point p) {
    return p.x >= rect.minX() && p.x < rect.maxX() && p.y >= rect.minY() && p.y < rect.maxY();
}

// The disc of directions shown while a directional light is dragged.
const QColor kDirectionDiscColor = QColor::fromRgbF(0.0, 1.0, 0.0, 0.15);
constexpr double kZenithAngleFontSize = 9.0;
// The label's shadow: offset right and down, blurred over about two points.
constexpr double kLabelShadowOffset = 1.5;
constexpr double kLabelShadowBlur = 2.0;

}  // namespace

EditLightingLayerSceneView::EditLightingLayerSceneView(Scene& scene, LightingLayer& layer, QWidget* parent)
    : BaseSceneView(scene, parent), layer_(layer) {
    setObjectName(QStringLiteral("EditLightingLayerSceneView"));
}

std::optional<Rect> EditLightingLayerSceneView::handleRectForLight(const BaseLight& light) const {
    if (const auto* directional = dynamic_cast<const BaseDirectionalLight*>(&light)) {
        const Point plan = geometry::planPointForLightDirection(directional->direction(), scene().size());
        return geometry::handleRectAroundViewPoint(convertScenePointToViewPoint(plan));
    }
    if (const auto* point = dynamic_cast<const PointLight*>(&light)) {
        return geometry::handleRectAroundViewPoint(convertScenePointToViewPoint(point->position()));
    }
    return std::nullopt;
}

std::optional<Point> EditLightingLayerSceneView::lineEndViewPointForLight(const BaseLight& light) const {
    if (!dynamic_cast<const BaseDirectionalLight*>(&light)) return std::nullopt;
    const Size size = scene().size();
    return convertScenePointToViewPoint({size.width / 2, size.height / 2});
}

QRect EditLightingLayerSceneView::redisplayRectForLight(const BaseLight& light) const {
    const std::optional<Rect> handle = handleRectForLight(light);
    if (!handle) return {};
    return toQRectF(geometry::redisplayRectForHandle(*handle, lineEndViewPointForLight(light)))
        .toAlignedRect();
}

void EditLightingLayerSceneView::drawOverlay(QPainter& painter, const Rect& clip) {
    BaseSceneView::drawOverlay(painter, clip);
    if (std::dynamic_pointer_cast<BaseDirectionalLight>(dragged_)) {
        painter.save();
        painter.setPen(Qt::NoPen);
        painter.setBrush(kDirectionDiscColor);
        painter.drawEllipse(toQRectF(rectForScene()));
        painter.restore();
    }
    for (const std::shared_ptr<BaseLight>& light : layer_.lights()) {
        const std::optional<Rect> handle = handleRectForLight(*light);
        if (!handle) continue;
        const QRectF rect = toQRectF(*handle);
        if (const std::optional<Point> end = lineEndViewPointForLight(*light)) {
            painter.save();
            painter.setPen(QPen(Qt::yellow, 1));
            painter.drawLine(rect.center(), QPointF(end->x, end->y));
            painter.restore();
        }
        korvaneIcon(light->userIcon()).paint(&painter, rect.toRect());
        const auto* directional = dynamic_cast<const BaseDirectionalLight*>(light.get());
        if (directional && light == dragged_)
            drawZenithAngleLabel(painter, *handle, directional->direction());
    }
}

void EditLightingLayerSceneView::drawZenithAngleLabel(QPainter& painter, const Rect& handle,
                                                      Point direction) const {
    const QString text = QString::asprintf("%.0f°", geometry::zenithAngleDegrees(direction));
    const QRectF rect = toQRectF(geometry::angleLabelRectForHandle(handle));
    // Centred over the handle and free to overhang it: "90°" is wider than the handle.
    const int flags = Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextDontClip;
    QFont font = QApplication::font();
    font.setPointSizeF(kZenithAngleFontSize);
    painter.save();
    painter.setFont(font);
    // A soft shadow, so that the yellow reads on the bright parts of the map too.
    painter.setPen(QColor(0, 0, 0, 70));
    for (double dx : {-kLabelShadowBlur / 2, 0.0, kLabelShadowBlur / 2}) {
        for (double dy : {-kLabelShadowBlur / 2, 0.0, kLabelShadowBlur / 2}) {
            painter.drawText(rect.translated(kLabelShadowOffset + dx, kLabelShadowOffset + dy), flags, text);
        }
    }
    painter.setPen(Qt::yellow);
    painter.drawText(rect, flags, text);
    painter.restore();
}

void EditLightingLayerSceneView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || isPanButton(event)) {
        BaseSceneView::mousePressEvent(event);
        return;
    }
    const Point p{event->position().x(), event->position().y()};
    const LightingLayer::LightList& lights = layer_.lights();
    for (size_t i = 0; i < lights.size(); ++i) {
        const std::optional<Rect> handle = handleRectForLight(*lights[i]);
        if (!handle || !rectContainsPoint(*handle, p)) continue;
        dragged_ = lights[i];
        Q_EMIT lightGrabbed(static_cast<int>(i));
        // The disc of directions appears.
        updateView();
        return;
    }
}

void EditLightingLayerSceneView::mouseMoveEvent(QMouseEvent* event) {
    if (!dragged_) {
        BaseSceneView::mouseMoveEvent(event);
        return;
    }
    const Point plan = convertViewPointToScenePoint({event->position().x(), event->position().y()});
    const QRect before = redisplayRectForLight(*dragged_);
    if (auto directional = std::dynamic_pointer_cast<BaseDirectionalLight>(dragged_)) {
        directional->setDirection(geometry::lightDirectionForPlanPoint(plan, scene().size()));
    } else if (auto point = std::dynamic_pointer_cast<PointLight>(dragged_)) {
        point->setPosition(geometry::clampedPointLightPosition(plan, scene().size()));
    }
    update(before);
    update(redisplayRectForLight(*dragged_));
}

void EditLightingLayerSceneView::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragged_) {
        BaseSceneView::mouseReleaseEvent(event);
        return;
    }
    dragged_.reset();
    updateView();
}

}  // namespace korvane
