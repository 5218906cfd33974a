#pragma once

#include <optional>

#include "foundation/Bitmap.h"
#include "foundation/Geometry.h"

namespace korvane {

// The false-colour picture of a heightmap that the scene views draw: 8-bit RGB, one pixel per
// heightmap pixel, rows in the heightmap's order. Land is coloured by its height above the water
// in one of four colourings, ground under water by its depth in one of two. Recolouring a region
// touches only the pixels in it, in parallel strips of columns. Main thread (the tasks join before
// a call returns).
class HeightmapDisplay {
public:
    struct Coloring {
        int land = 0;   // editor_heightColoring, 0…3
        int water = 0;  // editor_waterHeightColoring, 0…1
        float maxHeight = 4.0f;
        float waterHeight = 0.0f;  // 0 without active water
        bool operator==(const Coloring&) const = default;
    };

    // The picture, empty before the first update.
    const Bitmap& image() const { return image_; }
    // Marks the whole picture for recolouring at the next update.
    void setNeedsUpdate() { needsUpdate_ = true; }
    bool needsUpdate() const { return needsUpdate_; }

    // Makes the picture current for the heightmap. A new heightmap size or new colouring
    // recolours everything; otherwise, when marked stale, only `region` (bitmap drawing
    // coordinates, origin at the lower-left corner) when given, else everything. Answers whether
    // the whole picture was recoloured.
    bool update(const Bitmap& heightmap, const Coloring& coloring, const std::optional<Rect>& region);

    // The colour of height h (scene units) for the colouring, RGB each 0…1 (the "previous pixel"
    // rule of colouring 3 at the top is applied by update, not here).
    static void colorForHeight(float h, const Coloring& coloring, float rgb[3]);

private:
    void recolor(const Bitmap& heightmap, int x0, int x1, int row0, int row1);

    Bitmap image_;
    Coloring coloring_;
    bool needsUpdate_ = true;
};

}  // namespace korvane
