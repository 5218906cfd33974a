// The lighting editor through its widgets: lights dragged on the map, the list's add and remove
// (never the sun), and the light sheets' OK and Cancel.
#include <cmath>

#include <gtest/gtest.h>
#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include "app/AppTestSupport.h"
#include "app/document/MyDocument.h"
#include "app/editor/EditLayerControllerRegistry.h"
#include "app/editors/lighting/EditLightSheets.h"
#include "app/editors/lighting/EditLightingLayerSceneView.h"
#include "app/editors/lighting/EditLightingLayerViewController.h"
#include "app/sheets/SheetControls.h"
#include "scene/Scene.h"
#include "scene/layers/lighting/DirectionalLight.h"
#include "scene/layers/lighting/LightingLayer.h"
#include "scene/layers/lighting/PointLight.h"

namespace korvane {
namespace {

constexpr int kWaitMs = 10000;

class LightingEditorTest : public testing::Test {
protected:
    void SetUp() override {
        test::resetUserDefaults();
        document.scene().setSize({4, 2});
        lighting = document.scene().layersOfClass<LightingLayer>().back();
        editor.reset(
            static_cast<EditLightingLayerViewController*>(EditLayerControllerRegistry::shared().createEditor(
                "EditLightingLayerViewController", lighting, &document, nullptr)));
        ASSERT_NE(editor, nullptr);
        editor->resize(800, 600);
        editor->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(editor.get()));
        view = editor->sceneView();
    }

    QPointF handleCentre(const BaseLight& light) const {
        const Rect r = *view->handleRectForLight(light);
        return {r.midX(), r.midY()};
    }
    void send(QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, view->mapToGlobal(at),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &event);
        QCoreApplication::processEvents();
    }
    void press(QPointF at) { send(QEvent::MouseButtonPress, at, Qt::LeftButton); }
    void move(QPointF at) { send(QEvent::MouseMove, at, Qt::LeftButton); }
    void release(QPointF at) { send(QEvent::MouseButtonRelease, at, Qt::NoButton); }
    // Chooses an item of the "Add Light" menu.
    void addFromMenu(const QString& title) {
        for (QAction* action : editor->addButton()->menu()->actions()) {
            if (action->text() == title) action->trigger();
        }
        QCoreApplication::processEvents();
    }

    MyDocument document;
    std::shared_ptr<LightingLayer> lighting;
    std::unique_ptr<EditLightingLayerViewController> editor;
    EditLightingLayerSceneView* view = nullptr;
};

TEST_F(LightingEditorTest, TheSunDraggedToTheCentreIsOverheadAndBeyondTheDiscStaysOnTheRim) {
    const auto sun = lighting->sunLight();
    const Rect scene = view->rectForScene();
    editor->lightsList()->clearSelection();
    press(handleCentre(*sun));
    EXPECT_EQ(view->draggedLight(), sun);
    EXPECT_EQ(editor->lightsList()->currentRow(), 0) << "grabbing a handle selects its light";
    move({scene.midX(), scene.midY()});
    EXPECT_EQ(sun->direction(), (Point{0, 0}));
    // Far beyond the lower right corner: on the rim, half way between the two axes.
    move({scene.maxX() + 300, scene.maxY() + 300});
    EXPECT_NEAR(std::hypot(sun->direction().x, sun->direction().y), 1.0, 1e-6);
    EXPECT_NEAR(sun->direction().x, std::sqrt(0.5), 1e-6);
    EXPECT_NEAR(sun->direction().y, std::sqrt(0.5), 1e-6);
    // Straight right of the centre, past the edge of the map: the horizon due east.
    move({scene.maxX() + 40, scene.midY()});
    EXPECT_NEAR(sun->direction().x, 1.0, 1e-9);
    EXPECT_NEAR(sun->direction().y, 0.0, 1e-9);
    release({scene.maxX() + 40, scene.midY()});
    EXPECT_EQ(view->draggedLight(), nullptr);
}

TEST_F(LightingEditorTest, APointLightIsDraggedOverThePlanAndKeptOnTheScene) {
    addFromMenu(QStringLiteral("Point Light"));
    ASSERT_EQ(lighting->lights().size(), 2u);
    const auto point = std::dynamic_pointer_cast<PointLight>(lighting->lights()[1]);
    ASSERT_NE(point, nullptr);
    EXPECT_EQ(point->position(), (Point{2, 1})) << "a new point light stands at the scene's centre";
    const Rect scene = view->rectForScene();
    editor->lightsList()->setCurrentRow(0);
    press(handleCentre(*point));
    EXPECT_EQ(editor->lightsList()->currentRow(), 1);
    move({scene.minX() + scene.size.width / 4, scene.midY()});
    EXPECT_NEAR(point->position().x, 1.0, 1e-9);
    EXPECT_NEAR(point->position().y, 1.0, 1e-9);
    move({scene.minX() - 50, scene.maxY() + 50});
    EXPECT_EQ(point->position(), (Point{0, 2}));
    release({scene.minX() - 50, scene.maxY() + 50});
    // A click that hits no handle grabs nothing.
    press({scene.midX(), scene.midY()});
    EXPECT_EQ(view->draggedLight(), nullptr);
    release({scene.midX(), scene.midY()});
}

TEST_F(LightingEditorTest, TheSunCannotBeRemovedTheOtherLightsCan) {
    QListWidget* list = editor->lightsList();
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("Sun"));
    list->setCurrentRow(0);
    EXPECT_FALSE(editor->removeButton()->isEnabled());
    EXPECT_TRUE(editor->editButton()->isEnabled());
    editor->removeSelectedLight();
    EXPECT_EQ(lighting->lights().size(), 1u);

    addFromMenu(QStringLiteral("Directional Light"));
    addFromMenu(QStringLiteral("Point Light"));
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("Directional Light"));
    EXPECT_EQ(list->currentRow(), 2) << "the new light is selected";
    list->setCurrentRow(1);
    ASSERT_TRUE(editor->removeButton()->isEnabled());
    QTest::mouseClick(editor->removeButton(), Qt::LeftButton);
    ASSERT_EQ(lighting->lights().size(), 2u);
    EXPECT_NE(std::dynamic_pointer_cast<PointLight>(lighting->lights()[1]), nullptr);
    EXPECT_EQ(list->count(), 2);
    list->setCurrentRow(0);
    EXPECT_FALSE(editor->removeButton()->isEnabled());
}

TEST_F(LightingEditorTest, ALightSheetEditsLiveCancelPutsTheValuesBackAndOkKeepsThem) {
    const auto sun = lighting->sunLight();
    editor->lightsList()->setCurrentRow(0);
    QPointer<BaseEditLightSheet> sheet = editor->editSelectedLight();
    ASSERT_NE(qobject_cast<EditSunLightSheet*>(sheet.data()), nullptr);
    EXPECT_EQ(sheet->windowTitle(), QStringLiteral("Edit Light"));
    EXPECT_EQ(sheet->findChild<QLineEdit*>(QStringLiteral("userName")), nullptr) << "the sun keeps its name";
    auto* power = sheet->findChild<QSlider*>(QStringLiteral("power"));
    auto* shadow = sheet->findChild<QSlider*>(QStringLiteral("shadowAngle"));
    ASSERT_TRUE(power && shadow);
    EXPECT_FLOAT_EQ(floatValue(power), 1.0f);
    setFloatValue(power, 2.5f);
    setFloatValue(shadow, 4.0f);
    sheet->chooseColor(Color::calibratedRGB(1.0, 0.5, 0.0));
    EXPECT_FLOAT_EQ(sun->power(), 2.5f) << "edited live";
    EXPECT_EQ(sun->color(), Color::calibratedRGB(1.0, 0.5, 0.0));
    sheet->findChild<QPushButton*>(QStringLiteral("cancel"))->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet.isNull(); }, kWaitMs));
    EXPECT_FLOAT_EQ(sun->power(), 1.0f);
    EXPECT_FLOAT_EQ(sun->shadowAngle(), 1.0f);
    EXPECT_EQ(sun->color(), Color::calibratedWhite(1.0));

    addFromMenu(QStringLiteral("Point Light"));
    const auto point = std::dynamic_pointer_cast<PointLight>(lighting->lights()[1]);
    QTest::mouseClick(editor->editButton(), Qt::LeftButton);
    sheet = editor->findChild<EditPointLightSheet*>();
    ASSERT_FALSE(sheet.isNull());
    auto* height = sheet->findChild<QSlider*>(QStringLiteral("heightOverGround"));
    auto* name = sheet->findChild<QLineEdit*>(QStringLiteral("userName"));
    ASSERT_TRUE(height && name);
    setFloatValue(height, 1.25f);
    name->selectAll();
    QTest::keyClicks(name, QStringLiteral("Lantern"));
    sheet->findChild<QPushButton*>(QStringLiteral("ok"))->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet.isNull(); }, kWaitMs));
    EXPECT_FLOAT_EQ(point->heightOverGround(), 1.25f);
    EXPECT_EQ(point->userName(), "Lantern");
    EXPECT_EQ(editor->lightsList()->item(1)->text(), QStringLiteral("Lantern"))
        << "the list shows the new name";
}

}  // namespace
}  // namespace korvane
