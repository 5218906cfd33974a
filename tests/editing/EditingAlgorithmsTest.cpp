#include <gtest/gtest.h>

#include <cmath>

#include "editing/EditMapSceneController.h"
#include "editing/ErodeFilter.h"
#include "editing/FractalFilterSheet.h"
#include "editing/HeightmapFilters.h"
#include "editing/MapSamples.h"
#include "editing/NoiseFilterSheet.h"
#include "editing/Perlin.h"
#include "editing/ShapeBrushes.h"
#include "foundation/UndoManager.h"
#include "foundation/UserDefaults.h"

namespace korvane {
namespace {

Bitmap filled(int w, int h, float v, PixelFormat f = PixelFormat::Gray16) {
    Bitmap b(w, h, f);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) writeFractionTruncated(b, x, y, v);
    return b;
}

// A target that snapshots and registers undo the way the terrain layer does.
class RecordingTarget final : public EditMapTarget {
public:
    explicit RecordingTarget(Bitmap map) : map_(std::move(map)) {}
    Bitmap* imageRepToEdit() override { return &map_; }
    void didStartImageRepEdit() override { snapshot_ = map_; }
    void didEndImageRepEdit() override {
        Bitmap old = snapshot_;
        undo_.registerUndo(this, [this, old] { map_ = old; });
    }
    UndoManager* undoManager() override { return &undo_; }
    Bitmap map_;
    Bitmap snapshot_;
    UndoManager undo_;
};

TEST(ShapeBrushes, StandardDabOnFlatZeroMapReachesAbout015AtCentreAndNothingBeyondRim) {
    Bitmap map(256, 256, PixelFormat::Gray16);
    RadialGradientEditMapSceneTool tool;
    const Rect r = tool.applyInImage(map, {128, 128});
    EXPECT_EQ(r, (Rect{{64, 64}, {128, 128}}));
    EXPECT_NEAR(readFraction(map, 128, 128), 0.149, 0.002);
    EXPECT_EQ(map.gray16(128 + 65, 128), 0);
    EXPECT_EQ(map.gray16(128, 128 - 65), 0);
    EXPECT_NEAR(RadialGradientEditMapSceneTool::stopOpacities()[0], 0.14908f, 1e-5);
}

TEST(ShapeBrushes, CircleMakesPlateauOn8And16BitMaps) {
    for (PixelFormat f : {PixelFormat::Gray16, PixelFormat::Gray8}) {
        Bitmap map = filled(128, 128, 0.9f, f);
        CircleEditMapSceneTool tool;
        tool.sliders()[0].setValue(0.5f);
        tool.sliders()[1].setValue(20);
        tool.applyInImage(map, {64, 64});
        EXPECT_NEAR(readFraction(map, 64, 64), 0.5f, 0.005f);
        EXPECT_NEAR(readFraction(map, 70, 58), 0.5f, 0.005f);
        EXPECT_NEAR(readFraction(map, 64, 100), 0.9f, 0.005f);
    }
}

TEST(ShapeBrushes, NoiseBrushDrawsCeilRadiusSmallDabs) {
    EXPECT_EQ(NoiseEditMapSceneTool::smallDabCount(4.0), 4);
    EXPECT_EQ(NoiseEditMapSceneTool::smallDabCount(4.5), 5);
}

TEST(EditMapSceneController, StrokeOfManyDabsIsOneUndoStep) {
    InMemoryUserDefaults defaults;
    RecordingTarget target(Bitmap(64, 64, PixelFormat::Gray16));
    target.undo_.setGroupsByEvent(false);
    const Bitmap before = target.map_;
    {
        EditMapSceneController controller(target, defaults);
        controller.setRectForScene({{0, 0}, {64, 64}});
        controller.toolChanged(2);
        controller.mouseDown({32, 32});
        for (int i = 0; i < 5; ++i) controller.mouseDragged({30.0 + i, 32});
        controller.mouseUp();
        controller.mouseUp();  // no stroke under way: nothing
    }
    EXPECT_EQ(target.undo_.undoCount(), 1u);
    EXPECT_FALSE(target.map_ == before);
    target.undo_.undo();
    EXPECT_TRUE(target.map_ == before);
    EXPECT_EQ(defaults.integerForKey(EditMapSceneController::kLastSelectedToolIndexKey), 2);
}

TEST(Filters, ClampAndEqualizeValues) {
    Bitmap map(3, 1, PixelFormat::Gray16);
    map.setGray16(1, 0, 32768);
    map.setGray16(2, 0, 65535);
    Bitmap out = map;
    ASSERT_TRUE(clampMap(map, out, 0.8f, 0.2f));
    EXPECT_NEAR(readFraction(out, 0, 0), 0.2f, 1e-4);
    EXPECT_NEAR(readFraction(out, 1, 0), 0.5f, 1e-4);
    EXPECT_NEAR(readFraction(out, 2, 0), 0.8f, 1e-4);
    clampMap(map, out, 0.1f, 0.3f);
    for (int x = 0; x < 3; ++x) EXPECT_NEAR(readFraction(out, x, 0), 0.3f, 1e-4);

    Bitmap e = filled(4, 1, 0.1f);
    e.setGray16(1, 0, 65535 / 6 + 1);
    Bitmap eq = e;
    equalizeMap(e, eq, 0.0f);
    EXPECT_TRUE(eq == e);
    equalizeMap(e, eq, 1.0f);
    EXPECT_NEAR(readFraction(eq, 0, 0), 0.6f, 1e-3);
    EXPECT_EQ(eq.gray16(1, 0), 65535);
}

TEST(Filters, ConfirmedFilterAfterTenPreviewsIsOneUndoStepRestoringOriginal) {
    RecordingTarget target(filled(32, 32, 0.5f, PixelFormat::Gray8));
    target.undo_.setGroupsByEvent(false);
    const Bitmap before = target.map_;
    EditMapFilterDelegate delegate(target);
    EqualizeFilterSheet sheet(target.map_, &delegate);
    sheet.sheetDidAppear();
    for (int i = 0; i < 10; ++i) {
        sheet.setStrength(i / 10.0f);
        sheet.valueChanged();
    }
    EXPECT_EQ(target.undo_.undoCount(), 0u);
    sheet.ok();
    EXPECT_EQ(target.undo_.undoCount(), 1u);
    EXPECT_TRUE(target.undo_.isUndoRegistrationEnabled());
    EXPECT_EQ(target.map_.gray8(0, 0), 255);
    target.undo_.undo();
    EXPECT_TRUE(target.map_ == before);
}

TEST(Filters, CancelLeavesMapAndNoUndo) {
    RecordingTarget target(filled(16, 16, 0.3f));
    target.undo_.setGroupsByEvent(false);
    const Bitmap before = target.map_;
    EditMapFilterDelegate delegate(target);
    ClampFilterSheet sheet(target.map_, &delegate);
    sheet.setBottomClamp(0.7f);
    sheet.sheetDidAppear();
    EXPECT_FALSE(target.map_ == before);
    sheet.cancel();
    EXPECT_TRUE(target.map_ == before);
    EXPECT_EQ(target.undo_.undoCount(), 0u);
}

TEST(Erosion, FlatAndZeroMapsUnchangedAndZeroDropsDoNothing) {
    for (float v : {0.0f, 0.5f}) {
        Bitmap map = filled(64, 64, v);
        const Bitmap before = map;
        const Rect all{{0, 0}, {64, 64}};
        ErodeFilter::applyErosionToBitmap(map, all, all, 200, 1.0f);
        EXPECT_TRUE(map == before);
    }
    Bitmap slope(64, 64, PixelFormat::Gray16);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) slope.setGray16(x, y, static_cast<uint16_t>(1000 + 900 * x));
    const Bitmap before = slope;
    const Rect all{{0, 0}, {64, 64}};
    EXPECT_EQ(ErodeFilter::applyErosionToBitmap(slope, all, all, 0, 1.0f).drops, 0);
    EXPECT_TRUE(slope == before);
    const ErosionStatistics s = ErodeFilter::applyErosionToBitmap(slope, all, all, 50, 1.0f);
    EXPECT_EQ(s.drops, 50);
    EXPECT_GT(s.erodedPaths, 0);
    EXPECT_FALSE(slope == before);
}

TEST(Erosion, FirstElementAndOutsideElementsCutNothing) {
    Bitmap map = filled(16, 16, 0.5f);
    const Bitmap before = map;
    ErodePathElement e{8, 8, 3, 3, 0.1f};
    EXPECT_FLOAT_EQ(ErodeFilter::drawDropWithErodePathElement(e, ErodeFilter::kFirstElementHeight, map, 1.0f),
                    readFraction(map, 8, 8));
    EXPECT_TRUE(map == before);
    ErodePathElement outside{-3, 8, 3, 3, 0.1f};
    EXPECT_FLOAT_EQ(ErodeFilter::drawDropWithErodePathElement(outside, 0.25f, map, 1.0f), 0.25f);
    EXPECT_TRUE(map == before);
}

TEST(Noise, ZeroOctavesGiveHalfAndStrengthZeroKeepsMap) {
    Perlin perlin(0, 4.0f, 1.0f, 7);
    float p[2] = {0.3f, 0.7f};
    EXPECT_EQ(perlin.perlin_noise_2D(p), 0.0f);
    Bitmap map = filled(32, 32, 0.2f);
    Bitmap out = map;
    NoiseSettings s;
    s.octaves = 0;
    s.strength = 1.0f;
    addNoiseToMap(map, out, s);
    EXPECT_NEAR(readFraction(out, 5, 5), 0.5f, 1e-4);
    s.mode = 1;
    s.strength = 0.4f;
    addNoiseToMap(map, out, s);
    EXPECT_NEAR(readFraction(out, 5, 5), 0.4f, 1e-4);
    s.mode = 0;
    s.octaves = 6;
    s.strength = 0.0f;
    addNoiseToMap(map, out, s);
    EXPECT_TRUE(out == map);
}

TEST(Fractal, CentralPeakWithoutRoughnessIsOneSmoothHill) {
    Bitmap map(64, 64, PixelFormat::Gray16);
    FractalFilterSheet sheet(map, nullptr);
    sheet.setPreset(0);
    sheet.setLargeErosion(0);
    sheet.setSmallErosion(0);
    sheet.generate();
    EXPECT_FLOAT_EQ(sheet.gridValueAtGridPoint({512, 512}), 1.0f);
    EXPECT_FLOAT_EQ(sheet.gridValueAtGridPoint({768, 512}), 0.0f);
    for (Point p :
         {Point{512, 256}, Point{256, 512}, Point{512, 768}, Point{768, 512}, Point{512, 0}, Point{0, 512}}) {
        EXPECT_FLOAT_EQ(sheet.gridValueAtGridPoint(p), 0.0f) << p.x << "," << p.y;
    }
    // Beyond the ring of zeros only a faint fringe leaks through the finer diamond steps.
    EXPECT_LT(sheet.gridValueAtGridPoint({512, 200}), 0.05f);
    EXPECT_GT(sheet.gridValueAtGridPoint({600, 512}), 0.0f);
    EXPECT_LT(sheet.gridValueAtGridPoint({600, 512}), 1.0f);
}

TEST(Fractal, SameSeedGivesIdenticalPreviews) {
    Bitmap map(128, 128, PixelFormat::Gray16);
    FractalFilterSheet sheet(map, nullptr);
    sheet.setPreset(4);
    sheet.setSeed(1234);
    sheet.valueChanged();
    const Bitmap first = map;
    sheet.valueChanged();
    EXPECT_TRUE(map == first);
    EXPECT_FALSE(first == Bitmap(128, 128, PixelFormat::Gray16));
    sheet.setPreset(99);
    sheet.valueChanged();
    EXPECT_TRUE(map == Bitmap(128, 128, PixelFormat::Gray16));
}

}  // namespace
}  // namespace korvane
