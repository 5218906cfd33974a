#include "scene/textures/TgaEncoding.h"

#include "foundation/TgaCodec.h"

namespace korvane {

std::vector<uint8_t> encodeTextureTga(const Bitmap& bitmap) {
    if (bitmap.empty()) return {};
    Bitmap rgba(bitmap.width(), bitmap.height(), PixelFormat::RGBA8);
    if (rgba.empty()) return {};
    for (int y = 0; y < bitmap.height(); ++y) {
        for (int x = 0; x < bitmap.width(); ++x) {
            const uint8_t* p = bitmap.pixel(x, y);
            uint8_t* q = rgba.pixel(x, y);
            switch (bitmap.format()) {
                case PixelFormat::Gray8:
                    q[0] = q[1] = q[2] = p[0], q[3] = 255;
                    break;
                case PixelFormat::Gray16:
                    q[0] = q[1] = q[2] = static_cast<uint8_t>(bitmap.gray16(x, y) >> 8), q[3] = 255;
                    break;
                case PixelFormat::RGB8:
                    q[0] = p[0], q[1] = p[1], q[2] = p[2], q[3] = 255;
                    break;
                case PixelFormat::RGBA8:
                    q[0] = p[0], q[1] = p[1], q[2] = p[2], q[3] = p[3];
                    break;
            }
        }
    }
    // 32-bit colour with 8 alpha bits, bottom-left origin: the codec's default layout.
    return encodeTga(rgba, TgaEncodeOptions{});
}

}  // namespace korvane
