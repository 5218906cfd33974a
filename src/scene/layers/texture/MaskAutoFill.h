#pragma once

#include "foundation/Bitmap.h"

namespace korvane {

// The automatic fills of an 8-bit grey map (a material mask, a density map) from the terrain's 16-bit
// heightmap of the same pixel size: by steepness (rock on the slopes) or by height (snow above a level,
// sand below it, a band around it). Pixel (x, y) of the map is computed from the heightmap around
// (x, y), rows counted from the first row of the data, a sample s read as s / 65535. One task per
// column on the shared thread pool; each writes only its own column, and the call returns when all
// are done. The heightmap is only read. Both return false and leave the map untouched when it is not
// Gray8, the heightmap is not Gray16, or the heightmap is smaller than the map. Any thread, but not
// concurrently with writers of either bitmap.

// Steepness types.
enum SteepnessFillType : int { kSteepnessFillSteepAreas = 0, kSteepnessFillFlatAreas = 1 };
// Height types.
enum HeightFillType : int { kHeightFillAround = 0, kHeightFillBelow = 1, kHeightFillAbove = 2 };

// Sums the height differences between a pixel and a 4 × 4 window around it (two pixels before, the
// pixel and one after, shifted inwards at the edges), scales the sum by strength, and sharpens it by
// a power that the threshold lowers from 10 (threshold 0, almost a step) to 0 (threshold 1, full
// everywhere). Type 0 fills steep areas, type 1 flat areas, any other type writes 0. Maps under 5
// pixels on a side use a window clipped to the map.
bool applySteepnessFill(Bitmap& map, const Bitmap& heightmap, int type, float threshold, float strength);

// Fills around, below or above `height` (types 0, 1, 2) with a linear fade `threshold` wide; both are
// fractions of the full height. Any other type writes 0.
bool applyHeightFill(Bitmap& map, const Bitmap& heightmap, int type, float threshold, float height);

}  // namespace korvane
