// Before any Qt header: the ray tracer's headers use the word emit, which Qt defines as a macro.
#include "renderer/YafarayRenderer.h"

#include "app/render/RenderViewController.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "app/document/MyDocument.h"
#include "app/render/PreviewRenderViewController.h"
#include "renderer/RendererImage.h"
#include "scene/Scene.h"
#include "scene/layers/camera/CameraLayer.h"

namespace korvane {
namespace {

constexpr int kRenderTimeoutMs = 120000;

QByteArray fileStart(const QString& path, int length) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.read(length);
}

class RenderViewControllerTest : public testing::Test {
protected:
    void SetUp() override {
        // A tiny, fast render: the first quality level at 64 × 48.
        DefaultsDictionary settings = YafarayRenderer::updateSettingsInDictionary(nullptr, 1, true);
        settings["rendererOutputSizeWidth"] = 64;
        settings["rendererOutputSizeHeight"] = 48;
        UserDefaults::standard().setDictionary("fullRenderSettings", settings);
    }
    void TearDown() override { UserDefaults::standard().removeObjectForKey("fullRenderSettings"); }

    MyDocument document;
};

TEST_F(RenderViewControllerTest, AFullRenderCompletesThenPostProcessesSavesAndPrints) {
    RenderViewController controller(&document);
    QAction* save = controller.toolbarAction("SaveAsImage");
    ASSERT_NE(save, nullptr);
    EXPECT_EQ(save->text(), "Save As Image");
    EXPECT_FALSE(save->isEnabled()) << "nothing to save before a render completes";
    EXPECT_FALSE(controller.toolbarAction("Print")->isEnabled());
    EXPECT_TRUE(controller.toolbarAction("RenderSettings")->isEnabled());
    EXPECT_FALSE(controller.canBePrinted());
    QString error;
    EXPECT_FALSE(controller.saveImageToFile(QDir::temp().filePath("never-written.png"), &error));

    int stateChanges = 0;
    QObject::connect(&controller, &BaseViewController::stateChanged, [&] { ++stateChanges; });
    controller.viewControllerDidShow();
    EXPECT_TRUE(controller.isProgressVisible());
    EXPECT_EQ(controller.progressText(), "Preparing…");
    EXPECT_EQ(controller.progressValue(), -1) << "the bar starts indeterminate";
    ASSERT_TRUE(QTest::qWaitFor([&] { return controller.hasCompleteImage() || !controller.isRendering(); },
                                kRenderTimeoutMs));
    ASSERT_TRUE(controller.hasCompleteImage()) << controller.progressText().toStdString();
    EXPECT_FALSE(controller.isProgressVisible());
    EXPECT_TRUE(save->isEnabled());
    EXPECT_TRUE(controller.toolbarAction("PostProcessingSettings")->isEnabled());
    EXPECT_TRUE(controller.canBePrinted());
    EXPECT_GE(stateChanges, 2) << "the window hears of the start and of the completion";
    std::shared_ptr<RendererImage> image = controller.renderedImage();
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width(), 64);
    EXPECT_EQ(image->height(), 48);
    EXPECT_TRUE(image->modifiedImage() == image->image()) << "no effect is enabled in a new document";

    // A strong red depth tint, applied through the options window's button.
    Scene& scene = document.scene();
    scene.setDepthTint(true);
    scene.setDepthTintColor(Color::calibratedRGB(1, 0, 0));
    scene.setDepthTintStart(0);
    scene.setDepthTintBias(100);
    scene.setDepthTintOpacity(1);
    auto* apply = controller.postProcessingOptionsWindow()->findChild<QPushButton*>("apply");
    ASSERT_NE(apply, nullptr);
    apply->click();
    EXPECT_FALSE(image->modifiedImage() == image->image());
    EXPECT_FALSE(controller.isProgressVisible()) << "the progress area hides again after the effects";

    QTemporaryDir folder;
    const struct {
        const char* name;
        QByteArray magic;
    } files[] = {{"view.png", QByteArray("\x89PNG", 4)},  {"view.jpg", QByteArray("\xFF\xD8\xFF", 3)},
                 {"view.jpeg", QByteArray("\xFF\xD8\xFF", 3)}, {"view.tiff", QByteArray("II*\0", 4)},
                 {"view.tif", QByteArray("II*\0", 4)}};
    for (const auto& file : files) {
        const QString path = folder.filePath(file.name);
        ASSERT_TRUE(controller.saveImageToFile(path, &error)) << file.name << ": " << error.toStdString();
        const QByteArray start = fileStart(path, int(file.magic.size()));
        EXPECT_TRUE(start == file.magic || (file.magic.startsWith("II") && start == QByteArray("MM\0*", 4)))
            << file.name << " starts with " << start.toHex().toStdString();
    }
    EXPECT_FALSE(controller.saveImageToFile(folder.filePath("missing/view.png"), &error));
    EXPECT_FALSE(error.isEmpty()) << "a failed save says why";

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString pdf = folder.filePath("view.pdf");
    printer.setOutputFileName(pdf);
    EXPECT_TRUE(controller.printTo(printer));
    EXPECT_EQ(fileStart(pdf, 4), QByteArray("%PDF"));

    // Showing the view again starts afresh: nothing can be saved until the new render completes.
    controller.startRendering();
    EXPECT_FALSE(controller.hasCompleteImage());
    EXPECT_FALSE(save->isEnabled());
    controller.viewControllerDidHide();
    EXPECT_FALSE(controller.isRendering());
}

TEST_F(RenderViewControllerTest, AFailedRenderShowsWhyInsteadOfHanging) {
    Scene& scene = document.scene();
    for (const auto& camera : scene.layersOfClass<CameraLayer>()) scene.removeLayer(camera);
    PreviewRenderViewController controller(&document);
    EXPECT_EQ(controller.preferenceKey(), "previewRenderSettings");
    ASSERT_NE(controller.toolbarAction("StartRender"), nullptr);
    ASSERT_EQ(controller.defaultToolbarItems().size(), 9);
    EXPECT_EQ(controller.defaultToolbarItems().at(7).identifier, "StartRender") << "before Back to Edit…";
    EXPECT_EQ(controller.defaultToolbarItems().at(8).identifier, "BackToEdit");
    UserDefaults::standard().setDictionary("previewRenderSettings",
                                           UserDefaults::standard().dictionaryForKey("fullRenderSettings"));
    QString failure;
    QObject::connect(&controller, &RenderViewController::renderFailed, [&](const QString& m) { failure = m; });
    controller.startRendering();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controller.isRendering(); }, kRenderTimeoutMs));
    UserDefaults::standard().removeObjectForKey("previewRenderSettings");
    EXPECT_FALSE(controller.hasCompleteImage());
    EXPECT_FALSE(failure.isEmpty());
    EXPECT_TRUE(controller.isProgressVisible());
    EXPECT_TRUE(controller.progressText().contains("camera")) << controller.progressText().toStdString();
    EXPECT_FALSE(controller.toolbarAction("SaveAsImage")->isEnabled());
}

}  // namespace
}  // namespace korvane
