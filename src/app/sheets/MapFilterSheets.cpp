#include "app/sheets/MapFilterSheets.h"

#include "app/sheets/AutoFillSheets.h"
#include "app/sheets/ErodeSheet.h"
#include "app/sheets/FractalSheet.h"
#include "app/sheets/SimpleFilterSheets.h"

namespace korvane {

QString filterPullDownTitle() {
    return QStringLiteral("Filters…");
}

std::vector<std::pair<MapFilterKind, QString>> filterPullDownItems() {
    return {{MapFilterKind::AddNoise, QStringLiteral("Add Noise…")},
            {MapFilterKind::Clamp, QStringLiteral("Clamp…")},
            {MapFilterKind::Equalize, QStringLiteral("Equalize…")},
            {MapFilterKind::Flats, QStringLiteral("Flatten…")}};
}

BaseSheet* openFilterSheet(MapFilterKind kind, Bitmap& map, FilterRedrawDelegate* delegate, QWidget* window) {
    BaseSheet* sheet = nullptr;
    switch (kind) {
        case MapFilterKind::Clamp:
            sheet = new ClampSheet(map, delegate, window);
            break;
        case MapFilterKind::Equalize:
            sheet = new EqualizeSheet(map, delegate, window);
            break;
        case MapFilterKind::Flats:
            sheet = new FlatsSheet(map, delegate, window);
            break;
        case MapFilterKind::AddNoise:
            sheet = new NoiseSheet(map, delegate, window);
            break;
        case MapFilterKind::FractalTerrain:
            sheet = new FractalSheet(map, delegate, window);
            break;
        case MapFilterKind::Erode:
            sheet = new ErodeSheet(map, delegate, window);
            break;
    }
    sheet->openAsSheetModalForWindow(window);
    return sheet;
}

BaseSheet* openSteepnessAutoFillSheet(EditMapTarget& target, const TerrainLayer& terrain,
                                      AutoFillRedrawDelegate* delegate, QWidget* window) {
    BaseSheet* sheet = new SteepnessFillSheet(target, terrain, delegate, window);
    sheet->openAsSheetModalForWindow(window);
    return sheet;
}

BaseSheet* openHeightAutoFillSheet(EditMapTarget& target, const TerrainLayer& terrain,
                                   AutoFillRedrawDelegate* delegate, QWidget* window) {
    BaseSheet* sheet = new HeightFillSheet(target, terrain, delegate, window);
    sheet->openAsSheetModalForWindow(window);
    return sheet;
}

}  // namespace korvane
