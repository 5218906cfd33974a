#include <QPointer>
#include <QTest>
#include <QSlider>
#include "app/sheets/MapFilterSheets.h"
#include "app/sheets/MapFilterSheet.h"
#include "app/sheets/EditSceneSizeSheet.h"
#include "app/sheets/EditTerrainLayerBorderModeSheet.h"
#include "app/sheets/SheetControls.h"
#include "app/sheets/SheetTestSupport.h"
namespace korvane {
class ScratchShots : public test::SheetTest {};
TEST_F(ScratchShots, Grab) {
    int i = 0;
    for (auto kind : {MapFilterKind::Erode, MapFilterKind::FractalTerrain, MapFilterKind::AddNoise}) {
        QPointer<MapFilterSheet> sheet = dynamic_cast<MapFilterSheet*>(openFilterSheet(kind, heightmap(), delegate.get(), &window));
        if (auto* s = sheet->findChild<QSlider*>("numberOfDropsSlider")) setFloatValue(s, 200000);
        QTest::qWait(300);
        sheet->grab().save(QString("/tmp/sheet%1.png").arg(i++));
        sheet->cancel();
        QTest::qWaitFor([&] { return sheet.isNull(); }, 5000);
    }
    auto* s1 = static_cast<EditSceneSizeSheet*>(openSceneSizeSheet(scene, &window)); QTest::qWait(50); s1->grab().save("/tmp/sheet8.png"); s1->cancel();
    auto* s2 = static_cast<EditTerrainLayerBorderModeSheet*>(openBorderSmoothingSheet(*terrain, &window)); QTest::qWait(50); s2->grab().save("/tmp/sheet9.png"); s2->cancel();
    QTest::qWait(50);
}
}
