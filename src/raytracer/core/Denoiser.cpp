#include "raytracer/core/Denoiser.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <cmath>

namespace yafaray {
namespace {

// An edge-avoiding à-trous wavelet filter: kIterations passes of a 5×5 B3-spline kernel whose
// taps lie 1, 2, 4, … pixels apart, so that a wide neighbourhood is reached at 25 taps a pass.
// Each tap is weighted down where the guides or the lighting show an edge.
constexpr int kIterations = 4;
constexpr float kKernel[5] = {1.f / 16.f, 1.f / 4.f, 3.f / 8.f, 1.f / 4.f, 1.f / 16.f};
// A neighbour whose lighting differs from the pixel's by kColourSigma standard deviations of
// the pixel's noise counts e⁻¹ as much as a like one.
constexpr float kColourSigma = 2.f;
// Lighting differences below this fraction of the pixel's own are not taken for edges, so that
// pixels whose few samples happened to agree still get smoothed a little.
constexpr float kColourFloor = 0.02f;
// Squared distances of unit normals and of albedos (RGB) at which a neighbour counts e⁻¹.
constexpr float kNormalSigma2 = 0.25f;
constexpr float kAlbedoSigma2 = 0.05f;
// Depth may differ from what the pixel's depth slope predicts by this factor, and by this
// fraction of the depth, before a neighbour counts e⁻¹.
constexpr float kDepthSigma = 1.f;
constexpr float kDepthFloor = 0.01f;
// Below this many samples a pixel's own estimate of its noise is too rough to use: the spread
// of its like neighbours' lighting (5×5) stands in for it.
constexpr float kTrustedSamples = 4.f;
// Added to the albedo where the lighting is divided out and multiplied back in, so that black
// surfaces keep their (tiny) colour instead of dividing by zero.
constexpr float kAlbedoOffset = 0.02f;

float luminance(const float* c) {
    return 0.2126f * c[0] + 0.7152f * c[1] + 0.0722f * c[2];
}

// Runs body(y) for the rows [y0, y1) on the calling arena.
template <typename Body>
void forRows(int y0, int y1, const Body& body) {
    tbb::parallel_for(tbb::blocked_range<int>(y0, y1, 4), [&](const tbb::blocked_range<int>& r) {
        for (int y = r.begin(); y != r.end(); ++y) body(y);
    });
}

}  // namespace

denoiseBuffers_t::denoiseBuffers_t(int w, int h)
    : width(w),
      height(h),
      colour(size_t(w) * h * 3, 0.f),
      albedo(size_t(w) * h * 3, 1.f),
      normal(size_t(w) * h * 3, 0.f),
      depth(size_t(w) * h, -1.f),
      variance(size_t(w) * h, 0.f),
      samples(size_t(w) * h, 0.f) {}

void denoise(denoiseBuffers_t& b, int x0, int y0, int x1, int y1) {
    x0 = std::max(0, x0), y0 = std::max(0, y0);
    x1 = std::min(b.width, x1), y1 = std::min(b.height, y1);
    if (x0 >= x1 || y0 >= y1) return;
    const int W = b.width;
    auto index = [W](int x, int y) { return size_t(y) * W + x; };
    auto inside = [&](int x, int y) { return x >= x0 && x < x1 && y >= y0 && y < y1; };
    const size_t npix = size_t(W) * b.height;

    // The lighting, its noise in the same units, and the depth slopes along x and y.
    std::vector<float> light(npix * 3), lightNext(npix * 3), var(npix), varNext(npix);
    std::vector<float> slopeX(npix, 0.f), slopeY(npix, 0.f);
    auto albedoAt = [&](size_t i, int k) { return std::max(0.f, b.albedo[i * 3 + k]) + kAlbedoOffset; };
    forRows(y0, y1, [&](int y) {
        for (int x = x0; x < x1; ++x) {
            const size_t i = index(x, y);
            for (int k = 0; k < 3; ++k)
                light[i * 3 + k] = std::max(0.f, b.colour[i * 3 + k]) / albedoAt(i, k);
            // Central difference where both neighbours show a surface, else one-sided.
            auto slope = [&](int dx, int dy) {
                const float z = b.depth[i];
                if (z < 0.f) return 0.f;
                const bool before = inside(x - dx, y - dy) && b.depth[index(x - dx, y - dy)] >= 0.f;
                const bool after = inside(x + dx, y + dy) && b.depth[index(x + dx, y + dy)] >= 0.f;
                if (before && after)
                    return 0.5f * std::fabs(b.depth[index(x + dx, y + dy)] - b.depth[index(x - dx, y - dy)]);
                if (after) return std::fabs(b.depth[index(x + dx, y + dy)] - z);
                if (before) return std::fabs(z - b.depth[index(x - dx, y - dy)]);
                return 0.f;
            };
            slopeX[i] = slope(1, 0);
            slopeY[i] = slope(0, 1);
        }
    });

    // How unlike pixel q, (dx, dy) pixels from p, is by its guides, as an exponent of e⁻¹;
    // false where they must not mix at all (the sky and a surface).
    auto guideDistance = [&](size_t p, size_t q, int dx, int dy, float& e) {
        const float zp = b.depth[p], zq = b.depth[q];
        if ((zp < 0.f) != (zq < 0.f)) return false;
        const float* np = &b.normal[p * 3];
        const float* nq = &b.normal[q * 3];
        const float* ap = &b.albedo[p * 3];
        const float* aq = &b.albedo[q * 3];
        float dn = 0.f, da = 0.f;
        for (int k = 0; k < 3; ++k) {
            dn += (nq[k] - np[k]) * (nq[k] - np[k]);
            da += (aq[k] - ap[k]) * (aq[k] - ap[k]);
        }
        e = dn * (1.f / kNormalSigma2) + da * (1.f / kAlbedoSigma2);
        if (zp >= 0.f) {
            const float expected =
                kDepthSigma * (std::fabs(slopeX[p] * float(dx)) + std::fabs(slopeY[p] * float(dy))) +
                kDepthFloor * zp;
            e += std::fabs(zq - zp) / std::max(expected, 1e-6f);
        }
        return true;
    };

    // Each pixel's noise, from its samples where it has enough, else from the spread of its like
    // neighbours' lighting (which would be alike without noise).
    forRows(y0, y1, [&](int y) {
        for (int x = x0; x < x1; ++x) {
            const size_t p = index(x, y);
            if (b.samples[p] >= kTrustedSamples) {
                float a[3];
                for (int k = 0; k < 3; ++k) a[k] = albedoAt(p, k);
                const float al = luminance(a);
                varNext[p] = std::max(0.f, b.variance[p]) / (al * al);
                continue;
            }
            double wsum = 0.0, m1 = 0.0, m2 = 0.0;
            for (int dy = -2; dy <= 2; ++dy) {
                for (int dx = -2; dx <= 2; ++dx) {
                    if (!inside(x + dx, y + dy)) continue;
                    const size_t q = index(x + dx, y + dy);
                    float e = 0.f;
                    if (q != p && !guideDistance(p, q, dx, dy, e)) continue;
                    const double w = std::exp(-e), l = luminance(&light[q * 3]);
                    wsum += w;
                    m1 += w * l;
                    m2 += w * l * l;
                }
            }
            const double mean = m1 / wsum;
            varNext[p] = float(std::max(0.0, m2 / wsum - mean * mean));
        }
    });
    // A 3×3 blur steadies the estimates.
    forRows(y0, y1, [&](int y) {
        for (int x = x0; x < x1; ++x) {
            float sum = 0.f, wsum = 0.f;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    if (!inside(x + dx, y + dy)) continue;
                    const float w = (dx == 0 ? 2.f : 1.f) * (dy == 0 ? 2.f : 1.f);
                    sum += w * varNext[index(x + dx, y + dy)];
                    wsum += w;
                }
            }
            var[index(x, y)] = sum / wsum;
        }
    });

    for (int pass = 0; pass < kIterations; ++pass) {
        const int step = 1 << pass;
        forRows(y0, y1, [&](int y) {
            for (int x = x0; x < x1; ++x) {
                const size_t p = index(x, y);
                const float lumP = luminance(&light[p * 3]);
                const float colourScale =
                    1.f / (kColourSigma * std::sqrt(var[p]) + kColourFloor * lumP + 1e-6f);
                float sum[3] = {0.f, 0.f, 0.f}, wsum = 0.f, vsum = 0.f;
                for (int j = -2; j <= 2; ++j) {
                    const int qy = y + j * step;
                    if (qy < y0 || qy >= y1) continue;
                    for (int i = -2; i <= 2; ++i) {
                        const int qx = x + i * step;
                        if (qx < x0 || qx >= x1) continue;
                        const size_t q = index(qx, qy);
                        float w = kKernel[i + 2] * kKernel[j + 2];
                        if (q != p) {
                            float e = 0.f;
                            if (!guideDistance(p, q, i * step, j * step, e)) continue;
                            e += std::fabs(luminance(&light[q * 3]) - lumP) * colourScale;
                            w *= std::exp(-e);
                        }
                        sum[0] += w * light[q * 3];
                        sum[1] += w * light[q * 3 + 1];
                        sum[2] += w * light[q * 3 + 2];
                        wsum += w;
                        vsum += w * w * var[q];
                    }
                }
                // wsum holds at least the pixel's own weight.
                const float inv = 1.f / wsum;
                for (int k = 0; k < 3; ++k) lightNext[p * 3 + k] = sum[k] * inv;
                varNext[p] = vsum * inv * inv;
            }
        });
        light.swap(lightNext);
        var.swap(varNext);
    }

    forRows(y0, y1, [&](int y) {
        for (int x = x0; x < x1; ++x) {
            const size_t i = index(x, y);
            for (int k = 0; k < 3; ++k) b.colour[i * 3 + k] = light[i * 3 + k] * albedoAt(i, k);
        }
    });
}

}  // namespace yafaray
