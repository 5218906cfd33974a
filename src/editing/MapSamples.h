#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "foundation/Bitmap.h"

namespace korvane {

// Reading and writing the samples of the one-channel grey maps that the editors change: 16-bit
// heightmaps and 8-bit masks and density maps. A sample s stands for the fraction s / 65535 or s / 255
// of full scale. Every function is pure apart from the bitmap it is given and may run on any thread,
// one writer per pixel at a time.

// Whether the bitmap is a map the editing tools work on (Gray16 or Gray8, not empty).
inline bool isEditableGreyMap(const Bitmap& bitmap) {
    return !bitmap.empty() &&
           (bitmap.format() == PixelFormat::Gray16 || bitmap.format() == PixelFormat::Gray8);
}

// Full scale of a grey map's samples: 65535 for Gray16, 255 otherwise.
inline float fullScale(const Bitmap& bitmap) {
    return bitmap.format() == PixelFormat::Gray16 ? 65535.0f : 255.0f;
}

// The sample at column x, stored row y as a fraction of full scale. (x, y) must lie inside an
// editable grey map.
inline float readFraction(const Bitmap& bitmap, int x, int y) {
    if (bitmap.format() == PixelFormat::Gray16) {
        uint16_t v;
        std::memcpy(&v, bitmap.pixel(x, y), sizeof v);
        return static_cast<float>(v) / 65535.0f;
    }
    return static_cast<float>(*bitmap.pixel(x, y)) / 255.0f;
}

// value limited to [0, 1]; NaN becomes 0, so no cast below ever sees a value out of range.
inline float unitInterval(float value) {
    return value > 0.0f ? (value < 1.0f ? value : 1.0f) : 0.0f;
}

// Stores a fraction the way the filters do: clamped to [0, 1], then the integer part of the scaled
// value (a value read with readFraction comes back unchanged).
inline void writeFractionTruncated(Bitmap& bitmap, int x, int y, float value) {
    value = unitInterval(value);
    if (bitmap.format() == PixelFormat::Gray16) {
        const auto v = static_cast<uint16_t>(value * 65535.0f);
        std::memcpy(bitmap.pixel(x, y), &v, sizeof v);
    } else {
        *bitmap.pixel(x, y) = static_cast<uint8_t>(value * 255.0f);
    }
}

// Stores a fraction the way the painting does: clamped to [0, 1], then rounded to the nearest sample,
// so that repeated dabs do not drift downwards.
inline void writeFractionRounded(Bitmap& bitmap, int x, int y, float value) {
    value = unitInterval(value);
    if (bitmap.format() == PixelFormat::Gray16) {
        const auto v = static_cast<uint16_t>(value * 65535.0f + 0.5f);
        std::memcpy(bitmap.pixel(x, y), &v, sizeof v);
    } else {
        *bitmap.pixel(x, y) = static_cast<uint8_t>(value * 255.0f + 0.5f);
    }
}

// Typed access for hot loops: the sample type of a grey map and its full scale.
template <class Sample>
struct SampleTraits;
template <>
struct SampleTraits<uint16_t> {
    static constexpr float kFullScale = 65535.0f;
};
template <>
struct SampleTraits<uint8_t> {
    static constexpr float kFullScale = 255.0f;
};

// The integer part of a fraction clamped to [0, 1] and scaled to Sample's full scale.
template <class Sample>
inline Sample truncatedSample(float value) {
    return static_cast<Sample>(unitInterval(value) * SampleTraits<Sample>::kFullScale);
}

// Calls f.template operator()<Sample>() with Sample = uint16_t for Gray16 and uint8_t for Gray8; returns
// false without calling for any other format or an empty bitmap.
template <class F>
inline bool dispatchGreyMap(const Bitmap& bitmap, F&& f) {
    if (bitmap.empty()) return false;
    if (bitmap.format() == PixelFormat::Gray16) {
        f.template operator()<uint16_t>();
        return true;
    }
    if (bitmap.format() == PixelFormat::Gray8) {
        f.template operator()<uint8_t>();
        return true;
    }
    return false;
}

}  // namespace korvane
