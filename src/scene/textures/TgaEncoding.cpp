#include "scene/textures/TgaEncoding.h"

namespace korvane {

namespace {

constexpr uint8_t kTrueColorImage = 2;
constexpr uint8_t kBitsPerPixel = 32;
constexpr uint8_t kAlphaBits = 8;  // image descriptor: 8 attribute bits, origin bottom-left
constexpr size_t kHeaderSize = 18;

void putLittleEndian16(std::vector<uint8_t>& out, size_t at, int value) {
    out[at] = static_cast<uint8_t>(value & 0xFF);
    out[at + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

}  // namespace

std::vector<uint8_t> encodeTga(const Bitmap& bitmap) {
    const int width = bitmap.width();
    const int height = bitmap.height();
    // TGA stores its sides in 16 bits.
    if (bitmap.empty() || width > 0xFFFF || height > 0xFFFF) return {};

    std::vector<uint8_t> out(kHeaderSize + static_cast<size_t>(width) * height * 4, 0);
    out[2] = kTrueColorImage;
    putLittleEndian16(out, 12, width);
    putLittleEndian16(out, 14, height);
    out[16] = kBitsPerPixel;
    out[17] = kAlphaBits;

    size_t at = kHeaderSize;
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = bitmap.pixel(x, y);
            uint8_t r = 0, g = 0, b = 0, a = 255;
            switch (bitmap.format()) {
                case PixelFormat::Gray8:
                    r = g = b = p[0];
                    break;
                case PixelFormat::Gray16:
                    r = g = b = static_cast<uint8_t>(bitmap.gray16(x, y) >> 8);
                    break;
                case PixelFormat::RGB8:
                    r = p[0], g = p[1], b = p[2];
                    break;
                case PixelFormat::RGBA8:
                    r = p[0], g = p[1], b = p[2], a = p[3];
                    break;
            }
            out[at++] = b;
            out[at++] = g;
            out[at++] = r;
            out[at++] = a;
        }
    }
    return out;
}

}  // namespace korvane
