#include <QComboBox>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include "app/sheets/AutoFillSheets.h"
#include "app/sheets/MapFilterSheets.h"
#include "app/sheets/SheetControls.h"
#include "app/sheets/SheetTestSupport.h"

namespace korvane {
namespace {

constexpr int kWaitMs = 10000;

// An 8-bit map of the terrain's size edited as an editor edits a mask: each start/end pair is one
// undo step that restores the map as it was at the start.
class MaskTarget final : public EditMapTarget {
public:
    MaskTarget(int width, int height, UndoManager& undo)
        : map(width, height, PixelFormat::Gray8), undo_(undo) {}
    Bitmap* imageRepToEdit() override { return &map; }
    void didStartImageRepEdit() override { snapshot_ = map; }
    void didEndImageRepEdit() override { registerRestore(snapshot_); }
    UndoManager* undoManager() override { return &undo_; }

    Bitmap map;

private:
    void registerRestore(Bitmap state) {
        undo_.registerUndo(this, [this, state] {
            Bitmap current = map;
            map = state;
            registerRestore(current);
        });
    }
    UndoManager& undo_;
    Bitmap snapshot_;
};

struct CountingDelegate final : AutoFillRedrawDelegate {
    void autoFillSheetAlteredBitmapImageRep() override { ++redraws; }
    int redraws = 0;
};

class AutoFillSheetTest : public test::SheetTest {
protected:
    void SetUp() override {
        SheetTest::SetUp();
        mask = std::make_unique<MaskTarget>(heightmap().width(), heightmap().height(), *undo);
        // Something painted already, which a cancel must bring back.
        for (int x = 0; x < mask->map.width(); ++x) mask->map.setGray8(x, 7, 200);
    }
    std::unique_ptr<MaskTarget> mask;
    CountingDelegate redraw;
};

TEST_F(AutoFillSheetTest, HeightFillOkKeepsTheLastPreviewAsOneUndoStep) {
    const Bitmap before = mask->map;
    QPointer<BaseSheet> sheet = openHeightAutoFillSheet(*mask, *terrain, &redraw, &window);
    EXPECT_EQ(sheet->windowTitle(), QStringLiteral("Height Auto Fill"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return redraw.redraws > 0; }, kWaitMs)) << "first preview on appearing";

    auto* type = sheet->findChild<QComboBox*>(QStringLiteral("typePopUpButton"));
    auto* height = sheet->findChild<QSlider*>(QStringLiteral("heightSlider"));
    auto* threshold = sheet->findChild<QSlider*>(QStringLiteral("thresholdSlider"));
    ASSERT_TRUE(type && height && threshold);
    ASSERT_EQ(type->count(), 3);
    type->setCurrentIndex(type->findData(2));  // above the height
    for (int i = 0; i < 10; ++i) {
        setFloatValue(height, 0.3f + 0.03f * i);
        test::SheetTest::nextEvent();
    }
    setFloatValue(threshold, 0.05f);
    Bitmap expected = before;
    ASSERT_TRUE(HeightAutoFillSheet::applyFunctionToBitmap(expected, heightmap(), 2, floatValue(threshold),
                                                           floatValue(height)));
    EXPECT_TRUE(mask->map == expected) << "the live map shows the fill of the current settings";
    EXPECT_EQ(undo->undoCount(), 0u);

    sheet->findChild<QPushButton*>(QStringLiteral("ok"))->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet.isNull(); }, kWaitMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return undo->undoCount() == 1; }, kWaitMs));
    test::SheetTest::nextEvent();
    EXPECT_EQ(undo->undoCount(), 1u);
    EXPECT_TRUE(mask->map == expected);
    undo->undo();
    EXPECT_TRUE(mask->map == before);
}

TEST_F(AutoFillSheetTest, SteepnessFillCancelRestoresTheMapByteForByte) {
    const Bitmap before = mask->map;
    QPointer<BaseSheet> sheet = openSteepnessAutoFillSheet(*mask, *terrain, &redraw, &window);
    EXPECT_EQ(sheet->windowTitle(), QStringLiteral("Steepness Auto Fill"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return redraw.redraws > 0; }, kWaitMs));
    auto* type = sheet->findChild<QComboBox*>(QStringLiteral("typePopUpButton"));
    auto* strength = sheet->findChild<QSlider*>(QStringLiteral("strengthSlider"));
    ASSERT_TRUE(type && strength);
    type->setCurrentIndex(type->findData(1));
    setFloatValue(strength, 0.9f);
    test::SheetTest::nextEvent();
    EXPECT_FALSE(mask->map == before);

    const int redrawsBefore = redraw.redraws;
    sheet->findChild<QPushButton*>(QStringLiteral("cancel"))->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet.isNull(); }, kWaitMs));
    test::SheetTest::nextEvent();
    EXPECT_TRUE(mask->map == before);
    EXPECT_GT(redraw.redraws, redrawsBefore) << "the editor redraws the restored map";
    EXPECT_EQ(undo->undoCount(), 0u);
}

}  // namespace
}  // namespace korvane
