#include <QCoreApplication>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>

#include "app/AppTestSupport.h"
#include "app/document/MyDocument.h"
#include "app/editors/clouds/EditCloudLayerSceneView.h"
#include "app/editors/clouds/EditCloudLayerViewController.h"
#include "app/editors/clouds/EditCloudSheet.h"
#include "app/render/RenderPreviewView.h"
#include "app/sheets/SheetControls.h"
#include "foundation/NotificationCenter.h"
#include "scene/Scene.h"
#include "scene/SceneNotifications.h"
#include "scene/layers/camera/CameraLayer.h"
#include "scene/layers/clouds/CloudsLayer.h"
#include "scene/layers/terrain/TerrainLayer.h"
#include "scene/layers/texture/TerrainTextureLayer.h"

namespace korvane {
namespace {

using LayerEditingGeometry::FootprintCorner;

constexpr int kWaitMs = 20000;

class EditCloudLayerViewControllerTest : public testing::Test {
protected:
    void SetUp() override {
        test::resetUserDefaults();
        layer = document.scene().layersOfClass<CloudsLayer>().back();
        editor = std::make_unique<EditCloudLayerViewController>(layer, &document);
        editor->resize(900, 600);
        editor->show();
        QCoreApplication::processEvents();
    }

    QPushButton* button(const char* name) const { return editor->findChild<QPushButton*>(QString::fromLatin1(name)); }
    EditCloudLayerSceneView& map() const { return *editor->sceneView(); }
    QPoint viewPoint(Point planPoint) const {
        const Point p = map().convertScenePointToViewPoint(planPoint);
        return QPoint(int(std::lround(p.x)), int(std::lround(p.y)));
    }
    Point planPoint(QPoint viewPoint) const { return map().convertViewPointToScenePoint({double(viewPoint.x()), double(viewPoint.y())}); }
    void drag(QPoint from, QPoint to) {
        QTest::mousePress(&map(), Qt::LeftButton, {}, from);
        QTest::mouseMove(&map(), (from + to) / 2);
        QTest::mouseMove(&map(), to);
        QTest::mouseRelease(&map(), Qt::LeftButton, {}, to);
        QCoreApplication::processEvents();
    }

    MyDocument document;
    std::shared_ptr<CloudsLayer> layer;
    std::unique_ptr<EditCloudLayerViewController> editor;
};

TEST_F(EditCloudLayerViewControllerTest, AddDuplicateAndRemoveActOnTheCloudSelectedLast) {
    EXPECT_EQ(editor->cloudsList()->count(), 0);
    EXPECT_FALSE(button("DuplicateCloud")->isEnabled()) << "nothing to act on";
    EXPECT_FALSE(button("RemoveCloud")->isEnabled());
    EXPECT_EQ(editor->editCloud(), nullptr);

    button("NewCloud")->click();
    button("NewCloud")->click();
    QCoreApplication::processEvents();
    ASSERT_EQ(layer->clouds().size(), 2u);
    const auto first = layer->clouds()[0];
    const auto second = layer->clouds()[1];
    EXPECT_EQ(editor->lastSelectedCloud(), second) << "a new cloud is selected";
    EXPECT_EQ(map().selectedClouds(), std::vector<std::shared_ptr<Cloud>>{second});
    ASSERT_EQ(editor->cloudsList()->count(), 2);
    EXPECT_EQ(editor->cloudsList()->item(1)->text(), QStringLiteral("Cloud 2"));

    // Clicking the first cloud on the map selects it alone.
    first->setBoundingBox({{1.0f, 1.0f, 0.5f}, {3.0f, 2.0f, 2.5f}});
    first->setDensity(0.7f);
    QTest::mouseClick(&map(), Qt::LeftButton, {}, viewPoint({2.0, 1.5}));
    QCoreApplication::processEvents();
    EXPECT_EQ(editor->lastSelectedCloud(), first);
    EXPECT_EQ(editor->cloudsList()->currentRow(), 0);

    button("DuplicateCloud")->click();
    QCoreApplication::processEvents();
    ASSERT_EQ(layer->clouds().size(), 3u);
    const auto copy = layer->clouds()[2];
    EXPECT_EQ(editor->lastSelectedCloud(), copy) << "the copy is selected";
    EXPECT_EQ(copy->boundingBox(), first->boundingBox());
    EXPECT_FLOAT_EQ(copy->density(), 0.7f);
    EXPECT_EQ(copy->cloudsLayer(), layer.get());
    ASSERT_TRUE(copy->cloudsTexture() && first->cloudsTexture());
    EXPECT_NE(copy->cloudsTexture(), first->cloudsTexture());
    EXPECT_NE(copy->cloudsTexture()->name(), first->cloudsTexture()->name()) << "no texture name clash";
    EXPECT_EQ(editor->cloudsList()->item(2)->text(), QStringLiteral("Cloud 3"));

    button("RemoveCloud")->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(layer->clouds(), (CloudsLayer::CloudList{first, second})) << "the copy, selected last, went";
    EXPECT_EQ(editor->cloudsList()->count(), 2);
    EXPECT_EQ(editor->lastSelectedCloud(), nullptr);
    EXPECT_FALSE(button("RemoveCloud")->isEnabled());

    // A click on bare map clears the selection.
    editor->selectCloud(second);
    QTest::mouseClick(&map(), Qt::LeftButton, {}, viewPoint({9.8, 0.2}));
    EXPECT_TRUE(map().selectedClouds().empty());
}

TEST_F(EditCloudLayerViewControllerTest, CornerDragStopsHalfAUnitShortAndAMoveKeepsTheSize) {
    button("NewCloud")->click();
    QCoreApplication::processEvents();
    const auto cloud = layer->clouds().front();
    const Box box = cloud->boundingBox();  // (4, 4, 0.5) to (9, 9, 2.5)

    // The bottom-right corner dragged past the opposite corner stops 0.5 short of the opposite edges.
    drag(viewPoint({box.end.x, box.end.y}), viewPoint({1.0, 1.5}));
    EXPECT_FLOAT_EQ(cloud->boundingBox().end.x, 4.5f);
    EXPECT_FLOAT_EQ(cloud->boundingBox().end.y, 4.5f);
    EXPECT_EQ(cloud->boundingBox().start, box.start) << "the opposite corner stays";
    EXPECT_FLOAT_EQ(cloud->boundingBox().end.z, 2.5f) << "z stays";

    // Within the limit the corner follows the mouse.
    const QPoint topLeftTarget = viewPoint({2.0, 3.0});
    drag(viewPoint({4.0, 4.0}), topLeftTarget);
    EXPECT_NEAR(cloud->boundingBox().start.x, planPoint(topLeftTarget).x, 1e-4);
    EXPECT_NEAR(cloud->boundingBox().start.y, planPoint(topLeftTarget).y, 1e-4);
    EXPECT_FLOAT_EQ(cloud->boundingBox().end.x, 4.5f);

    // Dragging inside the cloud moves it with the mouse.
    const Box before = cloud->boundingBox();
    const QPoint from = viewPoint({3.5, 4.0});
    const QPoint to = viewPoint({6.0, 7.0});
    drag(from, to);
    const double dx = planPoint(to).x - planPoint(from).x;
    const double dy = planPoint(to).y - planPoint(from).y;
    const Box after = cloud->boundingBox();
    EXPECT_NEAR(after.start.x, before.start.x + dx, 1e-4);
    EXPECT_NEAR(after.start.y, before.start.y + dy, 1e-4);
    EXPECT_NEAR(after.end.x - after.start.x, before.end.x - before.start.x, 1e-4) << "the size stays";
    EXPECT_NEAR(after.end.y - after.start.y, before.end.y - before.start.y, 1e-4);
    EXPECT_EQ(after.start.z, before.start.z);
    EXPECT_FALSE(map().isDragging());
}

TEST_F(EditCloudLayerViewControllerTest, CloudSheetPreviewsACopyAndCancelPutsTheValuesBack) {
    button("NewCloud")->click();
    QCoreApplication::processEvents();
    const auto cloud = layer->clouds().front();
    cloud->setHeightAboveGround(1.5f);
    cloud->setHeight(3.0f);
    QPointer<BaseSheet> opened = editor->editCloud();
    auto* sheet = qobject_cast<EditCloudSheet*>(opened.data());
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->windowTitle(), QStringLiteral("Edit Cloud"));
    RenderPreviewView& preview = *sheet->previewView();
    preview.setFixedSize(48, 40);
    EXPECT_EQ(preview.lightSamples(), 10);
    EXPECT_EQ(preview.volumeAccuracy(), 0.3f);

    const auto layers = sheet->layersToPreview();
    ASSERT_EQ(layers.size(), 4u);
    const auto clouds = std::dynamic_pointer_cast<CloudsLayer>(layers[0]);
    ASSERT_TRUE(clouds);
    ASSERT_EQ(clouds->clouds().size(), 1u);
    EXPECT_NE(clouds->clouds()[0], cloud) << "the preview renders a copy";
    EXPECT_EQ(clouds->clouds()[0]->boundingBox(), cloud->boundingBox());
    const auto camera = std::dynamic_pointer_cast<CameraLayer>(layers[1]);
    ASSERT_TRUE(camera);
    EXPECT_EQ(camera->toPoint(), (Point{6.5, 6.5})) << "aimed at the middle of the footprint";
    EXPECT_FLOAT_EQ(camera->toPointHeight(), 1.5f + 3.0f / 2);
    const auto terrain = std::dynamic_pointer_cast<TerrainLayer>(layers[2]);
    const auto texture = std::dynamic_pointer_cast<TerrainTextureLayer>(layers[3]);
    ASSERT_TRUE(terrain && texture);
    EXPECT_EQ(texture->terrainLayer(), terrain.get());

    QCoreApplication::processEvents();
    preview.abortRendering();
    int sceneChanges = 0;
    NotificationObservation observation(NotificationCenter::defaultCenter(), SceneDidChangeNotificationName,
                                        &document.scene(), [&](const Notification&) { ++sceneChanges; });
    QSignalSpy started(&preview, &RenderPreviewView::previewRenderStarted);
    auto* density = sheet->findChild<QSlider*>(QStringLiteral("density"));
    auto* noiseSize = sheet->findChild<QSlider*>(QStringLiteral("noiseSize"));
    ASSERT_TRUE(density && noiseSize);
    setFloatValue(density, 0.8f);
    setFloatValue(noiseSize, 9.0f);
    EXPECT_FLOAT_EQ(cloud->density(), 0.8f) << "edited live";
    EXPECT_FLOAT_EQ(cloud->cloudsTexture()->size(), 9.0f);
    EXPECT_GE(sceneChanges, 2) << "the document hears every change, the texture's too";
    ASSERT_TRUE(QTest::qWaitFor([&] { return started.count() > 0; }, kWaitMs));
    EXPECT_EQ(started.count(), 1);

    sheet->findChild<QPushButton*>(QStringLiteral("cancel"))->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return opened.isNull(); }, kWaitMs));
    EXPECT_FLOAT_EQ(cloud->density(), 0.25f) << "cancel puts the values back";
    EXPECT_FLOAT_EQ(cloud->cloudsTexture()->size(), 5.0f);

    opened = editor->editCloud();
    sheet = qobject_cast<EditCloudSheet*>(opened.data());
    ASSERT_TRUE(sheet);
    sheet->previewView()->setFixedSize(48, 40);
    setFloatValue(sheet->findChild<QSlider*>(QStringLiteral("cover")), 0.9f);
    sheet->findChild<QPushButton*>(QStringLiteral("ok"))->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return opened.isNull(); }, kWaitMs));
    EXPECT_FLOAT_EQ(cloud->cover(), 0.9f) << "OK keeps them";
}

}  // namespace
}  // namespace korvane
