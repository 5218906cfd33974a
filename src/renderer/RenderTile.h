#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "raytracer/core/Film.h"
#include "renderer/YafarayRenderer.h"

namespace korvane {

class RendererImage;

// One rectangle of a frame rendered apart (on another machine, as one job of a farm), kept as
// the ray tracer's film before its pixels were resolved: the frame put together from its tiles
// is denoised and resolved once, as a render of the whole frame is, then post-processed once.
//
// File format ("kvtile", all numbers little-endian, floats 32-bit IEEE):
//   8 bytes    magic "KVTILE" followed by the bytes 0 and 2 (format version 2)
//   6 × u32    frame width, frame height, region x0, y0, x1, y1 (frame pixels, row 0 at the top)
//   u64        scene fingerprint: FNV-1a 64 of the scene document's bytes
//   u64        settings fingerprint: FNV-1a 64 of the render settings the tile was rendered with
//   f32        the film's gamma
//   4 × u8     tone mapping (0 clip, 1 filmic), channels delivered per pixel (4 or 5), 1 when the
//              frame is denoised (the guides follow) else 0, and a 0
//   w·h × 7    f32 per pixel, row by row: the sums of weight, R, G, B, A, depth weight and depth
//   w·h × 10   only when denoised, f32 per pixel, row by row: the guides' albedo R, G, B, normal
//              x, y, z, positive weight, its square, luminance and squared luminance sums
//   u64        FNV-1a 64 of every byte before it
struct RenderTile {
    uint64_t sceneFingerprint = 0;
    uint64_t settingsFingerprint = 0;
    // The frame's size, the region, how its pixels are resolved, and the region's sums.
    yafaray::rawFilm_t film;

    PixelRegion region() const { return {film.x0, film.y0, film.x1, film.y1}; }
};

// The most bytes one pixel takes in a tile file (with guides).
constexpr size_t kRenderTileBytesPerPixel = (7 + 10) * 4;

// FNV-1a 64 of the bytes. Pure, any thread.
uint64_t fingerprintOf(std::span<const uint8_t> bytes);

// The tile of a region render's image (its film, without fingerprints); none when the image
// holds no region film (it is not from a region render).
std::optional<RenderTile> renderTileOf(const RendererImage& image);

// An empty film of the whole frame of `tile`, resolved as the tile's film is.
yafaray::rawFilm_t frameFilmFor(const RenderTile& tile);
// Copies the tile's sums (and guides, where both have them) into the frame's film at its region.
void pasteRenderTile(const RenderTile& tile, yafaray::rawFilm_t& frame);
// Denoises (when the film has guides) and resolves the whole frame's film into the image's
// pixels and depths, converted as a render's output converts them: the image equals, byte for
// byte, that of a render of the whole frame. The image has the frame's size.
void resolveFrameFilm(const yafaray::rawFilm_t& frame, bool alphaFromDepth, RendererImage& image);

std::vector<uint8_t> encodeRenderTile(const RenderTile& tile);
// The tile, or none with the reason ("not a tile file", "truncated tile", "the tile's checksum
// does not match: the file is damaged", a version 1 tile "made by an older korvane"). Safe on
// hostile bytes. Any thread.
std::optional<RenderTile> decodeRenderTile(std::span<const uint8_t> bytes, std::string* error);

}  // namespace korvane
