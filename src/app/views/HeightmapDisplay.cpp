#include "app/views/HeightmapDisplay.h"

#include <algorithm>
#include <cmath>

#include "foundation/ParallelFor.h"

namespace korvane {

namespace {
uint8_t channel(float value) { return static_cast<uint8_t>(std::clamp(value, 0.0f, 1.0f) * 255.0f); }
}  // namespace

void HeightmapDisplay::colorForHeight(float h, const Coloring& c, float rgb[3]) {
    const float w = c.waterHeight;
    if (w > h) {
        const float u = h / w;
        if (c.water == 1) rgb[0] = 0.9f * u, rgb[1] = u, rgb[2] = 0.5f * u + 0.5f;
        else rgb[0] = 0.6f * u, rgb[1] = 0.75f * u, rgb[2] = 1.0f;
        return;
    }
    const float range = c.maxHeight - w;
    const float r = range > 0 ? (h - w) / range : 1.0f;
    switch (c.land) {
    case 1:
        rgb[0] = r > 0.5f ? 2 * (r - 0.5f) : 0, rgb[1] = 0.65f * r + 0.35f, rgb[2] = 0;
        break;
    case 2:
        rgb[0] = static_cast<float>(static_cast<int>(10 * r) % 2) * 0.8f + 0.2f, rgb[1] = rgb[2] = 0.9f * r + 0.1f;
        break;
    case 3:
        if (r < 0.4f) rgb[0] = 0, rgb[1] = r / 0.4f, rgb[2] = 0;
        else if (r < 0.8f) rgb[0] = (r - 0.4f) / 0.4f, rgb[1] = 1, rgb[2] = 0;
        else rgb[0] = 1, rgb[1] = 1 - (r - 0.8f) / 0.2f, rgb[2] = 0;
        break;
    default:
        rgb[0] = rgb[1] = 0.9f * r + 0.1f, rgb[2] = r > 0.5f ? 2 * (r - 0.5f) : 0;
        break;
    }
}

void HeightmapDisplay::recolor(const Bitmap& heightmap, int x0, int x1, int row0, int row1) {
    const Coloring c = coloring_;
    const float scale = c.maxHeight / 65535.0f;
    const float w = c.waterHeight;
    const float range = c.maxHeight - w;
    // Each task owns a strip of columns and walks it row by row: a column's pixels are visited in
    // order (colouring 3 copies the pixel above), and the strip's rows stay in the cache.
    constexpr int kStripWidth = 64;
    const int strips = (x1 - x0 + kStripWidth - 1) / kStripWidth;
    parallelFor(0, strips, [&](int strip) {
        const int sx0 = x0 + strip * kStripWidth, sx1 = std::min(x1, sx0 + kStripWidth);
        for (int row = row0; row < row1; ++row) {
            const auto* samples = reinterpret_cast<const uint16_t*>(heightmap.row(row));
            uint8_t* out = image_.row(row);
            const uint8_t* above = row > 0 ? image_.row(row - 1) : nullptr;
            for (int x = sx0; x < sx1; ++x) {
                const float h = samples[x] * scale;
                uint8_t* pixel = out + 3 * x;
                // At the top of colouring 3 a pixel repeats the one above it in its column.
                if (c.land == 3 && w <= h && range > 0 && (h - w) / range >= 1.0f) {
                    if (above) std::copy_n(above + 3 * x, 3, pixel);
                    continue;
                }
                float rgb[3];
                colorForHeight(h, c, rgb);
                pixel[0] = channel(rgb[0]), pixel[1] = channel(rgb[1]), pixel[2] = channel(rgb[2]);
            }
        }
    });
}

bool HeightmapDisplay::update(const Bitmap& heightmap, const Coloring& coloring, const std::optional<Rect>& region) {
    const int W = heightmap.width(), H = heightmap.height();
    if (heightmap.format() != PixelFormat::Gray16 || W == 0) {
        image_ = Bitmap();
        return false;
    }
    bool whole = false;
    if (image_.width() != W || image_.height() != H) {
        image_ = Bitmap(W, H, PixelFormat::RGB8);
        whole = true;
    }
    if (!(coloring == coloring_)) {
        coloring_ = coloring;
        whole = true;
    }
    if (!whole && !needsUpdate_) return false;
    if (whole || !region) {
        recolor(heightmap, 0, W, 0, H);
        whole = true;
    } else {
        // Drawing coordinates count rows from the bottom; data rows from the top.
        const int x0 = std::clamp(static_cast<int>(std::floor(region->origin.x)), 0, W);
        const int x1 = std::clamp(static_cast<int>(std::ceil(region->origin.x + region->size.width)), 0, W);
        const int y0 = std::clamp(static_cast<int>(std::floor(region->origin.y)), 0, H);
        const int y1 = std::clamp(static_cast<int>(std::ceil(region->origin.y + region->size.height)), 0, H);
        recolor(heightmap, x0, x1, H - y1, H - y0);
    }
    needsUpdate_ = false;
    return whole;
}

}  // namespace korvane
