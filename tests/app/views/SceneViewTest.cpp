// The editors' top-down map: fitting, colouring, camera overlay, and painting strokes through the
// terrain editor's view with real mouse events.
#include <QButtonGroup>
#include <QAbstractButton>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>

#include "app/AppTestSupport.h"
#include "app/document/MyDocument.h"
#include "app/editor/EditLayerControllerRegistry.h"
#include "app/editors/terrain/EditTerrainLayerSceneView.h"
#include "app/editors/terrain/EditTerrainLayerViewController.h"
#include "app/editors/texture/EditTerrainTextureLayerViewController.h"
#include "app/views/HeightmapDisplay.h"
#include "app/views/SceneViewGeometry.h"
#include "editing/EditMapSceneController.h"
#include "scene/layers/terrain/TerrainLayer.h"
#include "scene/layers/texture/TerrainTextureLayer.h"

namespace korvane {
namespace {

using SceneViewGeometry::rectForScene;

TEST(SceneViewGeometryTest, TheSceneIsFittedCentredAndNeverLargerThanAHundredPointsPerUnit) {
    EXPECT_EQ(rectForScene(Rect{{0, 0}, {600, 400}}, Size{10, 10}), (Rect{{110, 10}, {380, 380}}));
    EXPECT_EQ(rectForScene(Rect{{0, 0}, {2000, 1000}}, Size{1, 1}), (Rect{{950, 450}, {100, 100}}));
}

TEST(SceneViewGeometryTest, CameraOverlaysFollowTheCameraType) {
    const Rect scene{{0, 0}, {1000, 1000}};
    const Size size{10, 10};
    auto topdown = SceneViewGeometry::cameraOverlay("topdown", {5, 5}, {8, 5}, 1, 90, 2, scene, size);
    EXPECT_FALSE(topdown.toPointEnabled);
    ASSERT_EQ(topdown.outline.size(), 4u);
    EXPECT_EQ(topdown.outline[0], (Point{400, 400}));
    EXPECT_EQ(topdown.outline[2], (Point{600, 600}));
    // Perspective: a triangle from the eye, its far side across the target, 1 / (2 focal) wide.
    auto perspective = SceneViewGeometry::cameraOverlay("perspective", {5, 5}, {5, 1}, 1, 90, 2, scene, size);
    EXPECT_TRUE(perspective.toPointEnabled);
    ASSERT_EQ(perspective.outline.size(), 3u);
    EXPECT_EQ(perspective.outline[2], (Point{500, 500}));
    EXPECT_EQ(perspective.outline[0], (Point{300, 100}));
    EXPECT_EQ(perspective.outline[1], (Point{700, 100}));
    EXPECT_EQ(SceneViewGeometry::cameraOverlay("orthographic", {5, 5}, {5, 1}, 1, 90, 2, scene, size).outline.size(), 4u);
    EXPECT_TRUE(SceneViewGeometry::cameraOverlay("fisheye", {5, 5}, {5, 1}, 1, 90, 2, scene, size).outline.empty());
}

TEST(HeightmapDisplayTest, ColouringThreeIsBlackAtTheWaterAndRepeatsThePixelAboveAtTheTop) {
    Bitmap heightmap(1, 3, PixelFormat::Gray16);
    heightmap.setGray16(0, 0, 32768);  // half way up the land
    heightmap.setGray16(0, 1, 65535);  // the highest point
    heightmap.setGray16(0, 2, 13107);  // exactly at the water (0.2 of 4 = 0.8)
    HeightmapDisplay display;
    display.update(heightmap, {3, 0, 4.0f, 0.8f}, std::nullopt);
    const Bitmap& image = display.image();
    EXPECT_EQ(image.pixel(0, 1)[0], image.pixel(0, 0)[0]);
    EXPECT_EQ(image.pixel(0, 1)[1], image.pixel(0, 0)[1]);
    EXPECT_EQ(image.pixel(0, 2)[0], 0);
    EXPECT_EQ(image.pixel(0, 2)[1], 0);
    EXPECT_EQ(image.pixel(0, 2)[2], 0);
    // Without water everything is land: colouring 0 is grey-yellow.
    display.update(heightmap, {0, 0, 4.0f, 0.0f}, std::nullopt);
    EXPECT_EQ(display.image().pixel(0, 2)[0], display.image().pixel(0, 2)[1]);
}

class TerrainEditorTest : public testing::Test {
protected:
    void SetUp() override {
        test::resetUserDefaults();
        document.scene().setSize({2, 2});  // a 205² heightmap keeps the test quick
        const auto terrain = document.scene().layersOfClass<TerrainLayer>().front();
        editor.reset(static_cast<EditTerrainLayerViewController*>(EditLayerControllerRegistry::shared().createEditor(
            "EditTerrainLayerViewController", terrain, &document, nullptr)));
        ASSERT_NE(editor, nullptr);
        editor->resize(800, 600);
        editor->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(editor.get()));
        view = editor->sceneView();
        terrainLayer = terrain.get();
    }
    // Undo puts a snapshot back as a new bitmap: always ask the layer for its heightmap.
    const Bitmap& heightmap() const { return *terrainLayer->heightmapImageRep(); }
    QPoint sceneCentre() const {
        const Rect r = view->rectForScene();
        return QPoint(int(r.origin.x + r.size.width / 2), int(r.origin.y + r.size.height / 2));
    }
    uint16_t centreSample() const { return heightmap().gray16(heightmap().width() / 2, heightmap().height() / 2); }
    void selectTool(int index) { view->toolButtons()->button(index)->click(); }

    MyDocument document;
    std::unique_ptr<EditTerrainLayerViewController> editor;
    EditTerrainLayerSceneView* view = nullptr;
    TerrainLayer* terrainLayer = nullptr;
};

TEST_F(TerrainEditorTest, AClickIsOneDabAndADragOfKEventsIsOnePlusKDabsEachOneUndoStep) {
    selectTool(0);  // the standard brush at height 1: each dab pulls the centre 14.9 % of the way up
    view->toolSliders()[0]->setValue(1000);
    UndoManager& undo = document.undoManager();
    QTest::mouseClick(view, Qt::LeftButton, {}, sceneCentre());
    QCoreApplication::processEvents();
    EXPECT_NEAR(centreSample() / 65535.0, 0.149, 0.01);
    EXPECT_EQ(undo.undoCount(), 1u);
    undo.undo();
    EXPECT_EQ(centreSample(), 0);

    const int k = 4;
    QTest::mousePress(view, Qt::LeftButton, {}, sceneCentre());
    for (int i = 0; i < k; ++i) {
        QMouseEvent move(QEvent::MouseMove, QPointF(sceneCentre()), view->mapToGlobal(QPointF(sceneCentre())),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &move);
    }
    QTest::mouseRelease(view, Qt::LeftButton, {}, sceneCentre());
    QCoreApplication::processEvents();
    EXPECT_NEAR(centreSample() / 65535.0, 1 - std::pow(1 - 0.149, k + 1), 0.01);
    EXPECT_EQ(undo.undoCount(), 1u);
    undo.undo();
    EXPECT_EQ(centreSample(), 0);
}

TEST_F(TerrainEditorTest, TheToolSelectionAndTheSharedSliderKeysPersist) {
    selectTool(2);  // the circle brush shares its keys with the standard brush
    view->toolSliders()[1]->setValue(500);
    const double radius = UserDefaults::standard().floatForKey("RadialGradientRadius");
    EXPECT_NEAR(radius, 4 + 0.5 * (256 - 4), 0.5);
    EXPECT_EQ(UserDefaults::standard().integerForKey(EditMapSceneController::kLastSelectedToolIndexKey), 2);

    // A new editor starts with the circle brush, and the standard brush shows the same radius.
    const auto terrain = document.scene().layersOfClass<TerrainLayer>().front();
    EditTerrainLayerSceneView other(document.scene(), *terrain);
    EXPECT_EQ(other.toolButtons()->checkedId(), 2);
    other.toolButtons()->button(0)->click();
    EXPECT_EQ(other.toolSliders()[1]->value(), 500);
}

TEST_F(TerrainEditorTest, LoadingAndSavingTheHeightmapImageRoundTripsAsOneUndoStep) {
    selectTool(2);
    view->toolSliders()[0]->setValue(1000);
    QTest::mouseClick(view, Qt::LeftButton, {}, sceneCentre());
    QCoreApplication::processEvents();
    const Bitmap painted = heightmap();
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Heightmap.png"));
    QString error;
    ASSERT_TRUE(view->saveImageToFile(path, &error)) << error.toStdString();
    document.undoManager().undo();
    ASSERT_NE(heightmap(), painted);
    ASSERT_TRUE(view->loadImageFromFile(path, &error)) << error.toStdString();
    EXPECT_EQ(heightmap(), painted);
    EXPECT_FALSE(view->loadImageFromFile(folder.filePath(QStringLiteral("missing.png")), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("missing.png")));
}

TEST(TextureEditorTest, TheBaseMapCanNeitherBeDraggedNorDisplaced) {
    test::resetUserDefaults();
    MyDocument document;
    const auto textures = document.scene().layersOfClass<TerrainTextureLayer>().front();
    std::unique_ptr<EditTerrainTextureLayerViewController> editor(
        static_cast<EditTerrainTextureLayerViewController*>(EditLayerControllerRegistry::shared().createEditor(
            "EditTerrainTextureLayerViewController", textures, &document, nullptr)));
    editor->addMaterialMap();
    editor->addMaterialMap();
    ASSERT_EQ(textures->materialMaps().size(), 3u);
    MaterialMapsList* list = editor->materialMapsList();
    EXPECT_EQ(list->count(), 3);
    const auto base = textures->materialMaps()[0];
    EXPECT_FALSE(list->moveRow(0, 2));
    EXPECT_FALSE(list->moveRow(2, 0));
    EXPECT_EQ(textures->materialMaps()[0], base);
    const auto top = textures->materialMaps()[2];
    EXPECT_TRUE(list->moveRow(2, 1));
    EXPECT_EQ(textures->materialMaps()[1], top);
    EXPECT_EQ(textures->materialMaps()[0], base);
    EXPECT_FALSE(list->item(0)->flags().testFlag(Qt::ItemIsDragEnabled));
    // With the base map selected there is nothing to paint and the placeholder says why.
    list->setCurrentRow(0);
    EXPECT_EQ(editor->sceneView()->controller().target().imageRepToEdit(), nullptr);
    EXPECT_FALSE(editor->sceneView()->overlayPlaceholderText().isEmpty());
}

}  // namespace
}  // namespace korvane
