#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "editing/BaseFilterSheet.h"
#include "foundation/Bitmap.h"
#include "foundation/Geometry.h"

namespace korvane {

// The start shapes of the fractal terrain (the tags of the preset pop-up). Any other tag gives a flat map.
enum class FractalPreset {
    CentralPeak = 0,
    RaisedBand = 1,
    MeanderingValley = 2,
    ValleyToPlateau = 3,
    TwoPeaks = 4,
    CurrentTerrain = 256,
};

// "Fractal Terrain": replaces the map with a midpoint-displacement (diamond-square) terrain grown on a
// square grid from a start shape, then scaled onto the map by bilinear sampling. The noise is
// multiplicative (each point is its neighbours' mean times 1 plus up to ± the level's amplitude), so
// regions that start at 0 stay 0. `largeErosion` sets the roughness of the coarse levels, `smallErosion`
// that of the fine ones. Uses the process-wide generator (the meandering-valley preset draws before it
// is seeded), so run it on the main thread; the write-out runs in parallel over columns.
class FractalFilterSheet final : public BaseFilterSheet {
public:
    // The grid side the sheet works with.
    static constexpr int kDefaultGridSize = 1025;

    // Seed = the current time in seconds; grid size kDefaultGridSize.
    FractalFilterSheet(Bitmap& directImageRep, FilterRedrawDelegate* redrawDelegate);
    std::string title() const override { return "Fractal Terrain"; }

    int64_t seed() const { return seed_; }
    void setSeed(int64_t seed) { seed_ = seed; }
    // A new seed from the current time, then a preview.
    void newRandomSeed();
    int preset() const { return preset_; }
    void setPreset(int tag) { preset_ = tag; }
    void setLargeErosion(float roughness) { largeErosion_ = roughness; }
    void setSmallErosion(float roughness) { smallErosion_ = roughness; }

    // A fresh zero-filled grid of size × size points (limited to [3, 4097]).
    int gridSize() const { return gridSize_; }
    void setGridSize(int size);
    // Stores value at the grid point nearest to point; points outside the grid are ignored.
    void setGridValue(float value, Point point);
    // The grid bilinearly interpolated at a real-valued grid point, clamped into the grid.
    float gridValueAtGridPoint(Point point) const;
    // The same at an image pixel (column, stored row) of a map of the original's size.
    float gridValueAtImageRepPoint(Point point) const;
    // The raw grid, row after row (grid point (x, y) at index y × gridSize + x).
    const std::vector<float>& grid() const { return grid_; }

    // Writes the start shape into the grid and returns the start step (0: no refinement).
    int generatePreset();
    // A fresh grid, the start shape, then the refinement levels.
    void generate();

protected:
    void applyFunctionToImageRep() override;

private:
    float& at(int x, int y) { return grid_[static_cast<size_t>(y) * gridSize_ + x]; }
    float at(int x, int y) const { return grid_[static_cast<size_t>(y) * gridSize_ + x]; }

    int gridSize_ = 0;
    std::vector<float> grid_;
    int64_t seed_ = 0;
    int preset_ = 0;
    float largeErosion_ = 0.5f;
    float smallErosion_ = 0.5f;
};

}  // namespace korvane
