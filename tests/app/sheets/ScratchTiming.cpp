#include <chrono>
#include <cstdio>
#include <QPointer>
#include <QTest>
#include "app/sheets/MapFilterSheets.h"
#include "app/sheets/MapFilterSheet.h"
#include "app/sheets/SheetControls.h"
#include <QSlider>
#include "app/sheets/SheetTestSupport.h"
namespace korvane {
TEST(ScratchTiming, LargeMapCancel) {
    Scene scene; auto undo = std::make_shared<UndoManager>(); scene.setUndoManager(undo);
    scene.setSize({40, 40});
    auto terrain = std::make_shared<TerrainLayer>(&scene); scene.addLayer(terrain);
    Bitmap& map = *terrain->heightmapImageRep();
    for (int y = 0; y < map.height(); ++y) for (int x = 0; x < map.width(); ++x) map.setGray16(x, y, uint16_t(1000 + (x * 7 + y * 13) % 60000));
    TerrainLayerEditTarget target(*terrain); EditMapFilterDelegate delegate(target);
    QWidget window; window.show();
    for (auto kind : {MapFilterKind::FractalTerrain, MapFilterKind::Erode, MapFilterKind::AddNoise}) {
        auto t0 = std::chrono::steady_clock::now();
        QPointer<MapFilterSheet> sheet = dynamic_cast<MapFilterSheet*>(openFilterSheet(kind, map, &delegate, &window));
        QTest::qWaitFor([&] { return !sheet->isComputing() && sheet->isPreviewUpToDate(); }, 60000);
        auto t1 = std::chrono::steady_clock::now();
        std::printf("first preview %.1f ms\n", std::chrono::duration<double, std::milli>(t1 - t0).count());
        if (auto* s = sheet->findChild<QSlider*>("smallErosionSlider")) setFloatValue(s, 0.3f);
        if (auto* s = sheet->findChild<QSlider*>("strengthSlider")) setFloatValue(s, 0.3f);
        QTest::qWait(30);
        auto t2 = std::chrono::steady_clock::now();
        bool computing = sheet->isComputing();
        sheet->cancel();
        auto t3 = std::chrono::steady_clock::now();
        std::printf("kind %d computing %d cancel %.1f ms\n", int(kind), computing, std::chrono::duration<double, std::milli>(t3 - t2).count());
        QTest::qWaitFor([&] { return sheet.isNull(); }, 5000);
    }
}
}
