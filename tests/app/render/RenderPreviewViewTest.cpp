#include "app/render/RenderPreviewView.h"

#include <QEnterEvent>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include "app/render/ExpandableRenderPreviewView.h"
#include "app/render/RenderPreviewWindow.h"
#include "document/Document.h"
#include "scene/Scene.h"
#include "scene/layers/terrain/TerrainLayer.h"

namespace korvane {
namespace {

constexpr int kRenderTimeoutMs = 60000;

class RenderPreviewViewTest : public testing::Test {
protected:
    Document document;  // the default layer stack
};

TEST_F(RenderPreviewViewTest, ABurstOfChangesRendersOnceAndOnlyRealChangesRestart) {
    RenderPreviewView view;
    view.setStartDelay(0.3);
    view.resize(72, 56);
    view.show();
    QSignalSpy started(&view, &RenderPreviewView::previewRenderStarted);
    QSignalSpy completed(&view, &RenderPreviewView::previewImageCompleted);

    for (int change = 0; change < 10; ++change) view.setSceneToPreview(document.sharedScene());
    EXPECT_TRUE(view.isStartPending());
    EXPECT_TRUE(view.isProgressIndicatorVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return completed.count() > 0 || !view.failureMessage().isEmpty(); },
                                kRenderTimeoutMs));
    ASSERT_TRUE(view.failureMessage().isEmpty()) << view.failureMessage().toStdString();
    EXPECT_EQ(started.count(), 1) << "ten changes within the delay render once";
    EXPECT_FALSE(view.isStartPending());
    EXPECT_FALSE(view.isProgressIndicatorVisible());
    EXPECT_EQ(view.currentImage().width(), 72 - 2 * 8) << "size mode 0: the view less its borders";
    EXPECT_EQ(view.currentImage().height(), 56 - 2 * 8);

    view.setLayersToPreview({});
    view.setSceneToPreview(nullptr);
    view.resize(72, 56);
    EXPECT_FALSE(view.isStartPending()) << "no layers, no scene and the same size change nothing";
    EXPECT_FALSE(view.currentImage().empty());

    view.setSceneToPreview(document.sharedScene());
    view.abortRendering();
    view.resize(90, 60);
    EXPECT_TRUE(view.isStartPending()) << "a new size renders again";
    EXPECT_TRUE(view.currentImage().empty()) << "the old image goes until the new one arrives";
    EXPECT_EQ(view.lastKnownImageSize(), QSize(0, 0));
    view.abortRenderingAndHideProgressIndicator();
    EXPECT_FALSE(view.isStartPending());
    EXPECT_FALSE(view.isProgressIndicatorVisible());
    EXPECT_EQ(started.count(), 1);
}

TEST_F(RenderPreviewViewTest, LayersAloneAreCompletedWithCameraLightAndSky) {
    RenderPreviewView view;
    view.setStartDelay(0);
    view.setSizeMode(1);
    view.resize(80, 70);
    view.show();
    QSignalSpy completed(&view, &RenderPreviewView::previewImageCompleted);
    std::vector<std::shared_ptr<BaseSceneLayer>> terrain;
    for (const auto& layer : document.scene().layersOfClass<TerrainLayer>()) terrain.push_back(layer);
    ASSERT_FALSE(terrain.empty());
    const size_t layersBefore = document.scene().layers().size();
    view.setLayersToPreview(terrain);
    ASSERT_TRUE(QTest::qWaitFor([&] { return completed.count() > 0 || !view.failureMessage().isEmpty(); },
                                kRenderTimeoutMs));
    EXPECT_TRUE(view.failureMessage().isEmpty()) << view.failureMessage().toStdString();
    // Size mode 1: the full render's 4:3 (320 × 240 by default) fitted into 64 × 54.
    EXPECT_EQ(view.currentImage().width(), 64);
    EXPECT_EQ(view.currentImage().height(), 48);
    EXPECT_EQ(document.scene().layers().size(), layersBefore) << "the preview renders copies";
}

TEST_F(RenderPreviewViewTest, TheExpandButtonOpensALivePreviewPanelOfTheSameScene) {
    ExpandableRenderPreviewView view;
    view.setStartDelay(10);  // nothing needs to render here
    view.resize(120, 90);
    view.show();
    view.setSceneToPreview(document.sharedScene());
    EXPECT_EQ(view.expandButton(), nullptr);
    QEnterEvent enter(QPointF(60, 45), QPointF(60, 45), QPointF(60, 45));
    QCoreApplication::sendEvent(&view, &enter);
    ASSERT_NE(view.expandButton(), nullptr);
    EXPECT_EQ(view.expandButton()->text(), "+");
    EXPECT_EQ(view.expandButton()->toolTip(), "Open Live Preview Window");
    EXPECT_EQ(view.expandButton()->size(), QSize(24, 22));

    QSignalSpy opened(&view, &ExpandableRenderPreviewView::willOpenPreviewWindow);
    QSignalSpy closed(&view, &ExpandableRenderPreviewView::willClosePreviewWindow);
    view.expandButton()->click();
    RenderPreviewWindow* panel = view.attachedPreviewWindow();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(opened.count(), 1);
    EXPECT_EQ(panel->windowTitle(), "Live Preview");
    EXPECT_EQ(panel->maximumSize(), QSize(480, 320));
    EXPECT_EQ(panel->renderPreviewView()->startDelay(), 1.0);
    EXPECT_EQ(panel->renderPreviewView()->sizeMode(), 1);
    EXPECT_EQ(panel->renderPreviewView()->sceneToPreview(), document.sharedScene());
    view.openPreviewWindow();
    EXPECT_EQ(view.attachedPreviewWindow(), panel) << "one panel while it is open";

    auto replacement = std::make_shared<Scene>();
    view.setSceneToPreview(replacement);
    EXPECT_EQ(panel->renderPreviewView()->sceneToPreview(), replacement) << "changes reach the panel";

    panel->close();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(view.attachedPreviewWindow(), nullptr);
    QCoreApplication::processEvents();  // the platform's own enter and leave events of the closing
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&view, &leave);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.expandButton() == nullptr; }, 5000))
        << "the button fades out and goes when the mouse leaves";
}

}  // namespace
}  // namespace korvane
