#include <QCheckBox>
#include <QCoreApplication>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>

#include "app/AppTestSupport.h"
#include "app/document/MyDocument.h"
#include "app/editors/sky/EditFogLayerViewController.h"
#include "app/editors/sky/EditSkyLayerViewController.h"
#include "app/render/ExpandableRenderPreviewView.h"
#include "app/sheets/SheetControls.h"
#include "scene/Scene.h"
#include "scene/layers/camera/CameraLayer.h"
#include "scene/layers/lighting/LightingLayer.h"
#include "scene/layers/sky/FogLayer.h"
#include "scene/layers/sky/SkyLayer.h"
#include "scene/layers/terrain/TerrainLayer.h"
#include "scene/layers/texture/TerrainTextureLayer.h"

namespace korvane {
namespace {

constexpr int kWaitMs = 20000;
// A preview view of this size renders 32 × 24 pixels inside its 8-point borders.
constexpr QSize kTinyPreview{48, 40};

class AtmosphereEditorsTest : public testing::Test {
protected:
    void SetUp() override { test::resetUserDefaults(); }

    template <class L>
    std::shared_ptr<L> lastLayer() const {
        return document.scene().layersOfClass<L>().back();
    }

    // Shows the editor with a tiny preview and lets its first preview start go, so that what
    // follows counts only the starts the test causes.
    static void showWithTinyPreview(QWidget& editor, RenderPreviewView& preview) {
        preview.setFixedSize(kTinyPreview);
        editor.resize(760, 420);
        editor.show();
        QCoreApplication::processEvents();
        preview.abortRendering();
    }

    MyDocument document;
};

TEST_F(AtmosphereEditorsTest, SkyEditorPreviewsTheSkyOverItsFixedLandscape) {
    const auto sky = lastLayer<SkyLayer>();
    EditSkyLayerViewController editor(sky, &document);
    const auto layers = editor.previewView()->layersToPreview();
    ASSERT_EQ(layers.size(), 5u);
    EXPECT_EQ(layers[0], sky) << "the edited layer itself; the preview copies it for each render";
    const auto camera = std::dynamic_pointer_cast<CameraLayer>(layers[1]);
    ASSERT_TRUE(camera);
    EXPECT_EQ(camera->scene(), nullptr);
    EXPECT_FLOAT_EQ(camera->toPointHeight(), 1.8f);
    EXPECT_EQ(camera->toPoint(), (Point{5.0, 5.0}));
    EXPECT_FLOAT_EQ(camera->focal(), 0.6f);
    const auto terrain = std::dynamic_pointer_cast<TerrainLayer>(layers[2]);
    const auto texture = std::dynamic_pointer_cast<TerrainTextureLayer>(layers[3]);
    ASSERT_TRUE(terrain && texture);
    EXPECT_EQ(texture->terrainLayer(), terrain.get()) << "the materials dress the preview's own terrain";
    const auto lighting = std::dynamic_pointer_cast<LightingLayer>(layers[4]);
    ASSERT_TRUE(lighting);
    EXPECT_EQ(lighting->sunLight()->direction(), (Point{double(0.45f), double(0.35f)}));
}

TEST_F(AtmosphereEditorsTest, SkyControlsEditTheLayerAndABurstRestartsThePreviewOnce) {
    const auto sky = lastLayer<SkyLayer>();
    EditSkyLayerViewController editor(sky, &document);
    RenderPreviewView& preview = *editor.previewView();
    showWithTinyPreview(editor, preview);
    auto* turbidity = editor.findChild<QSlider*>(QStringLiteral("turbidity"));
    auto* circumsolar = editor.findChild<QSlider*>(QStringLiteral("circumsolarIntensity"));
    auto* night = editor.findChild<QCheckBox*>(QStringLiteral("night"));
    ASSERT_TRUE(turbidity && circumsolar && night);
    EXPECT_FLOAT_EQ(floatValue(turbidity), 3.5f) << "the controls show the layer";
    QSignalSpy started(&preview, &RenderPreviewView::previewRenderStarted);

    setFloatValue(turbidity, 8.0f);
    QCoreApplication::processEvents();
    setFloatValue(circumsolar, 12.0f);
    QCoreApplication::processEvents();
    night->click();
    EXPECT_FLOAT_EQ(sky->turbidity(), 8.0f);
    EXPECT_FLOAT_EQ(sky->circumsolarIntensity(), 12.0f);
    EXPECT_TRUE(sky->night());
    EXPECT_TRUE(preview.isStartPending());
    ASSERT_TRUE(QTest::qWaitFor([&] { return started.count() > 0; }, kWaitMs));
    EXPECT_EQ(started.count(), 1) << "three quick changes render once";
    EXPECT_FALSE(preview.isStartPending());

    // A value changed elsewhere shows in the control without writing anything back.
    sky->setTurbidity(2.0f);
    EXPECT_FLOAT_EQ(floatValue(turbidity), 2.0f);
    EXPECT_FLOAT_EQ(sky->turbidity(), 2.0f);

    editor.viewControllerWillHide();
    EXPECT_FALSE(preview.isRendering()) << "hiding the editor aborts its preview";
    EXPECT_FALSE(preview.isStartPending());
}

TEST_F(AtmosphereEditorsTest, FogEditorPreviewsTheFogAndItsSwitchesEnableTheirSliders) {
    const auto fog = lastLayer<FogLayer>();
    EditFogLayerViewController editor(fog, &document);
    RenderPreviewView& preview = *editor.previewView();
    const auto layers = preview.layersToPreview();
    ASSERT_EQ(layers.size(), 3u);
    EXPECT_EQ(layers[0], fog);
    const auto terrain = std::dynamic_pointer_cast<TerrainLayer>(layers[1]);
    const auto texture = std::dynamic_pointer_cast<TerrainTextureLayer>(layers[2]);
    ASSERT_TRUE(terrain && texture);
    EXPECT_EQ(texture->terrainLayer(), terrain.get());

    showWithTinyPreview(editor, preview);
    auto* active = editor.findChild<QCheckBox*>(QStringLiteral("active"));
    auto* density = editor.findChild<QSlider*>(QStringLiteral("density"));
    auto* haze = editor.findChild<QCheckBox*>(QStringLiteral("hazeActive"));
    auto* hazeDistance = editor.findChild<QSlider*>(QStringLiteral("hazeDistance"));
    ASSERT_TRUE(active && density && haze && hazeDistance);
    EXPECT_FALSE(density->isEnabled()) << "a new fog layer is off";
    EXPECT_TRUE(hazeDistance->isEnabled());
    QSignalSpy started(&preview, &RenderPreviewView::previewRenderStarted);

    active->click();
    QCoreApplication::processEvents();
    setFloatValue(density, 0.05f);
    QCoreApplication::processEvents();
    haze->click();
    EXPECT_TRUE(fog->active());
    EXPECT_NEAR(fog->density(), 0.05f, 1e-6f);
    EXPECT_FALSE(fog->hazeActive());
    EXPECT_TRUE(density->isEnabled());
    EXPECT_FALSE(hazeDistance->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return started.count() > 0; }, kWaitMs));
    EXPECT_EQ(started.count(), 1);

    editor.viewControllerWillHide();
    EXPECT_FALSE(preview.isRendering());
    EXPECT_FALSE(preview.isStartPending());
}

}  // namespace
}  // namespace korvane
