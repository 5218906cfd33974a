// Format detection and dispatch: the signature picks the codec (PngCodec.cpp, JpegCodec.cpp,
// TiffCodec.cpp), whose samples are then fitted to a PixelFormat.

#include "foundation/ImageCodecs.h"

#include "foundation/FileIO.h"
#include "foundation/ImageCodecsInternal.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <system_error>

namespace korvane {
namespace {

using codecs::RawImage;
using codecs::reduceTo8;

// readImageFile refuses files above this size.
constexpr size_t kMaxImageFileBytes = size_t{1} << 30;

// Picks the decoder by signature: PNG's eight bytes, JPEG's start-of-image marker followed by another
// marker, TIFF's byte order with the first byte of the magic number 42.
std::string decodeRaw(std::span<const uint8_t> bytes, RawImage& image) {
    static constexpr uint8_t kPng[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    const auto has = [&](size_t i, uint8_t v) { return bytes.size() > i && bytes[i] == v; };
    try {
        if (bytes.size() >= 8 && std::equal(kPng, kPng + 8, bytes.begin()))
            return codecs::decodePng(bytes, image);
        if (has(0, 0xff) && has(1, 0xd8) && has(2, 0xff)) return codecs::decodeJpeg(bytes, image);
        if ((has(0, 'I') && has(1, 'I') && has(3, 0)) || (has(0, 'M') && has(1, 'M') && has(2, 0)))
            return codecs::decodeTiff(bytes, image);
    } catch (const std::bad_alloc&) {
        return "out of memory";
    }
    return bytes.empty() ? "no data" : "not a PNG, TIFF or JPEG image";
}

// 8-bit grey, 16-bit grey, RGB and RGBA keep their samples (the bitmap takes them over); grey + alpha
// becomes RGBA, 16-bit colour is rounded to 8 bits.
Bitmap toNaturalFormat(RawImage& raw) {
    const PixelFormat format = raw.channels == 1
                                   ? (raw.depth == 16 ? PixelFormat::Gray16 : PixelFormat::Gray8)
                               : raw.channels == 3 ? PixelFormat::RGB8
                                                   : PixelFormat::RGBA8;
    if (raw.channels != 2 && (raw.depth == 8 || raw.channels == 1))
        return Bitmap(int(raw.width), int(raw.height), format, std::move(raw.samples));
    Bitmap bitmap(int(raw.width), int(raw.height), format);
    uint8_t* out = bitmap.data();
    const auto sample8 = [&](size_t i) {
        return raw.depth == 16 ? reduceTo8(raw.at(i)) : static_cast<uint8_t>(raw.at(i));
    };
    for (size_t in = 0; in < raw.pixelCount() * raw.channels; in += raw.channels) {
        if (raw.channels == 2) {
            const uint8_t g = sample8(in), expanded[] = {g, g, g, sample8(in + 1)};
            out = std::copy(expanded, expanded + 4, out);
        } else {
            for (int c = 0; c < raw.channels; ++c) *out++ = sample8(in + c);
        }
    }
    return bitmap;
}

Bitmap toGray16(RawImage& raw) {
    if (raw.channels == 1 && raw.depth == 16)
        return Bitmap(int(raw.width), int(raw.height), PixelFormat::Gray16, std::move(raw.samples));
    Bitmap bitmap(int(raw.width), int(raw.height), PixelFormat::Gray16);
    const uint32_t scale = raw.depth == 16 ? 1 : 257;
    uint8_t* out = bitmap.data();
    for (size_t in = 0; in < raw.pixelCount() * raw.channels; in += raw.channels, out += 2) {
        uint16_t v = static_cast<uint16_t>(raw.at(in) * scale);
        if (raw.channels >= 3) {
            // Rec. 709 weights in 1/2^24 units; they sum to 2^24, so greys map to themselves.
            const uint64_t r = raw.at(in) * scale, g = raw.at(in + 1) * scale, b = raw.at(in + 2) * scale;
            v = static_cast<uint16_t>((3566836 * r + 11999065 * g + 1211315 * b + (1u << 23)) >> 24);
        }
        std::memcpy(out, &v, 2);
    }
    return bitmap;
}

ImageDecodeResult decodeWith(std::span<const uint8_t> bytes, Bitmap (*convert)(RawImage&)) {
    RawImage raw;
    std::string error = decodeRaw(bytes, raw);
    if (!error.empty()) return {std::nullopt, std::move(error)};
    try {
        return {convert(raw), {}};
    } catch (const std::bad_alloc&) {
        return {std::nullopt, "out of memory"};
    }
}


}  // namespace

ImageDecodeResult decodeImage(std::span<const uint8_t> bytes) {
    return decodeWith(bytes, toNaturalFormat);
}

ImageDecodeResult decodeImageAsGray16(std::span<const uint8_t> bytes) {
    return decodeWith(bytes, toGray16);
}

std::optional<std::pair<int, int>> claimedImageSize(std::span<const uint8_t> bytes) {
    static constexpr uint8_t kPng[] = {0x89, 'P', 'N', 'G'};
    std::optional<std::pair<uint32_t, uint32_t>> size;
    if (bytes.size() >= 4 && std::equal(kPng, kPng + 4, bytes.begin())) {
        size = codecs::pngClaimedSize(bytes);
    } else if (bytes.size() >= 4 && (bytes[0] == 'I' || bytes[0] == 'M')) {
        size = codecs::tiffClaimedSize(bytes);
    }
    char message[200];
    if (!size || !codecs::acceptDimensions(size->first, size->second, 1, 2, message)) return std::nullopt;
    return std::pair{int(size->first), int(size->second)};
}

ImageDecodeResult readImageFile(const std::string& path) {
    std::string error;
    std::optional<std::vector<uint8_t>> bytes = readFileContents(path, kMaxImageFileBytes, &error);
    if (!bytes) return {std::nullopt, error};
    return decodeImage(*bytes);
}

}  // namespace korvane
