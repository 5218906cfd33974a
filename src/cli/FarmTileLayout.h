#pragma once

#include <vector>

#include "renderer/YafarayRenderer.h"

namespace korvane::cli {

// `count` rectangles that cover a `width` × `height` frame exactly once: rows of about square
// tiles, the rows holding count / rows tiles each and the first count % rows rows one more, so that
// any count works (7 tiles: a row of 4 and a row of 3). Row by row from the top left. Empty when
// the frame has fewer pixels than tiles are asked for, or a count below 1. Pure.
std::vector<PixelRegion> farmTileLayout(int width, int height, int count);

}  // namespace korvane::cli
