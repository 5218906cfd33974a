#pragma once

// Shared by the image codecs (PngCodec.cpp, JpegCodec.cpp, TiffCodec.cpp) and the format dispatch in
// ImageCodecs.cpp. Private to src/foundation: nothing else includes it.

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <utility>
#include <span>
#include <string>
#include <vector>

#include "foundation/Bitmap.h"
#include "foundation/ImageCodecs.h"

namespace korvane::codecs {

constexpr bool kLittleEndian = std::endian::native == std::endian::little;

// Samples as a decoder delivers them, before they are fitted to a PixelFormat.
struct RawImage {
    uint32_t width = 0, height = 0;
    int channels = 0;  // 1 grey, 2 grey + alpha, 3 RGB, 4 RGBA
    int depth = 8;     // 8 or 16 bits; 16-bit samples native-endian
    PixelBuffer samples;  // a Bitmap takes them over where its layout is the same

    size_t pixelCount() const { return size_t{width} * height; }
    size_t rowBytes() const { return size_t{width} * channels * (depth / 8); }
    uint32_t at(size_t i) const {
        if (depth == 8) return samples[i];
        uint16_t v;
        std::memcpy(&v, &samples[2 * i], 2);
        return v;
    }
    void set(size_t i, uint32_t v) {
        if (depth == 8) return void(samples[i] = static_cast<uint8_t>(v));
        const auto s = static_cast<uint16_t>(v);
        std::memcpy(&samples[2 * i], &s, 2);
    }
};

// Copies reason into a fixed message buffer (truncated to fit) and returns false, for
// `return failWith(message, "...")` in code that must not allocate while a C library holds control.
template <size_t N>
bool failWith(char (&message)[N], const char* reason) {
    std::snprintf(message, N, "%s", reason);
    return false;
}

// Sizes are checked before anything is allocated for the pixels: the sides, and the samples
// (channels of bytesPerSample each) against the decode budget. The reason goes into message.
template <size_t N>
bool acceptDimensions(uint64_t width, uint64_t height, int channels, int bytesPerSample, char (&message)[N]) {
    if (width == 0 || height == 0) return failWith(message, "image has no pixels");
    if (width > uint64_t{kMaxImageSide} || height > uint64_t{kMaxImageSide} ||
        width * height > uint64_t(kMaxImagePixels)) {
        std::snprintf(message, N, "image too large (%llu × %llu pixels)", static_cast<unsigned long long>(width),
                      static_cast<unsigned long long>(height));
        return false;
    }
    const uint64_t bytes = width * height * uint64_t(channels) * uint64_t(bytesPerSample);
    if (bytes <= uint64_t(kImageDecodeBudgetBytes)) return true;
    constexpr uint64_t kMiB = 1 << 20;
    std::snprintf(message, N, "image claims %llu × %llu pixels of %d × %d bits (%llu MiB), more than the %llu MiB an image may take",
                  static_cast<unsigned long long>(width), static_cast<unsigned long long>(height), channels,
                  8 * bytesPerSample, static_cast<unsigned long long>((bytes + kMiB - 1) / kMiB),
                  static_cast<unsigned long long>(uint64_t(kImageDecodeBudgetBytes) / kMiB));
    return false;
}

// Never throws, so C-style decoders may call it between library calls. The samples are left
// uninitialised: every decoder writes all of them or fails.
inline bool allocate(RawImage& image, uint32_t width, uint32_t height, int channels, int depth) {
    image.width = width;
    image.height = height;
    image.channels = channels;
    image.depth = depth;
    try {
        image.samples.resize(image.rowBytes() * height);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// Rounds a 16-bit sample to the nearest 8-bit one.
inline uint8_t reduceTo8(uint32_t v) {
    return static_cast<uint8_t>((v * 255 + 32767) / 65535);
}

// Copies a buffer that libpng or libjpeg output was collected in, and frees it.
inline std::vector<uint8_t> takeMallocBuffer(bool ok, unsigned char* buffer, size_t size) {
    std::vector<uint8_t> bytes;
    try {
        if (ok) bytes.assign(buffer, buffer + size);
    } catch (const std::bad_alloc&) {
    }
    std::free(buffer);
    return bytes;
}

// The codecs' decoders, called by the dispatch once the signature has matched. Each fills image and
// returns an empty string, or returns a short reason and leaves image unspecified. They may throw
// std::bad_alloc, which the dispatch reports as "out of memory". Reentrant.
std::string decodePng(std::span<const uint8_t> bytes, RawImage& image);
std::string decodeJpeg(std::span<const uint8_t> bytes, RawImage& image);
std::string decodeTiff(std::span<const uint8_t> bytes, RawImage& image);
// The size in the first image header of a PNG or TIFF, or none. Reentrant.
std::optional<std::pair<uint32_t, uint32_t>> pngClaimedSize(std::span<const uint8_t> bytes);
std::optional<std::pair<uint32_t, uint32_t>> tiffClaimedSize(std::span<const uint8_t> bytes);

}  // namespace korvane::codecs
