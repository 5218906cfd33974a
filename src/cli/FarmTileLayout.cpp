#include "cli/FarmTileLayout.h"

#include <algorithm>
#include <cmath>

namespace korvane::cli {

std::vector<PixelRegion> farmTileLayout(int width, int height, int count) {
    if (count < 1 || width < 1 || height < 1 || int64_t(width) * height < count) return {};
    // Square tiles: rows / columns ≈ height / width with rows · columns = count.
    int rows = int(std::lround(std::sqrt(double(count) * height / width)));
    rows = std::clamp(rows, 1, std::min(count, height));
    // A narrow frame may need more rows than the aspect suggests, so that no row has more tiles
    // than it has pixels across.
    while ((count + rows - 1) / rows > width) ++rows;

    std::vector<PixelRegion> tiles;
    tiles.reserve(size_t(count));
    for (int row = 0; row < rows; ++row) {
        const int columns = count / rows + (row < count % rows ? 1 : 0);
        const int y0 = int(int64_t(height) * row / rows);
        const int y1 = int(int64_t(height) * (row + 1) / rows);
        for (int column = 0; column < columns; ++column) {
            const int x0 = int(int64_t(width) * column / columns);
            const int x1 = int(int64_t(width) * (column + 1) / columns);
            tiles.push_back({x0, y0, x1, y1});
        }
    }
    return tiles;
}

}  // namespace korvane::cli
