#include <QComboBox>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include "app/sheets/EditSceneSizeSheet.h"
#include "app/sheets/EditTerrainLayerBorderModeSheet.h"
#include "app/sheets/SheetControls.h"
#include "app/sheets/SheetTestSupport.h"

namespace korvane {
namespace {

constexpr int kWaitMs = 10000;

class TerrainSheetsTest : public test::SheetTest {
protected:
    // An undo step that a size change must clear.
    void registerSomeUndo() {
        undo->setGroupsByEvent(false);
        undo->beginUndoGrouping();
        undo->registerUndo(this, [] {});
        undo->endUndoGrouping();
        ASSERT_EQ(undo->undoCount(), 1u);
    }
};

TEST_F(TerrainSheetsTest, SceneSizeSheetResizesTheSceneAndClearsTheUndoHistory) {
    registerSomeUndo();
    QPointer<BaseSheet> sheet = openSceneSizeSheet(scene, &window);
    EXPECT_EQ(sheet->windowTitle(), QStringLiteral("Scene Size"));
    auto* width = sheet->findChild<QSlider*>(QStringLiteral("sceneWidth"));
    auto* height = sheet->findChild<QSlider*>(QStringLiteral("sceneHeight"));
    auto* maxHeight = sheet->findChild<QSlider*>(QStringLiteral("maxTerrainHeight"));
    ASSERT_TRUE(width && height && maxHeight);
    EXPECT_FLOAT_EQ(floatValue(width), 2.0f) << "the sliders show the scene's values";
    EXPECT_NEAR(floatValue(maxHeight), scene.maxTerrainHeight(), 0.05f);

    setFloatValue(width, 3.0f);
    setFloatValue(maxHeight, 6.5f);
    EXPECT_EQ(scene.size(), (Size{2.0, 2.0})) << "nothing changes before OK";
    sheet->findChild<QPushButton*>(QStringLiteral("ok"))->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet.isNull(); }, kWaitMs));
    EXPECT_EQ(scene.size(), (Size{3.0, 2.0}));
    EXPECT_FLOAT_EQ(scene.maxTerrainHeight(), 6.5f);
    EXPECT_EQ(heightmap().width(), 307) << "the terrain was re-cut";
    EXPECT_EQ(heightmap().height(), 204);
    EXPECT_EQ(undo->undoCount(), 0u);
}

TEST_F(TerrainSheetsTest, UntouchedSceneSizeSheetChangesNothingAndCancelNeither) {
    scene.setSize({2.34, 1.5});
    registerSomeUndo();
    const Bitmap before = heightmap();
    for (const char* button : {"ok", "cancel"}) {
        QPointer<BaseSheet> sheet = openSceneSizeSheet(scene, &window);
        if (std::string(button) == "cancel") {
            setFloatValue(sheet->findChild<QSlider*>(QStringLiteral("sceneWidth")), 5.0f);
        }
        sheet->findChild<QPushButton*>(QString::fromLatin1(button))->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return sheet.isNull(); }, kWaitMs));
        EXPECT_EQ(scene.size(), (Size{2.34, 1.5})) << button;
        EXPECT_TRUE(heightmap() == before);
        EXPECT_EQ(undo->undoCount(), 1u) << "the undo history survives";
    }
}

TEST_F(TerrainSheetsTest, BorderSheetEditsLiveAndCancelPutsTheValuesBack) {
    QPointer<BaseSheet> sheet = openBorderSmoothingSheet(*terrain, &window);
    EXPECT_EQ(sheet->windowTitle(), QStringLiteral("Border & Smoothing Options"));
    auto* mode = sheet->findChild<QComboBox*>(QStringLiteral("borderMode"));
    auto* smoothing = sheet->findChild<QSlider*>(QStringLiteral("smoothingFactor"));
    ASSERT_TRUE(mode && smoothing);
    EXPECT_EQ(selectedTag(mode), 0);
    EXPECT_FLOAT_EQ(floatValue(smoothing), 45.0f);

    mode->setCurrentIndex(mode->findData(2));
    setFloatValue(smoothing, 30.0f);
    EXPECT_EQ(terrain->borderMode(), 2) << "edited live";
    EXPECT_FLOAT_EQ(terrain->smoothingFactor(), 30.0f);
    sheet->findChild<QPushButton*>(QStringLiteral("cancel"))->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet.isNull(); }, kWaitMs));
    EXPECT_EQ(terrain->borderMode(), 0);
    EXPECT_FLOAT_EQ(terrain->smoothingFactor(), 45.0f);

    sheet = openBorderSmoothingSheet(*terrain, &window);
    sheet->findChild<QComboBox*>(QStringLiteral("borderMode"))->setCurrentIndex(1);
    sheet->findChild<QPushButton*>(QStringLiteral("ok"))->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet.isNull(); }, kWaitMs));
    EXPECT_EQ(terrain->borderMode(), 1);
}

}  // namespace
}  // namespace korvane
