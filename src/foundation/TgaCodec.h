#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "foundation/Bitmap.h"
#include "foundation/ImageCodecs.h"

namespace korvane {

// Truevision TGA, the format in which image textures are handed to the ray tracer.

// How encodeTga lays the file out.
struct TgaEncodeOptions {
    bool runLength = false;  // run-length encoded packets instead of raw pixels
    bool topDown = false;    // first row stored is the top one (the default is bottom-up, as most writers do)
};

// Decodes uncompressed and run-length encoded TGA files: 8-bit grey → Gray8, 16-bit grey with alpha
// → RGBA8, 15/16-bit colour (5-5-5 with an alpha bit) and 24-bit colour → RGB8 or RGBA8, 32-bit
// colour → RGBA8; either row origin and either column direction. Colour-mapped images are refused.
// Safe on hostile bytes: every read is bounds-checked and the size is checked before allocating.
// Any thread.
ImageDecodeResult decodeTga(std::span<const uint8_t> bytes);

// Encodes Gray8 as 8-bit grey, RGB8 as 24-bit and RGBA8 as 32-bit colour with 8 alpha bits; Gray16 is
// rounded to 8-bit grey. An empty vector for an empty bitmap. Any thread.
std::vector<uint8_t> encodeTga(const Bitmap& bitmap, TgaEncodeOptions options = {});

}  // namespace korvane
