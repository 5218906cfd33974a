#pragma once

#include <cstdint>
#include <vector>

#include "foundation/Bitmap.h"

namespace korvane {

// An uncompressed 32-bit true-colour TGA file of the bitmap (blue, green, red, alpha per pixel), the
// form in which image textures hand their pixels to the ray tracer. Grey samples become equal colour
// channels (16-bit grey keeps its high byte), formats without alpha get an opaque alpha. The file uses
// TGA's default bottom-left origin, so the bitmap's last row is written first and its first row is the
// top of the image. Empty for an empty bitmap. Any thread.
std::vector<uint8_t> encodeTextureTga(const Bitmap& bitmap);

}  // namespace korvane
