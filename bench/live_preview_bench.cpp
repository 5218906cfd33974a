// The editor's live preview against the command line: for each bundled sample scene, the time from
// a scene change to the first completed live-preview image (at the editor's preview size and
// settings), and the time of the same render made as `korvane render` makes it. Prints both and
// their ratio; the preview's own start delay is reported apart, since it is waited on purpose.
#include "renderer/YafarayRenderer.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTest>

#include "app/render/ExpandableRenderPreviewView.h"
#include "renderer/BenchRendering.h"
#include "document/Document.h"
#include "foundation/MainThreadDispatcher.h"
#include "foundation/NotificationCenter.h"
#include "foundation/QtMainThreadDispatcher.h"
#include "renderer/RendererImage.h"
#include "scene/SceneNotifications.h"

using namespace korvane;

namespace {

// The editor's live preview: 300 × 200 points, borders of 16, the full render's aspect.
constexpr int kPreviewWidth = 300;
constexpr int kPreviewHeight = 200;
constexpr int kPreviewBorder = 16;
constexpr double kEditorStartDelay = 0.2;
constexpr int kTimedRuns = 3;
constexpr int kRenderTimeoutMs = 600000;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Seconds from a scene-did-change to the preview's completed image; negative when it failed.
double timePreviewAfterChange(ExpandableRenderPreviewView& view, const Scene& scene) {
    bool completed = false;
    bool failed = false;
    auto onComplete = QObject::connect(&view, &RenderPreviewView::previewImageCompleted, [&] { completed = true; });
    auto onFail = QObject::connect(&view, &RenderPreviewView::previewRenderFailed, [&] { failed = true; });
    QElapsedTimer timer;
    timer.start();
    scene.postSceneDidChangeNotification();
    const bool answered = QTest::qWaitFor([&] { return completed || failed; }, kRenderTimeoutMs);
    const double seconds = timer.nsecsElapsed() / 1e9;
    QObject::disconnect(onComplete);
    QObject::disconnect(onFail);
    return answered && completed ? seconds : -1;
}

// Seconds for the same render made as the command line makes it: a YafarayRenderer with the
// preview's settings, its delegate served by a SynchronousDispatcher pumped on this thread.
double timeCommandLineRender(const std::shared_ptr<Scene>& scene, QSize size) {
    MainThreadDispatcher::setShared(nullptr);
    std::string failure;
    const double seconds = bench::renderAndWait(
        scene,
        [&](YafarayRenderer& renderer) {
            renderer.setOutputSize({double(size.width()), double(size.height())});
            renderer.setRendererType(0);
            renderer.setDetailsMode(1);
            renderer.setPathSamples(12);
            renderer.setPathBounces(2);
            renderer.setLightSamples(2);
            renderer.setAaSamples(1);
            renderer.setAaPasses(1);
            renderer.setVolumeAccuracy(0.1f);
            renderer.setRayDepth(8);
            renderer.setUseBackgroundAsLightSource(true);
        },
        &failure);
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    // The full render's size decides the preview's aspect; the preview's anti-aliasing is 1 / 1.
    UserDefaults& defaults = UserDefaults::standard();
    defaults.setDictionary("fullRenderSettings", YafarayRenderer::updateSettingsInDictionary(nullptr, 3, true));
    defaults.setInteger("preview_antiAliasingSamples", 1);
    defaults.setInteger("preview_antiAliasingPasses", 1);

    const QDir samples(QStringLiteral(KORVANE_SOURCE_DIR "/resources/samples"));
    const QStringList files = samples.entryList({QStringLiteral("*.korvane")}, QDir::Files, QDir::Name);
    std::printf("%-14s %9s %12s %12s %10s %7s\n", "sample", "size", "preview s", "less delay", "cli s", "ratio");
    int failures = 0;
    for (const QString& file : files) {
        Document document;
        std::string error;
        if (!document.readFromFile(samples.filePath(file).toStdString(), &error)) {
            std::printf("%s: %s\n", qPrintable(file), error.c_str());
            ++failures;
            continue;
        }
        std::vector<double> previewTimes, commandLineTimes;
        QSize size;
        {
            MainThreadDispatcher::setShared(std::make_unique<QtMainThreadDispatcher>());
            ExpandableRenderPreviewView view;
            view.setStartDelay(kEditorStartDelay);
            view.setBorderSize(kPreviewBorder);
            view.setDrawGrayBackground(true);
            view.setSizeMode(1);
            view.resize(kPreviewWidth, kPreviewHeight);
            view.show();
            // As the editor does: every scene change hands the scene to the preview again.
            NotificationObservation sceneDidChange(
                NotificationCenter::defaultCenter(), SceneDidChangeNotificationName, &document.scene(),
                [&](const Notification&) { view.setSceneToPreview(document.sharedScene()); });
            timePreviewAfterChange(view, document.scene());  // warm-up: caches, first allocation
            for (int run = 0; run < kTimedRuns; ++run) previewTimes.push_back(timePreviewAfterChange(view, document.scene()));
            size = QSize(view.currentImage().width(), view.currentImage().height());
            view.abortRenderingAndHideProgressIndicator();
        }
        timeCommandLineRender(document.sharedScene(), size);  // warm-up
        for (int run = 0; run < kTimedRuns; ++run) commandLineTimes.push_back(timeCommandLineRender(document.sharedScene(), size));
        const double preview = median(previewTimes);
        const double commandLine = median(commandLineTimes);
        if (preview < 0 || commandLine < 0) ++failures;
        const double previewLessDelay = preview - kEditorStartDelay;
        std::printf("%-14s %4dx%-4d %12.3f %12.3f %10.3f %7.2f\n", qPrintable(QFileInfo(file).completeBaseName()),
                    size.width(), size.height(), preview, previewLessDelay, commandLine,
                    commandLine > 0 ? previewLessDelay / commandLine : 0.0);
    }
    std::printf("(median of %d runs after one warm-up; 'less delay' subtracts the editor's %.1f s start delay;\n"
                " ratio = (preview - delay) / cli)\n",
                kTimedRuns, kEditorStartDelay);
    return failures == 0 ? 0 : 1;
}
