#include "foundation/TgaCodec.h"

#include "foundation/ImageCodecsInternal.h"

#include <algorithm>
#include <cstring>

namespace korvane {

namespace {

constexpr size_t kHeaderSize = 18;

enum TgaType : uint8_t {
    kColorMapped = 1,
    kTrueColor = 2,
    kGray = 3,
    kColorMappedRle = 9,
    kTrueColorRle = 10,
    kGrayRle = 11,
};

uint16_t readLE16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

void writeLE16(std::vector<uint8_t>& out, int v) {
    out.push_back(static_cast<uint8_t>(v & 0xff));
    out.push_back(static_cast<uint8_t>((v >> 8) & 0xff));
}

ImageDecodeResult failure(const char* reason) {
    return ImageDecodeResult{std::nullopt, reason};
}

// Converts one stored pixel of `depth` bits to RGBA.
void storedToRGBA(const uint8_t* p, int depth, bool gray, uint8_t rgba[4]) {
    if (gray) {
        rgba[0] = rgba[1] = rgba[2] = p[0];
        rgba[3] = depth == 16 ? p[1] : 255;
        return;
    }
    switch (depth) {
        case 15:
        case 16: {
            const uint16_t v = readLE16(p);
            auto expand = [](int five) { return static_cast<uint8_t>((five << 3) | (five >> 2)); };
            rgba[0] = expand((v >> 10) & 31);
            rgba[1] = expand((v >> 5) & 31);
            rgba[2] = expand(v & 31);
            rgba[3] = depth == 16 && !(v & 0x8000) ? 0 : 255;
            break;
        }
        case 24:
            rgba[0] = p[2], rgba[1] = p[1], rgba[2] = p[0], rgba[3] = 255;
            break;
        default:  // 32
            rgba[0] = p[2], rgba[1] = p[1], rgba[2] = p[0], rgba[3] = p[3];
            break;
    }
}

}  // namespace

ImageDecodeResult decodeTga(std::span<const uint8_t> bytes) {
    if (bytes.size() < kHeaderSize) return failure("truncated TGA header");
    const uint8_t* h = bytes.data();
    const size_t idLength = h[0];
    const uint8_t colorMapType = h[1];
    const uint8_t type = h[2];
    const size_t colorMapLength = readLE16(h + 5);
    const size_t colorMapEntryBits = h[7];
    const int width = readLE16(h + 12);
    const int height = readLE16(h + 14);
    const int depth = h[16];
    const uint8_t descriptor = h[17];
    const int alphaBits = descriptor & 0x0f;

    if (type == kColorMapped || type == kColorMappedRle)
        return failure("colour-mapped TGA images are not supported");
    if (type != kTrueColor && type != kGray && type != kTrueColorRle && type != kGrayRle) {
        return failure("not a TGA image (unknown image type)");
    }
    if (colorMapType > 1) return failure("not a TGA image (bad colour map type)");
    const bool gray = type == kGray || type == kGrayRle;
    const bool rle = type == kTrueColorRle || type == kGrayRle;
    if (gray ? (depth != 8 && depth != 16) : (depth != 15 && depth != 16 && depth != 24 && depth != 32)) {
        return failure("unsupported TGA pixel depth");
    }
    if (width == 0 || height == 0) return failure("TGA image has no pixels");
    {
        char message[160];
        const int channels = gray && depth == 8 ? 1 : 4;  // the widest the bitmap becomes
        if (!codecs::acceptDimensions(uint64_t(width), uint64_t(height), channels, 1, message))
            return failure(message);
    }

    // Skip the image id and any colour map a true-colour file may still carry.
    size_t offset = kHeaderSize + idLength;
    if (colorMapType == 1) offset += colorMapLength * ((colorMapEntryBits + 7) / 8);
    if (offset > bytes.size()) return failure("truncated TGA data");

    const int storedBytes = (depth + 7) / 8;
    const size_t pixelCount = static_cast<size_t>(width) * height;
    // Raw data must be there in full. A run-length packet covers at most 128 pixels with one packet
    // byte and one pixel, which bounds what the remaining bytes can describe: checking that before
    // allocating keeps a tiny hostile file from claiming a huge image.
    const size_t remaining = bytes.size() - offset;
    if (!rle && remaining < pixelCount * storedBytes) return failure("truncated TGA data");
    if (rle && remaining / (1 + storedBytes) * 128 + 128 < pixelCount) return failure("truncated TGA data");

    const bool hasAlpha = gray ? depth == 16 : (depth == 32 || (depth == 16 && alphaBits > 0));
    Bitmap bitmap(width, height,
                  gray && !hasAlpha ? PixelFormat::Gray8
                  : hasAlpha        ? PixelFormat::RGBA8
                                    : PixelFormat::RGB8);
    const int outBytes = bytesPerPixel(bitmap.format());
    // 16-bit colour whose descriptor announces no alpha bit is plain 5-5-5.
    const int pixelDepth = depth == 16 && !gray && alphaBits == 0 ? 15 : depth;
    const bool topDown = descriptor & 0x20;
    const bool rightToLeft = descriptor & 0x10;

    auto put = [&](size_t index, const uint8_t* stored) {
        const int fileRow = static_cast<int>(index / width);
        const int fileColumn = static_cast<int>(index % width);
        const int y = topDown ? fileRow : height - 1 - fileRow;
        const int x = rightToLeft ? width - 1 - fileColumn : fileColumn;
        uint8_t rgba[4];
        storedToRGBA(stored, pixelDepth, gray, rgba);
        std::memcpy(bitmap.pixel(x, y), rgba, outBytes);  // Gray8 takes red, RGB8 drops alpha
    };

    const uint8_t* p = bytes.data() + offset;
    const uint8_t* end = bytes.data() + bytes.size();
    size_t index = 0;
    if (!rle) {
        for (; index < pixelCount; ++index, p += storedBytes) put(index, p);
        return ImageDecodeResult{std::move(bitmap), {}};
    }
    while (index < pixelCount) {
        if (p >= end) return failure("truncated TGA data");
        const uint8_t packet = *p++;
        const size_t count = std::min<size_t>((packet & 0x7f) + 1, pixelCount - index);
        if (packet & 0x80) {
            if (end - p < storedBytes) return failure("truncated TGA data");
            for (size_t k = 0; k < count; ++k) put(index++, p);
            p += storedBytes;
        } else {
            if (static_cast<size_t>(end - p) < count * storedBytes) return failure("truncated TGA data");
            for (size_t k = 0; k < count; ++k, p += storedBytes) put(index++, p);
        }
    }
    return ImageDecodeResult{std::move(bitmap), {}};
}

std::vector<uint8_t> encodeTga(const Bitmap& bitmap, TgaEncodeOptions options) {
    if (bitmap.empty() || bitmap.width() > 0xffff || bitmap.height() > 0xffff) return {};
    const PixelFormat format = bitmap.format();
    const bool gray = format == PixelFormat::Gray8 || format == PixelFormat::Gray16;
    const int storedBytes = gray ? 1 : format == PixelFormat::RGB8 ? 3 : 4;

    std::vector<uint8_t> out;
    out.reserve(kHeaderSize + bitmap.sizeInBytes() + bitmap.sizeInBytes() / 64);
    out.push_back(0);  // no image id
    out.push_back(0);  // no colour map
    out.push_back(gray ? (options.runLength ? kGrayRle : kGray)
                       : (options.runLength ? kTrueColorRle : kTrueColor));
    out.insert(out.end(), 5, 0);  // no colour map: its five descriptor bytes stay zero
    writeLE16(out, 0);            // x origin
    writeLE16(out, 0);            // y origin
    writeLE16(out, bitmap.width());
    writeLE16(out, bitmap.height());
    out.push_back(static_cast<uint8_t>(storedBytes * 8));
    out.push_back(static_cast<uint8_t>((storedBytes == 4 ? 8 : 0) | (options.topDown ? 0x20 : 0)));

    // The pixels in file order, converted to the stored layout (BGR(A), grey).
    const int width = bitmap.width(), height = bitmap.height();
    auto stored = [&](int fileRow, int x, uint8_t* s) {
        const int y = options.topDown ? fileRow : height - 1 - fileRow;
        const uint8_t* p = bitmap.pixel(x, y);
        switch (format) {
            case PixelFormat::Gray8:
                s[0] = p[0];
                break;
            case PixelFormat::Gray16:
                s[0] = static_cast<uint8_t>((bitmap.gray16(x, y) + 128) / 257);
                break;
            case PixelFormat::RGB8:
                s[0] = p[2], s[1] = p[1], s[2] = p[0];
                break;
            case PixelFormat::RGBA8:
                s[0] = p[2], s[1] = p[1], s[2] = p[0], s[3] = p[3];
                break;
        }
    };

    std::vector<uint8_t> rowPixels(static_cast<size_t>(width) * storedBytes);
    for (int fileRow = 0; fileRow < height; ++fileRow) {
        for (int x = 0; x < width; ++x) stored(fileRow, x, &rowPixels[static_cast<size_t>(x) * storedBytes]);
        if (!options.runLength) {
            out.insert(out.end(), rowPixels.begin(), rowPixels.end());
            continue;
        }
        // Packets never cross rows, which every reader accepts.
        auto at = [&](int x) { return &rowPixels[static_cast<size_t>(x) * storedBytes]; };
        int x = 0;
        while (x < width) {
            int run = 1;
            while (x + run < width && run < 128 && std::memcmp(at(x), at(x + run), storedBytes) == 0) ++run;
            if (run > 1) {
                out.push_back(static_cast<uint8_t>(0x80 | (run - 1)));
                out.insert(out.end(), at(x), at(x) + storedBytes);
                x += run;
                continue;
            }
            int raw = 1;
            while (x + raw < width && raw < 128 &&
                   !(x + raw + 1 < width && std::memcmp(at(x + raw), at(x + raw + 1), storedBytes) == 0)) {
                ++raw;
            }
            out.push_back(static_cast<uint8_t>(raw - 1));
            out.insert(out.end(), at(x), at(x) + static_cast<size_t>(raw) * storedBytes);
            x += raw;
        }
    }
    return out;
}

}  // namespace korvane
