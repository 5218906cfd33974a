#pragma once

#include <optional>

#include <QWidget>

#include "app/views/HeightmapDisplay.h"
#include "foundation/Geometry.h"
#include "foundation/NotificationCenter.h"

namespace korvane {

class Scene;

// The top-down map every layer editor shows: the scene fitted into the view, the heightmap in false
// colour, the imported objects' thumbnails and the camera's field of view, with whatever the
// editor draws over it. Coordinates are flipped (y grows downwards) like plan coordinates.
// Main thread.
class BaseSceneView : public QWidget {
    Q_OBJECT
public:
    // The scene must outlive the view.
    explicit BaseSceneView(Scene& scene, QWidget* parent = nullptr);
    ~BaseSceneView() override;

    Scene& scene() const { return scene_; }

    // The area available to the scene; base: the whole view.
    virtual Rect boundsForScene() const;
    // The scene's rectangle in the view: fitted into boundsForScene, then magnified and moved by the
    // user's zoom and pan.
    Rect rectForScene() const;
    // Magnification over the fitted scene (1 shows all of it) and the pan in view points. The wheel
    // zooms about the pointer, a middle-button drag (or Alt with the left button) pans, a middle
    // double-click shows the whole scene again.
    double zoom() const { return zoom_; }
    void setZoom(double zoom, Point aboutViewPoint);
    void resetZoom();
    static constexpr double kMaximumZoom = 32.0;
    Point convertViewPointToScenePoint(Point viewPoint) const;
    Point convertScenePointToViewPoint(Point scenePoint) const;

    // Redisplays the whole view.
    virtual void updateView();
    // The terrain editor recolours the redrawn area of the heightmap picture on every redraw.
    virtual bool needsToUpdateTerrainHeightmapLayerEachRedraw() const { return false; }
    virtual bool completeRedrawWhenSceneDidChangeNotificationReceived() const { return true; }
    // Marks the heightmap picture stale (it is recoloured at the next redraw).
    void setHeightmapDisplayNeedsUpdate() { display_.setNeedsUpdate(); }
    const HeightmapDisplay& heightmapDisplay() const { return display_; }

    // Posted by whoever changes the map colouring keys (the preferences), so that views recolour.
    static constexpr const char* kColoringDidChangeNotificationName = "EditorColoringDidChangeNotificationName";
    // Posted by the document window after every undo and redo.
    static constexpr const char* kUndoOrRedoCalledNotificationName = "UndoOrRedoCalledNotificationName";

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    // Whether a press starts a pan rather than the editor's own handling.
    static bool isPanButton(const QMouseEvent* event);
    bool isPanning() const { return panning_; }
    // The layers of drawing, in order; subclasses add to the overlay.
    virtual void drawBackground(QPainter& painter, const Rect& clip);
    virtual void drawHeightmap(QPainter& painter, const Rect& clip);
    virtual void drawOverlay(QPainter& painter, const Rect& clip);
    void drawMeshObjects(QPainter& painter);
    void drawCameraView(QPainter& painter);
    // The round handle of the light and camera editors, with an optional icon to its right.
    static void drawHandle(QPainter& painter, const Rect& rect, const QIcon* icon = nullptr);
    static constexpr double kCameraOpacity = 0.25;
    static constexpr double kMeshObjectsOpacity = 0.25;

private:
    HeightmapDisplay::Coloring currentColoring() const;

    Scene& scene_;
    HeightmapDisplay display_;
    double zoom_ = 1.0;
    Point pan_;
    bool panning_ = false;
    Point panStart_;
    NotificationObservation sceneDidChange_;
    NotificationObservation coloringDidChange_;
    NotificationObservation undoOrRedo_;
};

// QRect/QRectF conversions of the model's geometry.
QRectF toQRectF(const Rect& rect);
Rect fromQRectF(const QRectF& rect);

}  // namespace korvane
