// Painting in the terrain editor: the time of one brush dab plus its redraw (a drag event through
// the real view, then the repaint of the area it changed) for every brush at radius 64 and 256, on
// the 1024² heightmap of a 10 × 10 scene and the 4096² heightmap of a 40 × 40 scene; and the time to
// recolour the whole heightmap picture. Each figure is printed against a plain copy of the same
// heightmap measured in the same run, and against the 16.7 ms of one frame at 60 Hz.
#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QSlider>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

#include "app/document/MyDocument.h"
#include "app/editors/terrain/EditTerrainLayerSceneView.h"
#include "app/views/HeightmapDisplay.h"
#include "foundation/MainThreadDispatcher.h"
#include "foundation/QtMainThreadDispatcher.h"
#include "scene/layers/terrain/TerrainLayer.h"

using namespace korvane;

namespace {

constexpr double kFrameMs = 1000.0 / 60.0;
constexpr int kDabs = 40;

double medianMs(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Milliseconds of one plain copy of the heightmap: the baseline every figure is divided by.
double mapCopyMs(const Bitmap& heightmap) {
    std::vector<double> times;
    for (int i = 0; i < 9; ++i) {
        QElapsedTimer timer;
        timer.start();
        Bitmap copy = heightmap;
        times.push_back(timer.nsecsElapsed() / 1e6);
        if (copy.empty()) std::puts("");
    }
    return medianMs(times);
}

void sendDrag(QWidget* view, QPointF at) {
    QMouseEvent move(QEvent::MouseMove, at, view->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &move);
}

void benchScene(double sceneSide) {
    MyDocument document;
    document.scene().setSize({sceneSide, sceneSide});
    const auto terrain = document.scene().layersOfClass<TerrainLayer>().front();
    EditTerrainLayerSceneView view(document.scene(), *terrain);
    view.resize(1000, 800);
    view.show();
    if (!QTest::qWaitForWindowExposed(&view)) std::puts("the view was not exposed");
    QCoreApplication::processEvents();
    const Bitmap& heightmap = *terrain->heightmapImageRep();
    const double copyMs = mapCopyMs(heightmap);
    std::printf("\n%gx%g scene, %dx%d heightmap; plain map copy %.3f ms\n", sceneSide, sceneSide, heightmap.width(),
                heightmap.height(), copyMs);
    std::printf("%-16s %6s %12s %10s %12s\n", "brush", "radius", "dab+redraw", "x copy", "of a frame");

    const Rect scene = view.rectForScene();
    std::mt19937 random(7);
    std::uniform_real_distribution<double> across(0.2, 0.8);
    const auto& tools = view.controller().tools();
    for (int t = 0; t < static_cast<int>(tools.size()); ++t) {
        view.toolButtons()->button(t)->click();
        for (float radius : {64.0f, 256.0f}) {
            auto sliders = view.controller().selectedTool().sliders();
            sliders.back().setValue(radius);
            const QPointF start(scene.origin.x + scene.size.width / 2, scene.origin.y + scene.size.height / 2);
            QTest::mousePress(&view, Qt::LeftButton, {}, start.toPoint());
            QCoreApplication::processEvents();
            std::vector<double> times;
            for (int i = 0; i < kDabs; ++i) {
                const QPointF at(scene.origin.x + across(random) * scene.size.width,
                                 scene.origin.y + across(random) * scene.size.height);
                QElapsedTimer timer;
                timer.start();
                sendDrag(&view, at);
                QCoreApplication::processEvents();  // the repaint of the changed area
                times.push_back(timer.nsecsElapsed() / 1e6);
            }
            QTest::mouseRelease(&view, Qt::LeftButton, {}, start.toPoint());
            QCoreApplication::processEvents();
            const double ms = medianMs(times);
            std::printf("%-16s %6.0f %9.2f ms %10.1f %11.0f%%\n", tools[t]->name().c_str(), radius, ms, ms / copyMs,
                        ms / kFrameMs * 100);
        }
    }

    HeightmapDisplay display;
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
        display.setNeedsUpdate();
        QElapsedTimer timer;
        timer.start();
        display.update(heightmap, {i % 2, 0, 4.0f, 0.5f}, std::nullopt);
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    const double recolor = medianMs(times);
    std::printf("%-23s %9.2f ms %10.1f %11.0f%%\n", "whole-map recolouring", recolor, recolor / copyMs,
                recolor / kFrameMs * 100);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    MainThreadDispatcher::setShared(std::make_unique<QtMainThreadDispatcher>());
    std::printf("Terrain editor painting: median of %d dabs per brush (drag event + repaint of the changed area)\n",
                kDabs);
    benchScene(10);
    benchScene(40);
    return 0;
}
