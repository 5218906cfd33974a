#include "foundation/ImageFilters.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "foundation/ParallelFor.h"

namespace korvane {

namespace {

// A blur wider than this many pixels looks no different on any image we render, and a hostile
// radius must not make the kernel or the running time explode.
constexpr float kMaxBlurSigma = 256.0f;
// Gaussian weights beyond three standard deviations add less than 0.3 % and are dropped.
constexpr float kKernelExtentInSigmas = 3.0f;
// Rec. 709 luminance weights.
constexpr float kLumaRed = 0.2126f, kLumaGreen = 0.7152f, kLumaBlue = 0.0722f;
// Crystallize cells are searched in this many grid steps around a pixel's own cell: with one
// point per cell, no point farther away can be the nearest.
constexpr int kCellSearchReach = 2;

uint8_t toByte(float v) {
    return static_cast<uint8_t>(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f);
}

std::vector<float> gaussianKernel(float sigma) {
    int half = static_cast<int>(std::ceil(sigma * kKernelExtentInSigmas));
    std::vector<float> kernel(2 * half + 1);
    float sum = 0;
    for (int i = -half; i <= half; ++i) {
        float w = std::exp(-0.5f * (i * i) / (sigma * sigma));
        kernel[i + half] = w;
        sum += w;
    }
    for (float& w : kernel) w /= sum;
    return kernel;
}

// The RGBA channels of `image` as floats in 0…1, blurred by a separable Gaussian with clamped edges.
std::vector<float> gaussianBlur(const Bitmap& image, float sigma) {
    const int w = image.width(), h = image.height();
    std::vector<float> source(size_t(w) * h * 4);
    parallelForRows(h, [&](int y) {
        const uint8_t* row = image.row(y);
        float* out = &source[size_t(y) * w * 4];
        for (int i = 0; i < w * 4; ++i) out[i] = row[i] / 255.0f;
    });
    if (sigma <= 0) return source;

    const std::vector<float> kernel = gaussianKernel(std::min(sigma, kMaxBlurSigma));
    const int half = static_cast<int>(kernel.size() / 2);
    std::vector<float> horizontal(source.size());
    parallelForRows(h, [&](int y) {
        const float* in = &source[size_t(y) * w * 4];
        float* out = &horizontal[size_t(y) * w * 4];
        for (int x = 0; x < w; ++x) {
            float acc[4] = {0, 0, 0, 0};
            for (int k = -half; k <= half; ++k) {
                const float* p = in + size_t(std::clamp(x + k, 0, w - 1)) * 4;
                const float weight = kernel[k + half];
                for (int c = 0; c < 4; ++c) acc[c] += p[c] * weight;
            }
            for (int c = 0; c < 4; ++c) out[size_t(x) * 4 + c] = acc[c];
        }
    });
    parallelForRows(h, [&](int y) {
        float* out = &source[size_t(y) * w * 4];
        for (int x = 0; x < w; ++x) {
            float acc[4] = {0, 0, 0, 0};
            for (int k = -half; k <= half; ++k) {
                const float* p = &horizontal[(size_t(std::clamp(y + k, 0, h - 1)) * w + x) * 4];
                const float weight = kernel[k + half];
                for (int c = 0; c < 4; ++c) acc[c] += p[c] * weight;
            }
            for (int c = 0; c < 4; ++c) out[size_t(x) * 4 + c] = acc[c];
        }
    });
    return source;
}

uint32_t hashCell(unsigned seed, int cx, int cy) {
    uint32_t h = seed * 0x9E3779B9u ^ static_cast<uint32_t>(cx) * 0x85EBCA6Bu ^
                 static_cast<uint32_t>(cy) * 0xC2B2AE35u;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

bool usable(const Bitmap& image) {
    return image.format() == PixelFormat::RGBA8 && !image.empty();
}

}  // namespace

void applyBloomFilter(Bitmap& image, float radius, float intensity) {
    if (!usable(image) || !(intensity > 0)) return;
    const std::vector<float> blurred = gaussianBlur(image, std::isfinite(radius) ? radius : 0.0f);
    const int w = image.width();
    parallelForRows(image.height(), [&](int y) {
        uint8_t* row = image.row(y);
        const float* glowRow = &blurred[size_t(y) * w * 4];
        for (int i = 0; i < w * 4; ++i) {
            const float c = row[i] / 255.0f;
            const float glow = std::min(1.0f, glowRow[i] * intensity);
            row[i] = toByte(c + glow - c * glow);  // screen: never darker, never above 1
        }
    });
}

void applyVibranceFilter(Bitmap& image, float amount) {
    if (!usable(image) || amount == 0 || !std::isfinite(amount)) return;
    parallelForRows(image.height(), [&](int y) {
        uint8_t* px = image.row(y);
        for (int x = 0; x < image.width(); ++x, px += 4) {
            const float r = px[0] / 255.0f, g = px[1] / 255.0f, b = px[2] / 255.0f;
            const float saturation = std::max({r, g, b}) - std::min({r, g, b});
            const float luma = kLumaRed * r + kLumaGreen * g + kLumaBlue * b;
            const float factor = 1.0f + amount * (1.0f - saturation);
            px[0] = toByte(luma + (r - luma) * factor);
            px[1] = toByte(luma + (g - luma) * factor);
            px[2] = toByte(luma + (b - luma) * factor);
        }
    });
}

void applyCrystallizeFilter(Bitmap& image, float radius, unsigned seed) {
    if (!usable(image) || !(radius >= 1)) return;
    const int w = image.width(), h = image.height();
    const float cell = std::min(radius, static_cast<float>(std::max(w, h)));
    // The cell's random point, in pixels.
    auto point = [&](int cx, int cy, float& px, float& py) {
        uint32_t bits = hashCell(seed, cx, cy);
        px = (cx + (bits & 0xFFFF) / 65536.0f) * cell;
        py = (cy + (bits >> 16) / 65536.0f) * cell;
    };
    const Bitmap source = image;
    parallelForRows(h, [&](int y) {
        uint8_t* out = image.row(y);
        const int cy = static_cast<int>((y + 0.5f) / cell);
        for (int x = 0; x < w; ++x, out += 4) {
            const int cx = static_cast<int>((x + 0.5f) / cell);
            float best = INFINITY, bestX = 0, bestY = 0;
            for (int j = cy - kCellSearchReach; j <= cy + kCellSearchReach; ++j) {
                for (int i = cx - kCellSearchReach; i <= cx + kCellSearchReach; ++i) {
                    float px, py;
                    point(i, j, px, py);
                    const float dx = px - (x + 0.5f), dy = py - (y + 0.5f);
                    const float d = dx * dx + dy * dy;
                    if (d < best) best = d, bestX = px, bestY = py;
                }
            }
            const int sx = std::clamp(static_cast<int>(bestX), 0, w - 1);
            const int sy = std::clamp(static_cast<int>(bestY), 0, h - 1);
            std::copy_n(source.pixel(sx, sy), 4, out);
        }
    });
}

}  // namespace korvane
