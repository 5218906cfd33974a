#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/Bitmap.h"

namespace korvane {

enum class RenderedImageFormat { PNG, JPEG, TIFF };

// The format a saved render takes from its file name: names ending in "jpg" or "jpeg" are JPEG,
// names ending in "tif" or "tiff" TIFF, anything else PNG. Pure, any thread.
RenderedImageFormat renderedImageFormatForFileName(const std::string& fileName);

// The file's bytes of a render in that format; JPEG at full quality (it drops the alpha). Empty for
// an empty bitmap or an encoder failure. Any thread.
std::vector<uint8_t> encodeRenderedImage(const Bitmap& image, RenderedImageFormat format);

}  // namespace korvane
