#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QMenu>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include "app/AppTestSupport.h"
#include "app/document/MyDocument.h"
#include "app/editors/water/EditWaterLayerViewController.h"
#include "app/render/ExpandableRenderPreviewView.h"
#include "app/sheets/SheetControls.h"
#include "scene/Scene.h"
#include "scene/layers/terrain/TerrainLayer.h"
#include "scene/layers/texture/TerrainTextureLayer.h"
#include "scene/layers/water/WaterLayer.h"

namespace korvane {
namespace {

constexpr int kWaitMs = 20000;

class EditWaterLayerViewControllerTest : public testing::Test {
protected:
    void SetUp() override {
        test::resetUserDefaults();
        water = document.scene().layersOfClass<WaterLayer>().back();
        editor = std::make_unique<EditWaterLayerViewController>(water, &document);
        editor->previewView()->setFixedSize(48, 40);
        editor->resize(760, 480);
        editor->show();
        QCoreApplication::processEvents();
        editor->previewView()->abortRendering();
    }

    QAction* presetItem(const QString& title) const {
        for (QAction* item : editor->presetButton()->menu()->actions()) {
            if (item->text() == title) return item;
        }
        return nullptr;
    }

    MyDocument document;
    std::shared_ptr<WaterLayer> water;
    std::unique_ptr<EditWaterLayerViewController> editor;
};

TEST_F(EditWaterLayerViewControllerTest, PreviewShowsTheWaterOverItsOwnLandscapeAndStopsWhenHidden) {
    const auto layers = editor->previewView()->layersToPreview();
    ASSERT_EQ(layers.size(), 3u);
    EXPECT_EQ(layers[0], water);
    const auto terrain = std::dynamic_pointer_cast<TerrainLayer>(layers[1]);
    const auto texture = std::dynamic_pointer_cast<TerrainTextureLayer>(layers[2]);
    ASSERT_TRUE(terrain && texture);
    EXPECT_EQ(terrain->scene(), nullptr);
    EXPECT_EQ(texture->terrainLayer(), terrain.get());

    RenderPreviewView& preview = *editor->previewView();
    QSignalSpy started(&preview, &RenderPreviewView::previewRenderStarted);
    editor->findChild<QCheckBox*>(QStringLiteral("active"))->click();
    QCoreApplication::processEvents();
    setFloatValue(editor->findChild<QSlider*>(QStringLiteral("height")), 1.0f);
    QCoreApplication::processEvents();
    setFloatValue(editor->findChild<QSlider*>(QStringLiteral("IOR")), 1.33f);
    EXPECT_TRUE(water->active());
    EXPECT_FLOAT_EQ(water->height(), 1.0f);
    EXPECT_NEAR(water->IOR(), 1.33f, 1e-5f);
    ASSERT_TRUE(QTest::qWaitFor([&] { return started.count() > 0; }, kWaitMs));
    EXPECT_EQ(started.count(), 1) << "a burst of changes renders once";

    editor->viewControllerWillHide();
    EXPECT_FALSE(preview.isRendering());
    EXPECT_FALSE(preview.isStartPending());
}

TEST_F(EditWaterLayerViewControllerTest, PresetMenuListsThePresetsAfterItsTitleAndAppliesTheLookOnly) {
    const QList<QAction*> items = editor->presetButton()->menu()->actions();
    const auto& presets = WaterLayer::presetDictionaries();
    ASSERT_EQ(items.size(), qsizetype(presets.size() + 1));
    EXPECT_EQ(items[0]->text(), QStringLiteral("Assign Preset…"));
    EXPECT_FALSE(items[0]->isEnabled()) << "the title item does nothing";
    for (size_t i = 0; i < presets.size(); ++i) {
        EXPECT_EQ(items[qsizetype(i) + 1]->text().toStdString(), presets[i].name);
        EXPECT_EQ(items[qsizetype(i) + 1]->data().toString().toStdString(), presets[i].presetKey);
    }

    water->setActive(true);
    water->setHeight(0.8f);
    QSignalSpy started(editor->previewView(), &RenderPreviewView::previewRenderStarted);
    QAction* reflective = presetItem(QStringLiteral("Reflective Ocean"));
    ASSERT_TRUE(reflective);
    reflective->trigger();
    EXPECT_FLOAT_EQ(water->wavesHeight(), 0.0f);
    EXPECT_FLOAT_EQ(water->wavesTwirl(), 0.0f);
    EXPECT_FLOAT_EQ(water->wavesSize(), 0.0f);
    EXPECT_FLOAT_EQ(water->IOR(), 2.0f);
    EXPECT_TRUE(water->active()) << "a preset sets the look, not the switch";
    EXPECT_FLOAT_EQ(water->height(), 0.8f) << "nor the level";
    EXPECT_FLOAT_EQ(floatValue(editor->findChild<QSlider*>(QStringLiteral("wavesSize"))), 0.0f)
        << "the controls show the preset";
    EXPECT_FLOAT_EQ(floatValue(editor->findChild<QSlider*>(QStringLiteral("IOR"))), 2.0f);
    EXPECT_TRUE(editor->previewView()->isStartPending()) << "and the preview shows it";
    ASSERT_TRUE(QTest::qWaitFor([&] { return started.count() > 0; }, kWaitMs));
    editor->viewControllerWillHide();
}

}  // namespace
}  // namespace korvane
