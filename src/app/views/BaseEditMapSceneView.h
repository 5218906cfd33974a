#pragma once

#include <memory>

#include "app/views/BaseSceneView.h"
#include "editing/EditMapSceneController.h"

class QButtonGroup;
class QGridLayout;
class QLabel;
class QSlider;
class QToolButton;

namespace korvane {

// A scene view the user paints on: a bitmap of the scene (the heightmap, a material mask or a
// density map) under a row of six brushes with their settings and a "Filters…" pull-down. A press,
// the drags after it and the release are one undoable stroke of one dab per mouse event; the
// cursor shows the brush's outline. Subclasses say which bitmap is edited (through their
// EditMapTarget) and may add a bar of buttons at the bottom. Main thread.
class BaseEditMapSceneView : public BaseSceneView {
    Q_OBJECT
public:
    static constexpr int kTopBarHeight = 48;
    static constexpr int kToolButtonSize = 44;

    // The target must outlive the view. editsHeightmap says whether the edited bitmap is the 16-bit
    // heightmap.
    BaseEditMapSceneView(Scene& scene, EditMapTarget& target, bool editsHeightmap, QWidget* parent = nullptr);
    ~BaseEditMapSceneView() override;

    Rect boundsForScene() const override;
    // The height of the subclass's bottom bar; 0 in the base.
    virtual int bottomSpacingForOptionButtons() const { return 0; }
    bool completeRedrawWhenSceneDidChangeNotificationReceived() const override;
    // Redisplays, and enables the filters pull-down exactly when there is a bitmap to edit.
    void updateView() override;

    EditMapSceneController& controller() { return controller_; }
    bool editsHeightmap() const { return editsHeightmap_; }

    // Shown in the middle of the scene when there is no bitmap to edit.
    QString overlayPlaceholderText() const { return placeholderText_; }
    void setOverlayPlaceholderText(const QString& text);

    QButtonGroup* toolButtons() const { return toolButtons_; }
    QToolButton* filtersButton() const { return filtersButton_; }
    // The selected tool's sliders, in the order the tool lists them.
    QList<QSlider*> toolSliders() const { return sliders_; }
    // Opens a filter sheet for the edited bitmap, by the pull-down's item index.
    void openFilter(int index);

signals:
    // A stroke ended (mouse released after painting).
    void strokeEnded();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void drawOverlay(QPainter& painter, const Rect& clip) override;
    // The 8-bit maps are drawn bright over the darkened heightmap; the terrain view skips it.
    virtual void drawEditedMap(QPainter& painter);
    // A widget row across the bottom, for the subclasses' buttons (null in the base).
    QWidget* bottomBar() const { return bottomBar_; }
    QWidget* makeBottomBar();

private:
    void buildTopBar();
    void toolChanged(int index);
    void redisplay(const Rect& viewRect);
    void layoutBars();

    EditMapSceneController controller_;
    bool editsHeightmap_;
    QWidget* topBar_ = nullptr;
    QWidget* bottomBar_ = nullptr;
    QButtonGroup* toolButtons_ = nullptr;
    QToolButton* filtersButton_ = nullptr;
    QWidget* configurationView_ = nullptr;
    QList<QSlider*> sliders_;
    QString placeholderText_;
    bool pressed_ = false;
};

}  // namespace korvane
