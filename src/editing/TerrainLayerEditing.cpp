#include "editing/TerrainLayerEditing.h"

#include "editing/ErodeFilterSheet.h"
#include "editing/FractalFilterSheet.h"
#include "editing/HeightmapFilters.h"
#include "scene/Scene.h"
#include "scene/layers/terrain/TerrainLayer.h"

namespace korvane {

Bitmap* TerrainLayerEditTarget::imageRepToEdit() {
    return layer_.heightmapImageRep();
}

void TerrainLayerEditTarget::didStartImageRepEdit() {
    layer_.startHeightmapChange();
}

void TerrainLayerEditTarget::didEndImageRepEdit() {
    layer_.endHeightmapChange();
}

UndoManager* TerrainLayerEditTarget::undoManager() {
    return layer_.scene() ? layer_.scene()->undoManager() : nullptr;
}

bool applyStrokeToTerrainLayer(TerrainLayer& layer, BaseEditMapSceneTool& tool,
                               std::span<const Point> points) {
    TerrainLayerEditTarget target(layer);
    if (!target.imageRepToEdit() || points.empty()) return false;
    target.didStartImageRepEdit();
    for (const Point& point : points) {
        Bitmap* heightmap = target.imageRepToEdit();
        if (heightmap) tool.applyInImage(*heightmap, point);
    }
    target.didEndImageRepEdit();
    return true;
}

bool clampTerrainLayer(TerrainLayer& layer, float bottom, float top) {
    return applyFilterSheetToTerrainLayer<ClampFilterSheet>(layer, [&](ClampFilterSheet& sheet) {
        sheet.setBottomClamp(bottom);
        sheet.setTopClamp(top);
    });
}

bool equalizeTerrainLayer(TerrainLayer& layer, float strength) {
    return applyFilterSheetToTerrainLayer<EqualizeFilterSheet>(
        layer, [&](EqualizeFilterSheet& sheet) { sheet.setStrength(strength); });
}

bool flattenTerrainLayer(TerrainLayer& layer, float strength) {
    return applyFilterSheetToTerrainLayer<FlatsFilterSheet>(
        layer, [&](FlatsFilterSheet& sheet) { sheet.setStrength(strength); });
}

bool addNoiseToTerrainLayer(TerrainLayer& layer, int mode, float strength, float frequency, int octaves) {
    return applyFilterSheetToTerrainLayer<NoiseFilterSheet>(layer, [&](NoiseFilterSheet& sheet) {
        sheet.setMode(mode);
        sheet.setStrength(strength);
        sheet.setFrequency(frequency);
        sheet.setOctaves(static_cast<float>(octaves));
    });
}

bool erodeTerrainLayer(TerrainLayer& layer, int numberOfDrops, float strength) {
    return applyFilterSheetToTerrainLayer<ErodeFilterSheet>(layer, [&](ErodeFilterSheet& sheet) {
        sheet.setNumberOfDrops(static_cast<float>(numberOfDrops));
        sheet.setStrength(strength);
    });
}

bool generateFractalTerrainLayer(TerrainLayer& layer, int presetTag, float largeErosion, float smallErosion,
                                 int64_t seed) {
    return applyFilterSheetToTerrainLayer<FractalFilterSheet>(layer, [&](FractalFilterSheet& sheet) {
        sheet.setPreset(presetTag);
        sheet.setLargeErosion(largeErosion);
        sheet.setSmallErosion(smallErosion);
        sheet.setSeed(seed);
    });
}

}  // namespace korvane
