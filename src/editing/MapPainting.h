#pragma once

#include <span>

#include "foundation/Bitmap.h"
#include "foundation/Geometry.h"

namespace korvane {

// The painting model of the map editors. Points are in the bitmap's drawing coordinates: the origin is
// the lower-left corner of the bitmap (the last stored row), one unit per pixel, so the pixel of column
// c and stored row r covers [c, c + 1] × [H − r − 1, H − r]. A pixel is painted when its centre lies
// inside the shape. Grey g at opacity a turns a covered pixel's fraction v into v × (1 − a) + g × a
// (source-over), computed in floating point and rounded to the nearest sample, on Gray16 and Gray8 maps
// alike; other formats are left untouched. All functions run on the calling thread and change nothing
// outside the bitmap.

// A radial gradient of grey `grey` around centre, out to radius: stop k of n (k = 0 at the centre,
// n − 1 at the rim) lies at distance k / (n − 1) × radius, opacities are interpolated linearly between
// stops, and nothing is drawn beyond the rim. A single stop paints its opacity over the whole disc.
void paintRadialGradient(Bitmap& bitmap, Point centre, double radius, float grey,
                         std::span<const float> stopOpacities);

// The disc of the given radius around centre filled with grey `grey` at the given opacity.
void paintDisc(Bitmap& bitmap, Point centre, double radius, float grey, float opacity = 1.0f);

// The stored row of the pixel under a drawing-coordinate point: floor(H − y), clamped into the bitmap
// (so points on or beyond an edge read the edge pixel). The column is floor(x), clamped likewise.
int storedRowForDrawingY(const Bitmap& bitmap, double y);
int columnForDrawingX(const Bitmap& bitmap, double x);

}  // namespace korvane
