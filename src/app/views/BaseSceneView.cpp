#include "app/views/BaseSceneView.h"

#include <QIcon>
#include <QLinearGradient>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QMouseEvent>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "app/render/RenderImages.h"
#include "app/views/SceneViewGeometry.h"
#include "foundation/UserDefaults.h"
#include "scene/Scene.h"
#include "scene/SceneNotifications.h"
#include "scene/layers/LayerEditingGeometry.h"
#include "scene/layers/camera/CameraLayer.h"
#include "scene/layers/mesh/MeshLayer.h"
#include "scene/layers/mesh/MeshObject.h"
#include "scene/layers/terrain/TerrainLayer.h"
#include "scene/layers/water/WaterLayer.h"

namespace korvane {

QRectF toQRectF(const Rect& r) { return QRectF(r.origin.x, r.origin.y, r.size.width, r.size.height); }
Rect fromQRectF(const QRectF& r) { return Rect{{r.x(), r.y()}, {r.width(), r.height()}}; }

namespace {
constexpr const char* kHeightColoringKey = "editor_heightColoring";
constexpr const char* kWaterHeightColoringKey = "editor_waterHeightColoring";
}  // namespace

BaseSceneView::BaseSceneView(Scene& scene, QWidget* parent) : QWidget(parent), scene_(scene) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setMinimumSize(200, 160);
    NotificationCenter& center = NotificationCenter::defaultCenter();
    sceneDidChange_ = NotificationObservation(center, SceneDidChangeNotificationName, &scene_, [this](const Notification&) {
        if (completeRedrawWhenSceneDidChangeNotificationReceived()) updateView();
    });
    coloringDidChange_ = NotificationObservation(center, kColoringDidChangeNotificationName, nullptr, [this](const Notification&) {
        display_.setNeedsUpdate();
        updateView();
    });
    undoOrRedo_ = NotificationObservation(center, kUndoOrRedoCalledNotificationName, nullptr, [this](const Notification&) {
        display_.setNeedsUpdate();
        updateView();
    });
}

BaseSceneView::~BaseSceneView() = default;

Rect BaseSceneView::boundsForScene() const { return Rect{{0, 0}, {double(width()), double(height())}}; }

Rect BaseSceneView::rectForScene() const {
    const Rect fitted = SceneViewGeometry::rectForScene(boundsForScene(), scene_.size());
    if (zoom_ == 1.0 && pan_.x == 0 && pan_.y == 0) return fitted;
    const Rect bounds = boundsForScene();
    const double cx = bounds.origin.x + bounds.size.width / 2, cy = bounds.origin.y + bounds.size.height / 2;
    return Rect{{std::round(cx + (fitted.origin.x - cx) * zoom_ + pan_.x), std::round(cy + (fitted.origin.y - cy) * zoom_ + pan_.y)},
                {std::round(fitted.size.width * zoom_), std::round(fitted.size.height * zoom_)}};
}

void BaseSceneView::setZoom(double zoom, Point about) {
    zoom = std::clamp(zoom, 1.0, kMaximumZoom);
    if (zoom == 1.0) {
        resetZoom();
        return;
    }
    // Keep the scene point under `about` where it is.
    const Point scenePoint = convertViewPointToScenePoint(about);
    zoom_ = zoom;
    const Point moved = convertScenePointToViewPoint(scenePoint);
    pan_.x += about.x - moved.x;
    pan_.y += about.y - moved.y;
    update();
}

void BaseSceneView::resetZoom() {
    zoom_ = 1.0;
    pan_ = Point{};
    update();
}

bool BaseSceneView::isPanButton(const QMouseEvent* event) {
    return event->button() == Qt::MiddleButton ||
           (event->button() == Qt::LeftButton && (event->modifiers() & Qt::AltModifier));
}

void BaseSceneView::wheelEvent(QWheelEvent* event) {
    constexpr double kZoomPerNotch = 1.2;
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0) return;
    const QPointF p = event->position();
    setZoom(zoom_ * std::pow(kZoomPerNotch, notches), {p.x(), p.y()});
    event->accept();
}

void BaseSceneView::mousePressEvent(QMouseEvent* event) {
    if (!isPanButton(event) || zoom_ == 1.0) return;
    panning_ = true;
    panStart_ = {event->position().x() - pan_.x, event->position().y() - pan_.y};
    setCursor(Qt::ClosedHandCursor);
}

void BaseSceneView::mouseMoveEvent(QMouseEvent* event) {
    if (!panning_) return;
    pan_ = {event->position().x() - panStart_.x, event->position().y() - panStart_.y};
    update();
}

void BaseSceneView::mouseReleaseEvent(QMouseEvent* event) {
    if (!panning_) return;
    (void)event;
    panning_ = false;
    unsetCursor();
}

void BaseSceneView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::MiddleButton) resetZoom();
}

Point BaseSceneView::convertViewPointToScenePoint(Point viewPoint) const {
    return LayerEditingGeometry::planPointForViewPoint(viewPoint, rectForScene(), scene_.size());
}

Point BaseSceneView::convertScenePointToViewPoint(Point scenePoint) const {
    return LayerEditingGeometry::viewPointForPlanPoint(scenePoint, rectForScene(), scene_.size());
}

void BaseSceneView::updateView() { update(); }

HeightmapDisplay::Coloring BaseSceneView::currentColoring() const {
    HeightmapDisplay::Coloring coloring;
    const UserDefaults& defaults = UserDefaults::standard();
    coloring.land = static_cast<int>(defaults.integerForKey(kHeightColoringKey));
    coloring.water = static_cast<int>(defaults.integerForKey(kWaterHeightColoringKey));
    coloring.maxHeight = scene_.maxTerrainHeight();
    const auto waters = scene_.layersOfClass<WaterLayer>();
    if (!waters.empty() && waters.back()->active()) coloring.waterHeight = waters.back()->height();
    return coloring;
}

void BaseSceneView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const Rect clip = fromQRectF(QRectF(event->rect()));
    drawBackground(painter, clip);
    const QRectF scene = toQRectF(rectForScene());
    if (scene.intersects(QRectF(event->rect()))) drawHeightmap(painter, clip);
    painter.setRenderHint(QPainter::Antialiasing);
    drawOverlay(painter, clip);
}

void BaseSceneView::drawBackground(QPainter& painter, const Rect& clip) {
    painter.fillRect(toQRectF(clip), palette().color(QPalette::Window).darker(112));
    const QRectF scene = toQRectF(rectForScene());
    if (!scene.contains(toQRectF(clip))) {
        // A soft drop shadow under the map.
        for (int i = 6; i >= 1; --i) {
            painter.fillRect(scene.translated(2, 2).adjusted(-i, -i, i, i), QColor(0, 0, 0, 10));
        }
        painter.fillRect(scene, Qt::white);
    }
}

void BaseSceneView::drawHeightmap(QPainter& painter, const Rect& clip) {
    const auto terrains = scene_.layersOfClass<TerrainLayer>();
    if (terrains.empty() || !terrains.front()->heightmapImageRep()) return;
    const Bitmap& heightmap = *terrains.front()->heightmapImageRep();
    const Rect scene = rectForScene();
    const Size bitmapSize{double(heightmap.width()), double(heightmap.height())};
    const SceneViewGeometry::DirtyRegion region = SceneViewGeometry::dirtyRegion(clip, scene, bitmapSize);
    // The terrain editor recolours only the redrawn area of a stale picture (a brush changed just
    // that); the other views recolour the whole picture when it is stale or its colouring changed.
    display_.update(heightmap, currentColoring(),
                    needsToUpdateTerrainHeightmapLayerEachRedraw() ? std::optional<Rect>(region.imageRect) : std::nullopt);
    const Bitmap& picture = display_.image();
    if (picture.empty()) return;
    const QImage image(picture.data(), picture.width(), picture.height(), static_cast<qsizetype>(picture.bytesPerRow()),
                       QImage::Format_RGB888);
    const QRectF target = toQRectF(region.viewRect);
    const int H = picture.height();
    const QRect source(int(region.imageRect.origin.x), int(H - region.imageRect.origin.y - region.imageRect.size.height),
                       int(region.imageRect.size.width), int(region.imageRect.size.height));
    if (target.isEmpty() || source.isEmpty()) return;
    // The bitmap's last row lies at the top of the scene: draw it mirrored vertically.
    painter.save();
    painter.translate(0, target.top() + target.bottom());
    painter.scale(1, -1);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(target, image, source);
    painter.restore();
}

void BaseSceneView::drawOverlay(QPainter& painter, const Rect&) {
    drawMeshObjects(painter);
    drawCameraView(painter);
}

void BaseSceneView::drawMeshObjects(QPainter& painter) {
    for (const auto& layer : scene_.layersOfClass<MeshLayer>()) {
        for (const auto& object : layer->meshObjects()) {
            if (!object->topDownThumbnail()) continue;
            const QImage thumbnail = qImageFromRenderBitmap(*object->topDownThumbnail());
            if (thumbnail.isNull()) continue;
            const Point p = object->position();
            const float s = object->scale();
            const Point a = convertScenePointToViewPoint({p.x - s / 2, p.y - s / 2});
            const Point b = convertScenePointToViewPoint({p.x + s / 2, p.y + s / 2});
            const Point c = convertScenePointToViewPoint(p);
            const double w = b.x - a.x, h = b.y - a.y;
            painter.save();
            painter.translate(c.x, c.y);
            painter.rotate(object->zRotation());
            painter.scale(1, -1);
            painter.setOpacity(kMeshObjectsOpacity);
            painter.drawImage(QRectF(-w / 2, -h / 2, w, h), thumbnail);
            painter.restore();
        }
    }
}

void BaseSceneView::drawCameraView(QPainter& painter) {
    const auto cameras = scene_.layersOfClass<CameraLayer>();
    if (cameras.empty()) return;
    const CameraLayer& camera = *cameras.back();
    const SceneViewGeometry::CameraOverlay overlay =
        SceneViewGeometry::cameraOverlay(camera.cameraType(), camera.fromPoint(), camera.toPoint(), camera.focal(),
                                         camera.angle(), camera.scale(), rectForScene(), scene_.size());
    if (overlay.outline.empty()) return;
    QPainterPath path;
    path.moveTo(overlay.outline.front().x, overlay.outline.front().y);
    for (size_t i = 1; i < overlay.outline.size(); ++i) path.lineTo(overlay.outline[i].x, overlay.outline[i].y);
    path.closeSubpath();
    painter.save();
    painter.setOpacity(kCameraOpacity);
    painter.setPen(QPen(QColor(0, 255, 0), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
    painter.restore();
}

void BaseSceneView::drawHandle(QPainter& painter, const Rect& rect, const QIcon* icon) {
    const QRectF r = toQRectF(rect);
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 90));
    painter.drawEllipse(r.translated(2, 2));
    QLinearGradient gradient(r.topLeft(), r.bottomLeft());
    gradient.setColorAt(0, QColor::fromRgbF(0.9, 0.9, 0.9));
    gradient.setColorAt(1, QColor::fromRgbF(0.5, 0.5, 0.5));
    painter.setBrush(gradient);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawEllipse(r);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawEllipse(QRectF(r.center().x() - 2, r.center().y() - 2, 4, 4));
    if (icon && !icon->isNull()) {
        const QRectF room(r.right(), r.top() - 16, r.width() + 16, r.height() + 32);
        const double side = std::min(room.width(), room.height());
        icon->paint(&painter, QRectF(room.left(), room.center().y() - side / 2, side, side).toRect());
    }
    painter.restore();
}

}  // namespace korvane
