#pragma once

// The image texture's own Truevision TGA reader: uncompressed and run-length encoded images in
// 8-bit grey (16-bit with alpha), 24-bit and 32-bit colour, stored with either row origin and
// either column direction. Colour-mapped and other kinds are refused. Every read is bounds-checked
// and the pixel count is checked against the file size before anything is allocated, so damaged
// or hostile files are refused with a reason instead of being over-read.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace yafaray {

// A decoded image: width × height RGBA pixels, 8 bits per channel, top row first.
struct tgaImage_t {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
};

// Largest image accepted (pixels); about 1 GiB of RGBA.
constexpr int64_t kMaxTgaPixels = int64_t{1} << 28;

// Decodes the bytes of a TGA file into image; false with a short reason ("truncated pixel data")
// otherwise, image then left empty. Any thread.
bool decodeTgaImage(std::span<const uint8_t> bytes, tgaImage_t& image, std::string& reason);

// Reads and decodes a TGA file; the reason names the file. Any thread.
bool readTgaImage(const std::string& path, tgaImage_t& image, std::string& reason);

}  // namespace yafaray
