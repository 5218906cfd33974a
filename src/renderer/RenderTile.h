#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "foundation/Bitmap.h"
#include "renderer/YafarayRenderer.h"

namespace korvane {

class RendererImage;

// One rectangle of a frame rendered apart (on another machine, as one job of a farm), kept
// unprocessed so that the post-processing can run once on the whole frame put together.
//
// File format ("kvtile", all numbers little-endian):
//   8 bytes   magic "KVTILE" followed by the bytes 0 and 1 (format version 1)
//   6 × u32   frame width, frame height, region x0, y0, x1, y1 (frame pixels, row 0 at the top)
//   u64       scene fingerprint: FNV-1a 64 of the scene document's bytes
//   u64       settings fingerprint: FNV-1a 64 of the render settings the tile was rendered with
//   w·h·4     the region's RGBA bytes, row by row
//   w·h·4     the region's depths, 32-bit IEEE floats, row by row
//   u64       FNV-1a 64 of every byte before it
struct RenderTile {
    int frameWidth = 0;
    int frameHeight = 0;
    PixelRegion region;
    uint64_t sceneFingerprint = 0;
    uint64_t settingsFingerprint = 0;
    Bitmap pixels;              // RGBA8, region.width() × region.height()
    std::vector<float> depths;  // row-major over the region
};

// FNV-1a 64 of the bytes. Pure, any thread.
uint64_t fingerprintOf(std::span<const uint8_t> bytes);

// The region of a rendered frame as a tile; the region must lie inside the image.
RenderTile cutRenderTile(const RendererImage& image, PixelRegion region);
// Writes the tile's pixels and depths into the frame image at its region.
void pasteRenderTile(const RenderTile& tile, RendererImage& image);

std::vector<uint8_t> encodeRenderTile(const RenderTile& tile);
// The tile, or none with the reason ("not a tile file", "truncated tile", "the tile's checksum
// does not match: the file is damaged"). Safe on hostile bytes. Any thread.
std::optional<RenderTile> decodeRenderTile(std::span<const uint8_t> bytes, std::string* error);

}  // namespace korvane
