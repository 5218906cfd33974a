#pragma once

#include <cstdint>
#include <span>

#include "editing/BaseEditMapSceneTool.h"
#include "editing/EditMapSceneController.h"
#include "editing/ErodeFilter.h"
#include "editing/NoiseFilterSheet.h"

namespace korvane {

class TerrainLayer;

// The terrain editor's target: the layer's heightmap, bracketed by startHeightmapChange /
// endHeightmapChange, with the scene's undo manager. The layer must outlive the target.
class TerrainLayerEditTarget final : public EditMapTarget {
public:
    explicit TerrainLayerEditTarget(TerrainLayer& layer) : layer_(layer) {}
    Bitmap* imageRepToEdit() override;
    void didStartImageRepEdit() override;
    void didEndImageRepEdit() override;
    UndoManager* undoManager() override;

private:
    TerrainLayer& layer_;
};

// Headless entry points that change a terrain layer's heightmap as the terrain editor does, each as
// exactly one undo step (none when nothing could be applied). They return false, changing nothing, when
// the layer has no heightmap. Main thread only: they use the process-wide random generator.

// One stroke of a tool: a dab at each point (heightmap drawing coordinates, origin at the lower-left
// corner), bracketed as one change.
bool applyStrokeToTerrainLayer(TerrainLayer& layer, BaseEditMapSceneTool& tool,
                               std::span<const Point> points);

// Runs a filter sheet on the heightmap as the desktop sheet does (one preview, then ok). configure sets
// its controls before the preview.
template <class Sheet, class Configure>
bool applyFilterSheetToTerrainLayer(TerrainLayer& layer, Configure&& configure) {
    TerrainLayerEditTarget target(layer);
    Bitmap* heightmap = target.imageRepToEdit();
    if (!heightmap) return false;
    EditMapFilterDelegate delegate(target);
    Sheet sheet(*heightmap, &delegate);
    configure(sheet);
    sheet.sheetDidAppear();
    sheet.ok();
    return true;
}

// The filters with their controls as parameters.
bool clampTerrainLayer(TerrainLayer& layer, float bottom, float top);
bool equalizeTerrainLayer(TerrainLayer& layer, float strength);
bool flattenTerrainLayer(TerrainLayer& layer, float strength);
bool addNoiseToTerrainLayer(TerrainLayer& layer, int mode, float strength, float frequency, int octaves);
bool erodeTerrainLayer(TerrainLayer& layer, int numberOfDrops, float strength);
bool generateFractalTerrainLayer(TerrainLayer& layer, int presetTag, float largeErosion, float smallErosion,
                                 int64_t seed);

}  // namespace korvane
