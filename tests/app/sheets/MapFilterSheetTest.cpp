#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include "app/sheets/ErodeSheet.h"
#include "app/sheets/FractalSheet.h"
#include "app/sheets/MapFilterSheets.h"
#include "app/sheets/SheetControls.h"
#include "app/sheets/SheetTestSupport.h"
#include "editing/HeightmapFilters.h"

namespace korvane {
namespace {

using test::SheetTest;

constexpr int kWaitMs = 20000;

template <class T>
T* control(QWidget* sheet, const char* name) {
    T* found = sheet->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

MapFilterSheet* open(MapFilterKind kind, Bitmap& map, FilterRedrawDelegate* delegate, QWidget* window) {
    auto* sheet = dynamic_cast<MapFilterSheet*>(openFilterSheet(kind, map, delegate, window));
    EXPECT_NE(sheet, nullptr);
    return sheet;
}

// Waits until the sheet shows the result of its current settings.
bool waitForPreview(MapFilterSheet* sheet) {
    return QTest::qWaitFor([&] { return !sheet->isComputing() && sheet->isPreviewUpToDate(); }, kWaitMs);
}

class MapFilterSheetTest : public SheetTest {};

TEST_F(MapFilterSheetTest, PullDownOffersTheFourFiltersInMenuOrder) {
    const auto items = filterPullDownItems();
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(filterPullDownTitle(), QStringLiteral("Filters…"));
    EXPECT_EQ(items[0], std::make_pair(MapFilterKind::AddNoise, QStringLiteral("Add Noise…")));
    EXPECT_EQ(items[1], std::make_pair(MapFilterKind::Clamp, QStringLiteral("Clamp…")));
    EXPECT_EQ(items[2], std::make_pair(MapFilterKind::Equalize, QStringLiteral("Equalize…")));
    EXPECT_EQ(items[3], std::make_pair(MapFilterKind::Flats, QStringLiteral("Flatten…")));
}

TEST_F(MapFilterSheetTest, OkAfterTenSliderMovesLeavesOneUndoStepThatRestoresTheMap) {
    const Bitmap before = heightmap();
    QPointer<MapFilterSheet> sheet = open(MapFilterKind::Clamp, heightmap(), delegate.get(), &window);
    EXPECT_EQ(sheet->windowTitle(), QStringLiteral("Clamp"));
    ASSERT_TRUE(waitForPreview(sheet));
    EXPECT_FALSE(heightmap() == before) << "the first preview shows as soon as the sheet is up";

    auto* top = control<QSlider>(sheet, "topClampSlider");
    auto* bottom = control<QSlider>(sheet, "bottomClampSlider");
    setFloatValue(bottom, 0.3f);
    test::SheetTest::nextEvent();
    for (int i = 0; i < 10; ++i) {
        setFloatValue(top, 0.8f - 0.04f * i);
        test::SheetTest::nextEvent();
    }
    ASSERT_TRUE(waitForPreview(sheet));
    Bitmap expected = before;
    ASSERT_TRUE(clampMap(before, expected, floatValue(top), floatValue(bottom)));
    EXPECT_TRUE(heightmap() == expected) << "the preview follows the latest settings";
    EXPECT_EQ(undo->undoCount(), 0u) << "previews leave no undo step";

    control<QPushButton>(sheet, "ok")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet.isNull(); }, kWaitMs)) << "the sheet deletes itself";
    ASSERT_TRUE(QTest::qWaitFor([&] { return undo->undoCount() == 1; }, kWaitMs));
    test::SheetTest::nextEvent();
    EXPECT_EQ(undo->undoCount(), 1u);
    EXPECT_TRUE(undo->isUndoRegistrationEnabled());
    EXPECT_TRUE(heightmap() == expected);
    undo->undo();
    EXPECT_TRUE(heightmap() == before);
}

TEST_F(MapFilterSheetTest, CancelRestoresTheMapByteForByteForEveryFilter) {
    const Bitmap before = heightmap();
    for (MapFilterKind kind :
         {MapFilterKind::Clamp, MapFilterKind::Equalize, MapFilterKind::Flats, MapFilterKind::AddNoise,
          MapFilterKind::FractalTerrain, MapFilterKind::Erode}) {
        QPointer<MapFilterSheet> sheet = open(kind, heightmap(), delegate.get(), &window);
        ASSERT_TRUE(waitForPreview(sheet)) << sheet->title().toStdString();
        if (auto* drops = sheet->findChild<QSlider*>(QStringLiteral("numberOfDropsSlider"))) {
            setFloatValue(drops, 1000.0f);
        }
        QSlider* slider = nullptr;
        for (const char* name : {"strengthSlider", "largeErosionSlider", "bottomClampSlider"}) {
            if (!slider) slider = sheet->findChild<QSlider*>(QString::fromLatin1(name));
        }
        ASSERT_NE(slider, nullptr);
        for (int i = 1; i <= 3; ++i) {
            setFloatValue(slider, 0.2f * i);
            test::SheetTest::nextEvent();
        }
        ASSERT_TRUE(waitForPreview(sheet));
        EXPECT_FALSE(heightmap() == before) << sheet->title().toStdString() << " previews into the map";

        control<QPushButton>(sheet, "cancel")->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return sheet.isNull(); }, kWaitMs));
        test::SheetTest::nextEvent();
        EXPECT_TRUE(heightmap() == before);
        EXPECT_EQ(undo->undoCount(), 0u);
        EXPECT_TRUE(undo->isUndoRegistrationEnabled());
    }
}

TEST_F(MapFilterSheetTest, CancellingARunningErosionStopsTheWorkerAndRestoresTheMap) {
    const Bitmap before = heightmap();
    QPointer<MapFilterSheet> sheet = open(MapFilterKind::Erode, heightmap(), delegate.get(), &window);
    EXPECT_EQ(sheet->windowTitle(), QStringLiteral("Erode"));
    auto* drops = control<QSlider>(sheet, "numberOfDropsSlider");
    setFloatValue(drops, 200000.0f);
    auto* progress = control<QProgressBar>(sheet, "progressIndicator");
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet->isComputing() && progress->value() > 0; }, kWaitMs))
        << "the simulation runs in the background and shows how far it has come";
    EXPECT_TRUE(progress->isVisible());
    EXPECT_TRUE(heightmap() == before) << "the worker computes on its own copy, never in the live map";

    control<QPushButton>(sheet, "cancel")->click();
    EXPECT_TRUE(QTest::qWaitFor([] { return MapFilterSheet::runningComputations() == 0; }, 1000))
        << "the worker has stopped";
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet.isNull(); }, kWaitMs));
    test::SheetTest::nextEvent();
    EXPECT_TRUE(heightmap() == before);
    EXPECT_EQ(undo->undoCount(), 0u);
    EXPECT_TRUE(undo->isUndoRegistrationEnabled());
}

TEST_F(MapFilterSheetTest, ErosionOkRecomputesAStalePreviewBeforeKeepingIt) {
    const Bitmap before = heightmap();
    QPointer<MapFilterSheet> sheet = open(MapFilterKind::Erode, heightmap(), delegate.get(), &window);
    auto* drops = control<QSlider>(sheet, "numberOfDropsSlider");
    setFloatValue(drops, 300.0f);
    ASSERT_TRUE(waitForPreview(sheet));
    const Bitmap preview = heightmap();
    EXPECT_FALSE(preview == before);

    // Dragging the slider only marks the preview stale.
    drops->setSliderDown(true);
    setFloatValue(drops, 0.0f);
    test::SheetTest::nextEvent();
    EXPECT_FALSE(sheet->isComputing());
    EXPECT_FALSE(sheet->isPreviewUpToDate());
    EXPECT_TRUE(control<QLabel>(sheet, "stalePreview")->isVisible());
    EXPECT_TRUE(heightmap() == preview);
    sheet->ok();
    EXPECT_TRUE(sheet->isConfirming());
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet.isNull(); }, kWaitMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return undo->undoCount() == 1; }, kWaitMs));
    EXPECT_TRUE(heightmap() == before) << "no drops: the kept result comes from the current settings";
    EXPECT_TRUE(undo->isUndoRegistrationEnabled());
}

TEST_F(MapFilterSheetTest, FractalShowsTheLatestSettingsAndANewSeedGivesANewTerrain) {
    const Bitmap before = heightmap();
    QPointer<MapFilterSheet> opened =
        open(MapFilterKind::FractalTerrain, heightmap(), delegate.get(), &window);
    auto* sheet = dynamic_cast<FractalSheet*>(opened.data());
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->windowTitle(), QStringLiteral("Fractal Terrain"));
    ASSERT_TRUE(waitForPreview(sheet));

    // Quick changes restart the generator; what stays is the terrain of the last settings.
    auto* preset = control<QComboBox>(sheet, "presetPopup");
    auto* large = control<QSlider>(sheet, "largeErosionSlider");
    auto* small = control<QSlider>(sheet, "smallErosionSlider");
    preset->setCurrentIndex(preset->findData(static_cast<int>(FractalPreset::TwoPeaks)));
    for (int i = 0; i < 5; ++i) {
        setFloatValue(large, 0.1f * i);
        setFloatValue(small, 0.05f * i);
        test::SheetTest::nextEvent();
    }
    ASSERT_TRUE(waitForPreview(sheet));
    const auto headless = [&](int64_t seed) {
        Bitmap copy = before;
        FractalFilterSheet fractal(copy, nullptr);
        fractal.setSeed(seed);
        fractal.setPreset(static_cast<int>(FractalPreset::TwoPeaks));
        fractal.setLargeErosion(floatValue(large));
        fractal.setSmallErosion(floatValue(small));
        fractal.valueChanged();
        return copy;
    };
    EXPECT_TRUE(heightmap() == headless(sheet->seed()));

    const int64_t oldSeed = sheet->seed();
    const Bitmap oldTerrain = heightmap();
    control<QPushButton>(sheet, "newRandomSeed")->click();
    EXPECT_NE(sheet->seed(), oldSeed);
    ASSERT_TRUE(waitForPreview(sheet));
    EXPECT_FALSE(heightmap() == oldTerrain);
    EXPECT_TRUE(heightmap() == headless(sheet->seed()));

    control<QPushButton>(sheet, "cancel")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return opened.isNull(); }, kWaitMs));
    EXPECT_TRUE(heightmap() == before);
}

}  // namespace
}  // namespace korvane
