// The camera editor through its widgets: the inspector's formats and per-type layout, and the eye
// and target dragged on the map.
#include <gtest/gtest.h>
#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QSlider>
#include <QTest>

#include "app/AppTestSupport.h"
#include "app/document/MyDocument.h"
#include "app/editor/EditLayerControllerRegistry.h"
#include "app/editors/camera/EditCameraLayerSceneView.h"
#include "app/editors/camera/EditCameraLayerViewController.h"
#include "scene/Scene.h"
#include "scene/layers/camera/CameraLayer.h"

namespace korvane {
namespace {

using Control = EditCameraLayerViewController::Control;
using Dragged = EditCameraLayerSceneView::DraggedPoint;

// Collects the areas a widget repaints.
class PaintRecorder : public QObject {
public:
    QRegion painted;

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::Paint) painted += static_cast<QPaintEvent*>(event)->region();
        return QObject::eventFilter(object, event);
    }
};

class CameraEditorTest : public testing::Test {
protected:
    void SetUp() override {
        test::resetUserDefaults();
        document.scene().setSize({4, 4});
        camera = document.scene().layersOfClass<CameraLayer>().back();
        camera->setFromPoint({1, 1});
        camera->setToPoint({3, 3});
        editor.reset(
            static_cast<EditCameraLayerViewController*>(EditLayerControllerRegistry::shared().createEditor(
                "EditCameraLayerViewController", camera, &document, nullptr)));
        ASSERT_NE(editor, nullptr);
        editor->resize(800, 600);
        editor->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(editor.get()));
        view = editor->sceneView();
    }

    QPointF viewPoint(Point plan) const {
        const Point p = view->convertScenePointToViewPoint(plan);
        return {p.x, p.y};
    }
    void send(QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, view->mapToGlobal(at),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &event);
    }
    void press(QPointF at) { send(QEvent::MouseButtonPress, at, Qt::LeftButton); }
    void move(QPointF at) { send(QEvent::MouseMove, at, Qt::LeftButton); }
    void release(QPointF at) {
        send(QEvent::MouseButtonRelease, at, Qt::NoButton);
        QCoreApplication::processEvents();
    }
    bool shown(Control control) const { return editor->slider(control)->isVisibleTo(editor.get()); }

    MyDocument document;
    std::shared_ptr<CameraLayer> camera;
    std::unique_ptr<EditCameraLayerViewController> editor;
    EditCameraLayerSceneView* view = nullptr;
};

TEST_F(CameraEditorTest, TheSlidersShowTheCameraInTheUsersUnits) {
    EXPECT_EQ(editor->valueLabel(Control::FieldOfView)->text(), QStringLiteral("68°")) << "focal 1.0";
    EXPECT_EQ(editor->valueLabel(Control::CameraHeight)->text(), QStringLiteral("1.5m"));
    EXPECT_EQ(editor->valueLabel(Control::Scale)->text(), QStringLiteral("5x"));
    // Moving a slider writes the camera at once, and the label follows.
    editor->slider(Control::FieldOfView)->setValue(0);
    EXPECT_FLOAT_EQ(camera->focal(), 0.5f);
    EXPECT_EQ(editor->valueLabel(Control::FieldOfView)->text(), QStringLiteral("90°"));
    editor->slider(Control::TargetHeight)->setValue(0);
    EXPECT_FLOAT_EQ(camera->toPointHeight(), 0.1f);
    EXPECT_EQ(editor->valueLabel(Control::TargetHeight)->text(), QStringLiteral("1.0m"));
    editor->slider(Control::ViewAngle)->setValue(editor->slider(Control::ViewAngle)->maximum());
    EXPECT_FLOAT_EQ(camera->angle(), 145.0f);
    EXPECT_EQ(editor->valueLabel(Control::ViewAngle)->text(), QStringLiteral("145°"));
}

TEST_F(CameraEditorTest, ChoosingATypeSetsItsDefaultsAndLaysOutItsControls) {
    QComboBox* popUp = editor->typePopUp();
    ASSERT_EQ(popUp->count(), 5);
    EXPECT_EQ(popUp->currentText(), QStringLiteral("Perspective"));
    EXPECT_TRUE(shown(Control::CameraHeight) && shown(Control::TargetHeight) && shown(Control::FieldOfView));
    EXPECT_FALSE(shown(Control::ViewAngle) || shown(Control::Scale));

    // The keyboard walks the menu as a user would: Architect, Angular, Orthographic, Bird.
    QTest::keyClick(popUp, Qt::Key_Down);
    EXPECT_EQ(camera->cameraType(), "architect");
    EXPECT_TRUE(shown(Control::FieldOfView));
    QTest::keyClick(popUp, Qt::Key_Down);
    EXPECT_EQ(camera->cameraType(), "angular");
    EXPECT_TRUE(shown(Control::CameraHeight) && shown(Control::TargetHeight) && shown(Control::ViewAngle));
    EXPECT_FALSE(shown(Control::FieldOfView) || shown(Control::Scale));
    EXPECT_EQ(camera->fromPoint(), (Point{0.5, 0.5})) << "the type's default placement";
    QTest::keyClick(popUp, Qt::Key_Down);
    EXPECT_EQ(camera->cameraType(), "orthographic");
    EXPECT_TRUE(shown(Control::CameraHeight) && shown(Control::TargetHeight) && shown(Control::Scale));
    EXPECT_FALSE(shown(Control::FieldOfView) || shown(Control::ViewAngle));
    EXPECT_EQ(editor->valueLabel(Control::CameraHeight)->text(), QStringLiteral("30.0m")) << "eye height 3.0";
    QTest::keyClick(popUp, Qt::Key_Down);
    EXPECT_EQ(camera->cameraType(), "topdown");
    EXPECT_EQ(popUp->currentText(), QStringLiteral("Bird"));
    EXPECT_TRUE(shown(Control::Scale));
    EXPECT_FALSE(shown(Control::CameraHeight) || shown(Control::TargetHeight) ||
                 shown(Control::FieldOfView) || shown(Control::ViewAngle));
    EXPECT_EQ(camera->fromPoint(), (Point{5.0, 5.0}));
}

TEST_F(CameraEditorTest, DraggedHandlesMoveTheirPointsAndStayOnTheScene) {
    const Rect scene = view->rectForScene();
    // The eye goes where the pointer is, and no further than the scene's edges.
    press(viewPoint({1, 1}));
    EXPECT_EQ(view->draggedPoint(), Dragged::Eye);
    move(viewPoint({2, 1.5}));
    EXPECT_NEAR(camera->fromPoint().x, 2.0, 1e-9);
    EXPECT_NEAR(camera->fromPoint().y, 1.5, 1e-9);
    move({scene.minX() - 60, scene.maxY() + 40});
    EXPECT_EQ(camera->fromPoint(), (Point{0, 4}));
    release({scene.minX() - 60, scene.maxY() + 40});
    EXPECT_EQ(view->draggedPoint(), Dragged::None);

    press(viewPoint({3, 3}));
    EXPECT_EQ(view->draggedPoint(), Dragged::Target);
    move({scene.maxX() + 100, scene.minY() - 100});
    EXPECT_EQ(camera->toPoint(), (Point{4, 0}));
    release({scene.maxX() + 100, scene.minY() - 100});
    EXPECT_EQ(camera->fromPoint(), (Point{0, 4})) << "the eye stayed";

    // A press beside the handles grabs nothing.
    press(viewPoint({2, 2}));
    EXPECT_EQ(view->draggedPoint(), Dragged::None);
    move(viewPoint({2.5, 2.5}));
    release(viewPoint({2.5, 2.5}));
    EXPECT_EQ(camera->toPoint(), (Point{4, 0}));

    // A bird's-eye camera has no target to grab, wherever the target was left.
    camera->setCameraType("topdown");
    camera->setToPoint({1, 3});
    press(viewPoint({1, 3}));
    EXPECT_EQ(view->draggedPoint(), Dragged::None);
    move(viewPoint({2, 3}));
    release(viewPoint({2, 3}));
    EXPECT_EQ(camera->toPoint(), (Point{1, 3}));
}

TEST_F(CameraEditorTest, WhileDraggingOnlyTheFieldOfViewIsRepainted) {
    // A narrow field of view in a corner of the map leaves most of the view untouched.
    camera->setFocal(2.0f);
    camera->setFromPoint({0.4, 0.4});
    camera->setToPoint({0.8, 0.4});
    QCoreApplication::processEvents();
    PaintRecorder recorder;
    view->installEventFilter(&recorder);
    press(viewPoint({0.4, 0.4}));
    QCoreApplication::processEvents();
    recorder.painted = QRegion();
    move(viewPoint({0.45, 0.4}));
    QCoreApplication::processEvents();
    ASSERT_FALSE(recorder.painted.isEmpty());
    EXPECT_FALSE(recorder.painted.contains(QRect(view->width() - 20, view->height() - 20, 10, 10)));
    EXPECT_TRUE(recorder.painted.boundingRect().contains(viewPoint({0.45, 0.4}).toPoint()));
    // Releasing redraws everything, as does any change that is not a drag.
    recorder.painted = QRegion();
    release(viewPoint({0.45, 0.4}));
    EXPECT_TRUE(recorder.painted.contains(view->rect()));
    view->removeEventFilter(&recorder);
}

}  // namespace
}  // namespace korvane
