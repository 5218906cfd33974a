#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "foundation/Bitmap.h"

namespace korvane {

// Decoders refuse images above these sizes before allocating anything for the pixels.
constexpr int kMaxImageSide = 1 << 20;
constexpr int64_t kMaxImagePixels = int64_t{1} << 28;

// The decoders' memory budget: the most one decoded image's samples may take, checked against the
// size its header claims before anything is allocated for it. The largest image the application
// can use is a heightmap of the largest scene (100 units a side at 1024 pixels per ten units) or a
// texture of that size with four 8-bit channels.
constexpr int64_t kLargestUsableImageSide = 10240;
constexpr int64_t kImageDecodeBudgetBytes = kLargestUsableImageSide * kLargestUsableImageSide * 4;

// Outcome of a decode: a bitmap, or no bitmap and a short reason ("truncated PNG data"); the caller
// adds the file name when it shows the reason to the user.
struct ImageDecodeResult {
    std::optional<Bitmap> bitmap;
    std::string error;
};

// Decodes PNG, TIFF or JPEG, recognised by signature, entirely in memory. Grey up to 8 bits → Gray8,
// 16-bit grey → Gray16, palette and RGB → RGB8, anything with alpha → RGBA8 (not premultiplied; TIFF
// associated alpha is divided out). 16-bit colour is rounded to 8 bits, 1/2/4-bit samples are
// stretched to full range; 9- to 15-bit TIFF samples are stretched to 16 bits; 32-bit float TIFF
// samples become 16 bits, kept where they already lie in 0–1 and otherwise scaled from the image's
// own minimum and maximum. An image whose samples would take more than kImageDecodeBudgetBytes is
// refused with the size it claims ("image claims 16384 × 16384 pixels of 4 × 16 bits (2048 MiB), more
// than the 400 MiB an image may take") before anything is allocated for it. Safe on hostile bytes.
// Reentrant: any thread, no shared state.
ImageDecodeResult decodeImage(std::span<const uint8_t> bytes);

// Decodes any source into Gray16 at full precision: 16-bit grey bit-exact, 8-bit grey v → v × 257,
// colour → luminance 0.2126 R + 0.7152 G + 0.0722 B computed on 16-bit samples; alpha is ignored.
// For heightmaps. Any thread.
ImageDecodeResult decodeImageAsGray16(std::span<const uint8_t> bytes);

// The width and height that a PNG or TIFF header claims, readable even when the image data behind
// it is damaged; none when the header itself cannot be read or the size exceeds what a decoder
// would accept. For replacing a damaged image by a flat one of its size. Any thread.
std::optional<std::pair<int, int>> claimedImageSize(std::span<const uint8_t> bytes);

// Encoders return the file's bytes (owned by the caller), or an empty vector for an empty bitmap or
// a library failure. Any thread.
// PNG of every format; Gray16 as 16-bit grey, bit-exact.
std::vector<uint8_t> encodePng(const Bitmap& bitmap);
// TIFF of every format, LZW-compressed strips; RGBA8 with ExtraSamples = unassociated alpha.
std::vector<uint8_t> encodeTiff(const Bitmap& bitmap);
// Baseline JPEG; RGBA8 loses its alpha, Gray16 is rounded to 8 bits. quality is clamped to 1…100.
std::vector<uint8_t> encodeJpeg(const Bitmap& bitmap, int quality = 90);

// Reads a whole file and decodes it; errors carry the reason ("No such file or directory"). Any thread.
ImageDecodeResult readImageFile(const std::string& path);

}  // namespace korvane
