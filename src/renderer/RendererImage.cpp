#include "renderer/RendererImage.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "foundation/ImageCodecs.h"
#include "foundation/ImageFilters.h"
#include "foundation/ParallelFor.h"

namespace korvane {

namespace {

// Depth given to sky pixels (negative depth) by the depth tint and the near depth of field.
constexpr float kInfiniteDepth = FLT_MAX;
// A neighbour farther behind a pixel than this (in scene units) never blurs onto it.
constexpr float kNearFocusBleedLimit = 0.5f;
// Rows of accumulators that one task of the far depth of field's scatter owns.
constexpr int kScatterBandRows = 16;

uint8_t clampedByte(float component) {
    return static_cast<uint8_t>(std::clamp(component, 0.0f, 1.0f) * 255.0f);
}

// Truncation to a byte for values the effects keep within 0…255; the clamp only guards against
// out-of-range settings (an opacity above 1) turning into undefined conversions.
uint8_t truncatedByte(double value) {
    if (!(value > 0)) return 0;
    return value >= 255.0 ? 255 : static_cast<uint8_t>(value);
}

// The unclamped write of the modified bitmap: the truncated value keeps its low eight bits, as a
// plain integer-to-byte store does; values beyond the int range (or not numbers) are pinned first.
uint8_t wrappedByte(float value) {
    if (!std::isfinite(value)) return 0;
    const double pinned = std::clamp(double(value), -1e9, 1e9);
    return static_cast<uint8_t>(static_cast<int>(pinned));
}

// Distances sqrt(dx² + dy²) of a (2R)² window, dx and dy from −R to R − 1, row-major.
std::vector<float> windowDistances(int radius) {
    std::vector<float> table(size_t(2 * radius) * (2 * radius));
    for (int k = -radius; k < radius; ++k) {
        for (int j = -radius; j < radius; ++j) {
            table[size_t(k + radius) * (2 * radius) + (j + radius)] = std::sqrt(float(j * j + k * k));
        }
    }
    return table;
}

}  // namespace

RendererImage::RendererImage(Size size) {
    const float w = std::floor(static_cast<float>(size.width));
    const float h = std::floor(static_cast<float>(size.height));
    if (w >= 1 && h >= 1 && double(w) * double(h) <= double(kMaxImagePixels)) {
        width_ = static_cast<int>(w);
        height_ = static_cast<int>(h);
    }
    imageSize_ = Size{double(width_), double(height_)};
    bitmapImage_ = Bitmap(width_, height_, PixelFormat::RGBA8);
    modifiedBitmapImage_ = Bitmap(width_, height_, PixelFormat::RGBA8);
    depthMap_.assign(size_t(width_) * height_, 0.0f);
}

long RendererImage::indexOf(Point p) const {
    if (!(p.x >= 0) || !(p.y >= 0)) return -1;
    const double x = std::trunc(p.x), y = std::trunc(p.y);
    if (x >= width_ || y >= height_) return -1;
    return static_cast<long>(y) * width_ + static_cast<long>(x);
}

void RendererImage::setPixelAtPoint(Point p, float r, float g, float b, float a) {
    const long i = indexOf(p);
    if (i < 0) return;
    std::lock_guard lock(pixelMutex_);
    uint8_t* px = bitmapImage_.data() + size_t(i) * 4;
    px[0] = clampedByte(r);
    px[1] = clampedByte(g);
    px[2] = clampedByte(b);
    px[3] = clampedByte(a);
}

void RendererImage::setModifiedPixelAtPoint(Point p, float r, float g, float b, float a) {
    const long i = indexOf(p);
    if (i < 0) return;
    uint8_t* px = modifiedBitmapImage_.data() + size_t(i) * 4;
    const float components[4] = {r, g, b, a};
    for (int c = 0; c < 4; ++c) px[c] = wrappedByte(components[c] * 255.0f);
}

void RendererImage::setDepth(float depth, Point p) {
    const long i = indexOf(p);
    if (i < 0) return;
    std::lock_guard lock(pixelMutex_);
    depthMap_[size_t(i)] = depth;
}

float RendererImage::depthAtPoint(Point p) const {
    const long i = indexOf(p);
    return i < 0 ? 0.0f : depthMap_[size_t(i)];
}

Bitmap RendererImage::imageCopy() const {
    std::lock_guard lock(pixelMutex_);
    return bitmapImage_;
}

void RendererImage::startModifiedImage() {
    std::lock_guard lock(pixelMutex_);
    if (!bitmapImage_.empty())
        std::memcpy(modifiedBitmapImage_.data(), bitmapImage_.data(), bitmapImage_.sizeInBytes());
}

void RendererImage::addDepthTint(const Color& color, float farFocusStart, float bias, float opacity) {
    const float tint[3] = {float(color.red), float(color.green), float(color.blue)};
    parallelForRows(height_, [&](int y) {
        uint8_t* px = modifiedBitmapImage_.row(y);
        const float* depth = &depthMap_[size_t(y) * width_];
        for (int x = 0; x < width_; ++x, px += 4) {
            const float d = depth[x] < 0 ? kInfiniteDepth : depth[x];
            const float f = std::min(1.0f, (d - farFocusStart) * bias) * opacity;
            if (!(f > 0)) continue;
            for (int c = 0; c < 3; ++c)
                px[c] = truncatedByte((px[c] / 255.0f * (1 - f) + tint[c] * f) * 255.0f);
        }
    });
}

void RendererImage::addDepthOfFieldWithFarFocusStart(float start, float bias, int maximumStrength) {
    const int M = maximumStrength;
    if (M <= 0 || width_ == 0) return;
    const size_t count = size_t(width_) * height_;
    std::vector<float> accumulator(count * 4, 0.0f);

    float farthest = 0;
    for (float d : depthMap_) farthest = std::max(farthest, d);

    // Blur radius of each pixel (w) and the scatter level it belongs to (ceil w).
    std::vector<float> blur(count);
    std::vector<int> level(count);
    for (size_t i = 0; i < count; ++i) {
        const float d = depthMap_[i] < 0 ? farthest : depthMap_[i];
        float w = (d - start) * bias;
        if (!(w >= 0)) w = 0;  // negative, or not a number
        if (w > M) w = float(M);
        blur[i] = w;
        level[i] = static_cast<int>(std::ceil(w));
    }

    const uint8_t* bytes = modifiedBitmapImage_.data();
    // Levels from the widest radius down to 0, so that in-focus pixels end with their own colour
    // alone whatever their blurred neighbours scattered onto them. Within a level the scatter is
    // split into bands of target rows: each band visits, in row-major order, every source whose
    // disc reaches it and adds only into its own rows. Every accumulator thus receives the same
    // contributions in the same order as one row-major pass over the whole image would give it, so
    // the sums are bit for bit those of the single-threaded scatter.
    const int bands = (height_ + kScatterBandRows - 1) / kScatterBandRows;
    for (int L = M; L >= 0; --L) {
        const std::vector<float> distances = L > 0 ? windowDistances(L) : std::vector<float>{};
        const float P = float(int64_t(L) * L * L * L);
        parallelFor(0, bands, [&](int band) {
            const int bandTop = band * kScatterBandRows,
                      bandBottom = std::min(height_, bandTop + kScatterBandRows);
            // A source in row y reaches the rows y − L … y + L − 1; at level 0 only its own row.
            const int firstSource = L > 0 ? std::max(0, bandTop - L + 1) : bandTop;
            const int lastSource = L > 0 ? std::min(height_ - 1, bandBottom - 1 + L) : bandBottom - 1;
            for (int y = firstSource; y <= lastSource; ++y) {
                for (int x = 0; x < width_; ++x) {
                    const size_t i = size_t(y) * width_ + x;
                    if (level[i] != L) continue;
                    const float r = float(bytes[i * 4] / 255.0), g = float(bytes[i * 4 + 1] / 255.0),
                                b = float(bytes[i * 4 + 2] / 255.0);
                    if (L <= 0) {
                        float* acc = &accumulator[i * 4];
                        acc[0] = r, acc[1] = g, acc[2] = b, acc[3] = 1.0f;
                        continue;
                    }
                    const float w = blur[i];
                    const int k0 = std::max(-L, bandTop - y), k1 = std::min(L, bandBottom - y);
                    const int j0 = std::max(-L, -x), j1 = std::min(L, width_ - x);
                    for (int k = k0; k < k1; ++k) {
                        const float* dist = &distances[size_t(k + L) * (2 * L) + L];
                        float* accRow = &accumulator[(size_t(y + k) * width_ + x) * 4];
                        for (int j = j0; j < j1; ++j) {
                            const float delta = dist[j];
                            if (!(w > delta)) continue;
                            const float omega = (w - delta) / P;
                            float* acc = accRow + j * 4;
                            acc[0] += r * omega;
                            acc[1] += g * omega;
                            acc[2] += b * omega;
                            acc[3] += omega;
                        }
                    }
                }
            }
        });
    }
    normaliseInto(accumulator);
}

void RendererImage::addDepthOfFieldWithNearFocusEnd(float end, float bias, int maximumStrength) {
    const int M = maximumStrength;
    if (M <= 0 || width_ == 0) return;
    std::vector<float> accumulator(size_t(width_) * height_ * 4, 0.0f);
    const std::vector<float> distances = windowDistances(M);
    const uint8_t* bytes = modifiedBitmapImage_.data();
    auto depthOf = [&](size_t i) { return depthMap_[i] < 0 ? kInfiniteDepth : depthMap_[i]; };

    parallelForRows(height_, [&](int y) {
        for (int x = 0; x < width_; ++x) {
            const float dc = depthOf(size_t(y) * width_ + x);
            float sum[4] = {0, 0, 0, 0};
            const int k0 = std::max(-M, -y), k1 = std::min(M, height_ - y);
            const int i0 = std::max(-M, -x), i1 = std::min(M, width_ - x);
            for (int k = k0; k < k1; ++k) {
                const float* dist = &distances[size_t(k + M) * (2 * M) + M];
                const size_t rowStart = size_t(y + k) * width_ + x;
                for (int i = i0; i < i1; ++i) {
                    const float delta = dist[i];
                    if (!(delta < M)) continue;
                    const size_t n = rowStart + i;
                    const float m = depthOf(n);
                    if (dc - m < -kNearFocusBleedLimit) continue;
                    float v = (end - m) * bias;
                    if (v > M)
                        v = float(M);
                    else if (!(v >= 1))
                        v = 1;
                    const float q = std::max(0.0f, (v - delta) / v);
                    const float omega = q * q;
                    if (!(omega > 0)) continue;
                    sum[0] += bytes[n * 4] / 255.0f * omega;
                    sum[1] += bytes[n * 4 + 1] / 255.0f * omega;
                    sum[2] += bytes[n * 4 + 2] / 255.0f * omega;
                    sum[3] += omega;
                }
            }
            std::copy_n(sum, 4, &accumulator[(size_t(y) * width_ + x) * 4]);
        }
    });
    normaliseInto(accumulator);
}

void RendererImage::normaliseInto(const std::vector<float>& accumulator) {
    parallelForRows(height_, [&](int y) {
        uint8_t* px = modifiedBitmapImage_.row(y);
        const float* acc = &accumulator[size_t(y) * width_ * 4];
        for (int x = 0; x < width_; ++x, px += 4, acc += 4) {
            if (!(acc[3] > 0)) continue;  // every pixel receives its own weight; kept for safety
            for (int c = 0; c < 3; ++c) px[c] = truncatedByte(double(acc[c] / acc[3]) * 255.0);
        }
    });
}

void RendererImage::addBloom(float radius, float intensity) {
    applyBloomFilter(modifiedBitmapImage_, radius, intensity);
}

void RendererImage::addVibrance(float strength) {
    applyVibranceFilter(modifiedBitmapImage_, strength);
}

}  // namespace korvane
