#include "renderer/extensions/TgaImageReader.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace yafaray {
namespace {

constexpr size_t kHeaderSize = 18;
// Image types of the header.
constexpr uint8_t kTrueColour = 2, kGrey = 3, kRleTrueColour = 10, kRleGrey = 11;
// Image descriptor bits: alpha bit count, columns stored right to left, rows stored top first.
constexpr uint8_t kAlphaBitsMask = 0x0f, kRightToLeft = 0x10, kTopFirst = 0x20;
// A run-length packet holds at most this many pixels.
constexpr int64_t kMaxPacketPixels = 128;

uint16_t readLittle16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// Converts one stored pixel (BGR, BGRA, grey or grey + alpha) to RGBA.
void storeRgba(const uint8_t* src, int bytesPerPixel, bool grey, bool hasAlpha, uint8_t* dst) {
    if (grey) {
        dst[0] = dst[1] = dst[2] = src[0];
        dst[3] = bytesPerPixel == 2 && hasAlpha ? src[1] : 255;
    } else {
        dst[0] = src[2];
        dst[1] = src[1];
        dst[2] = src[0];
        dst[3] = bytesPerPixel == 4 && hasAlpha ? src[3] : 255;
    }
}

}  // namespace

bool decodeTgaImage(std::span<const uint8_t> bytes, tgaImage_t& image, std::string& reason) {
    image = tgaImage_t();
    if (bytes.size() < kHeaderSize) {
        reason = "truncated header";
        return false;
    }
    const uint8_t* h = bytes.data();
    const uint8_t idLength = h[0], colourMapType = h[1], type = h[2];
    const uint16_t mapLength = readLittle16(h + 5);
    const uint8_t mapEntryBits = h[7];
    const int width = readLittle16(h + 12), height = readLittle16(h + 14);
    const uint8_t depth = h[16], descriptor = h[17];

    const bool rle = type == kRleTrueColour || type == kRleGrey;
    const bool grey = type == kGrey || type == kRleGrey;
    if (!grey && type != kTrueColour && type != kRleTrueColour) {
        reason = "unsupported image type " + std::to_string(type) + " (colour-mapped or not an image)";
        return false;
    }
    if (colourMapType > 1) {
        reason = "invalid colour map type " + std::to_string(colourMapType);
        return false;
    }
    if ((grey && depth != 8 && depth != 16) || (!grey && depth != 24 && depth != 32)) {
        reason = "unsupported pixel depth " + std::to_string(depth);
        return false;
    }
    if (width == 0 || height == 0) {
        reason = "empty image";
        return false;
    }
    const int64_t pixels = int64_t{width} * height;
    if (pixels > kMaxTgaPixels) {
        reason = "image too large";
        return false;
    }
    const int bytesPerPixel = depth / 8;
    const bool hasAlpha = (descriptor & kAlphaBitsMask) != 0;

    // Pixel data follow the image identification and the colour map (which truecolour and grey
    // images may carry but do not use).
    const size_t mapBytes = colourMapType == 1 ? size_t{mapLength} * ((mapEntryBits + 7u) / 8u) : 0;
    const size_t dataStart = kHeaderSize + idLength + mapBytes;
    if (dataStart > bytes.size()) {
        reason = "truncated header";
        return false;
    }
    const uint8_t* data = bytes.data() + dataStart;
    const size_t available = bytes.size() - dataStart;
    // Refuse sizes that the remaining bytes cannot hold before allocating for them.
    const int64_t mostPixels = rle ? (int64_t(available) / (1 + bytesPerPixel) + 1) * kMaxPacketPixels
                                   : int64_t(available) / bytesPerPixel;
    if (pixels > mostPixels) {
        reason = "truncated pixel data";
        return false;
    }

    std::vector<uint8_t> rgba(size_t(pixels) * 4);
    const bool topFirst = (descriptor & kTopFirst) != 0, rightToLeft = (descriptor & kRightToLeft) != 0;
    // Stored pixel i lands at its place in a top-row-first, left-to-right raster.
    auto destination = [&](int64_t i) {
        const int64_t row = i / width, column = i % width;
        const int64_t y = topFirst ? row : height - 1 - row;
        const int64_t x = rightToLeft ? width - 1 - column : column;
        return rgba.data() + size_t(y * width + x) * 4;
    };

    size_t pos = 0;
    auto need = [&](size_t n) { return pos + n <= available; };
    if (!rle) {
        for (int64_t i = 0; i < pixels; ++i, pos += bytesPerPixel)
            storeRgba(data + pos, bytesPerPixel, grey, hasAlpha, destination(i));
    } else {
        int64_t i = 0;
        while (i < pixels) {
            if (!need(1)) {
                reason = "truncated run-length data";
                return false;
            }
            const uint8_t packet = data[pos++];
            const int64_t count = (packet & 0x7f) + 1;
            if (i + count > pixels) {
                reason = "damaged run-length data (a packet runs past the image)";
                return false;
            }
            const bool repeated = (packet & 0x80) != 0;
            if (!need(size_t(repeated ? 1 : count) * bytesPerPixel)) {
                reason = "truncated run-length data";
                return false;
            }
            for (int64_t k = 0; k < count; ++k, ++i) {
                storeRgba(data + pos, bytesPerPixel, grey, hasAlpha, destination(i));
                if (!repeated) pos += bytesPerPixel;
            }
            if (repeated) pos += bytesPerPixel;
        }
    }
    image.width = width;
    image.height = height;
    image.rgba = std::move(rgba);
    return true;
}

bool readTgaImage(const std::string& path, tgaImage_t& image, std::string& reason) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        reason = path + ": " + std::strerror(errno);
        return false;
    }
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                     std::istreambuf_iterator<char>());
    if (file.bad()) {
        reason = path + ": read error";
        return false;
    }
    if (!decodeTgaImage(bytes, image, reason)) {
        reason = path + ": " + reason;
        return false;
    }
    return true;
}

}  // namespace yafaray
