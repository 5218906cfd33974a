#include "raytracer/core/Denoiser.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "raytracer/core/Lanes.h"

// The lane helpers of this file return vectors by value and are inlined where they are used;
// GCC's note that this changes the calling convention with AVX does not concern them.
#pragma GCC diagnostic ignored "-Wpsabi"

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

// The rectangle's pixels in planes of one value each. Rows are padded on both sides, so that a
// tap up to kReach pixels beyond either edge, from any lane of a group that starts inside,
// still reads memory of the plane (and is then weighted zero).
struct planeLayout_t {
    static constexpr int kReach = 2 << (kIterations - 1);
    static constexpr int kLeft = kReach, kRight = kReach + kLaneCount;
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0, stride = 0;

    planeLayout_t(int ax0, int ay0, int ax1, int ay1)
        : x0(ax0), y0(ay0), x1(ax1), y1(ay1), stride(kLeft + (ax1 - ax0) + kRight) {}
    size_t at(int x, int y) const { return size_t(y - y0) * stride + size_t(x - x0 + kLeft); }
    size_t size() const { return size_t(y1 - y0) * stride; }
};

// What the filter passes read and write, one plane per value.
struct denoisePlanes_t {
    explicit denoisePlanes_t(const planeLayout_t& l) : layout(l) {}
    // Planes are made as they are filled, so that the buffers they are filled from can be
    // released in between.
    void make(std::vector<float>& plane) const { plane.assign(layout.size(), 0.f); }

    planeLayout_t layout;
    // The lighting (colour over albedo) and its noise in the same units, read by a pass; the
    // pass writes the next ones.
    std::vector<float> light[3], lightNext[3], var, varNext;
    std::vector<float> normal[3], albedo[3], depth, slopeX, slopeY;
};

// The lanes' offsets from the first pixel of their group.
constexpr lanesI kLaneOffsets = {0, 1, 2, 3, 4, 5, 6, 7};

template <typename Lanes>
inline Lanes loadLanes(const float* from) {
    Lanes v;
    std::memcpy(&v, from, sizeof v);
    return v;
}

template <typename Lanes>
inline Lanes absLanes(const Lanes& v) {
    return v < 0.f ? -v : v;
}

// One à-trous pass over row y with taps `step` pixels apart: the light and var planes are read,
// the row of lightNext and varNext written. Eight pixels of the row are filtered side by side;
// each pixel's taps are weighted as in guideDistance() below, a tap outside the rectangle or
// across the border of sky and surface weighing nothing.
__attribute__((target_clones("avx2", "default"))) void filterRow(denoisePlanes_t& d, int y, int step) {
    const planeLayout_t& l = d.layout;
    for (int xb = l.x0; xb < l.x1; xb += kLaneCount) {
        const size_t p = l.at(xb, y);
        const lanesF lr = loadLanes<lanesF>(&d.light[0][p]), lg = loadLanes<lanesF>(&d.light[1][p]),
                     lb = loadLanes<lanesF>(&d.light[2][p]);
        const lanesF lumP = 0.2126f * lr + 0.7152f * lg + 0.0722f * lb;
        const lanesF varP = loadLanes<lanesF>(&d.var[p]);
        lanesF colourScale;
        for (int k = 0; k < kLaneCount; ++k)
            colourScale[k] = 1.f / (kColourSigma * std::sqrt(varP[k]) + kColourFloor * lumP[k] + 1e-6f);
        const lanesF nx = loadLanes<lanesF>(&d.normal[0][p]), ny = loadLanes<lanesF>(&d.normal[1][p]),
                     nz = loadLanes<lanesF>(&d.normal[2][p]);
        const lanesF ar = loadLanes<lanesF>(&d.albedo[0][p]), ag = loadLanes<lanesF>(&d.albedo[1][p]),
                     ab = loadLanes<lanesF>(&d.albedo[2][p]);
        const lanesF zp = loadLanes<lanesF>(&d.depth[p]);
        const lanesI skyP = zp < 0.f;
        const lanesF sx = absLanes(loadLanes<lanesF>(&d.slopeX[p])), sy = absLanes(loadLanes<lanesF>(&d.slopeY[p]));
        lanesF sumR = {}, sumG = {}, sumB = {}, wsum = {}, vsum = {};
        for (int j = -2; j <= 2; ++j) {
            const int qy = y + j * step;
            if (qy < l.y0 || qy >= l.y1) continue;
            for (int i = -2; i <= 2; ++i) {
                const size_t q = l.at(xb + i * step, qy);
                const float kernel = kKernel[i + 2] * kKernel[j + 2];
                const lanesF qr = loadLanes<lanesF>(&d.light[0][q]), qg = loadLanes<lanesF>(&d.light[1][q]),
                             qb = loadLanes<lanesF>(&d.light[2][q]);
                const lanesF qv = loadLanes<lanesF>(&d.var[q]);
                lanesF w = lanesF{} + kernel;
                if (i != 0 || j != 0) {
                    const lanesF dnx = loadLanes<lanesF>(&d.normal[0][q]) - nx,
                                 dny = loadLanes<lanesF>(&d.normal[1][q]) - ny,
                                 dnz = loadLanes<lanesF>(&d.normal[2][q]) - nz;
                    const lanesF dar = loadLanes<lanesF>(&d.albedo[0][q]) - ar,
                                 dag = loadLanes<lanesF>(&d.albedo[1][q]) - ag,
                                 dab = loadLanes<lanesF>(&d.albedo[2][q]) - ab;
                    const lanesF zq = loadLanes<lanesF>(&d.depth[q]);
                    lanesF e = (dnx * dnx + dny * dny + dnz * dnz) * (1.f / kNormalSigma2) +
                               (dar * dar + dag * dag + dab * dab) * (1.f / kAlbedoSigma2);
                    lanesF expected = kDepthSigma * (sx * float(std::abs(i * step)) + sy * float(std::abs(j * step))) +
                                      kDepthFloor * zp;
                    expected = expected > 1e-6f ? expected : lanesF{} + 1e-6f;
                    e += skyP ? lanesF{} : absLanes(zq - zp) / expected;
                    const lanesF lumQ = 0.2126f * qr + 0.7152f * qg + 0.0722f * qb;
                    e += absLanes(lumQ - lumP) * colourScale;
                    const lanesI column = kLaneOffsets + (xb + i * step);
                    const lanesI usable = (column >= l.x0) & (column < l.x1) & ((zq < 0.f) == skyP);
                    lanesF falloff;
                    expNegLanes(e, falloff);
                    w = usable ? w * falloff : lanesF{};
                }
                sumR += w * qr;
                sumG += w * qg;
                sumB += w * qb;
                wsum += w;
                vsum += w * w * qv;
            }
        }
        // wsum holds at least the pixel's own weight.
        const lanesF inv = 1.f / wsum;
        const lanesF outR = sumR * inv, outG = sumG * inv, outB = sumB * inv, outV = vsum * inv * inv;
        const int lanes = std::min(kLaneCount, l.x1 - xb);
        for (int k = 0; k < lanes; ++k) {
            d.lightNext[0][p + k] = outR[k];
            d.lightNext[1][p + k] = outG[k];
            d.lightNext[2][p + k] = outB[k];
            d.varNext[p + k] = outV[k];
        }
    }
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
    const planeLayout_t layout(x0, y0, x1, y1);
    denoisePlanes_t d(layout);

    // The lighting, then the guides in planes, each buffer released once it is read; and the
    // depth slopes along x and y.
    auto albedoAt = [&](size_t p, int k) { return std::max(0.f, d.albedo[k][p]) + kAlbedoOffset; };
    auto moveGuide = [&](std::vector<float>& from, int count, std::vector<float>* to) {
        for (int k = 0; k < count; ++k) d.make(to[k]);
        forRows(y0, y1, [&](int y) {
            for (int x = x0; x < x1; ++x) {
                for (int k = 0; k < count; ++k) to[k][layout.at(x, y)] = from[index(x, y) * count + k];
            }
        });
        std::vector<float>().swap(from);
    };
    moveGuide(b.albedo, 3, d.albedo);
    moveGuide(b.normal, 3, d.normal);
    moveGuide(b.depth, 1, &d.depth);
    for (std::vector<float>* plane : {&d.light[0], &d.light[1], &d.light[2], &d.slopeX, &d.slopeY}) d.make(*plane);
    forRows(y0, y1, [&](int y) {
        for (int x = x0; x < x1; ++x) {
            const size_t i = index(x, y), p = layout.at(x, y);
            for (int k = 0; k < 3; ++k) d.light[k][p] = std::max(0.f, b.colour[i * 3 + k]) / albedoAt(p, k);
            // Central difference where both neighbours show a surface, else one-sided.
            auto depthAt = [&](int dx, int dy) {
                return inside(x + dx, y + dy) ? d.depth[layout.at(x + dx, y + dy)] : -1.f;
            };
            auto slope = [&](int dx, int dy) {
                const float z = d.depth[p];
                if (z < 0.f) return 0.f;
                const float zBefore = depthAt(-dx, -dy), zAfter = depthAt(dx, dy);
                if (zBefore >= 0.f && zAfter >= 0.f) return 0.5f * std::fabs(zAfter - zBefore);
                if (zAfter >= 0.f) return std::fabs(zAfter - z);
                if (zBefore >= 0.f) return std::fabs(z - zBefore);
                return 0.f;
            };
            d.slopeX[p] = slope(1, 0);
            d.slopeY[p] = slope(0, 1);
        }
    });

    // How unlike pixel q, (dx, dy) pixels from p, is by its guides, as an exponent of e⁻¹;
    // false where they must not mix at all (the sky and a surface). Plane positions.
    auto guideDistance = [&](size_t p, size_t q, int dx, int dy, float& e) {
        const float zp = d.depth[p], zq = d.depth[q];
        if ((zp < 0.f) != (zq < 0.f)) return false;
        float dn = 0.f, da = 0.f;
        for (int k = 0; k < 3; ++k) {
            dn += (d.normal[k][q] - d.normal[k][p]) * (d.normal[k][q] - d.normal[k][p]);
            da += (d.albedo[k][q] - d.albedo[k][p]) * (d.albedo[k][q] - d.albedo[k][p]);
        }
        e = dn * (1.f / kNormalSigma2) + da * (1.f / kAlbedoSigma2);
        if (zp >= 0.f) {
            const float expected =
                kDepthSigma * (std::fabs(d.slopeX[p] * float(dx)) + std::fabs(d.slopeY[p] * float(dy))) +
                kDepthFloor * zp;
            e += std::fabs(zq - zp) / std::max(expected, 1e-6f);
        }
        return true;
    };
    auto lightLuminance = [&](size_t p) {
        const float c[3] = {d.light[0][p], d.light[1][p], d.light[2][p]};
        return luminance(c);
    };

    // Each pixel's noise, from its samples where it has enough, else from the spread of its like
    // neighbours' lighting (which would be alike without noise).
    d.make(d.varNext);
    forRows(y0, y1, [&](int y) {
        for (int x = x0; x < x1; ++x) {
            const size_t i = index(x, y), p = layout.at(x, y);
            if (b.samples[i] >= kTrustedSamples) {
                float a[3];
                for (int k = 0; k < 3; ++k) a[k] = albedoAt(p, k);
                const float al = luminance(a);
                d.varNext[p] = std::max(0.f, b.variance[i]) / (al * al);
                continue;
            }
            double wsum = 0.0, m1 = 0.0, m2 = 0.0;
            for (int dy = -2; dy <= 2; ++dy) {
                for (int dx = -2; dx <= 2; ++dx) {
                    if (!inside(x + dx, y + dy)) continue;
                    const size_t q = layout.at(x + dx, y + dy);
                    float e = 0.f;
                    if (q != p && !guideDistance(p, q, dx, dy, e)) continue;
                    const double w = std::exp(-e), lq = lightLuminance(q);
                    wsum += w;
                    m1 += w * lq;
                    m2 += w * lq * lq;
                }
            }
            const double mean = m1 / wsum;
            d.varNext[p] = float(std::max(0.0, m2 / wsum - mean * mean));
        }
    });
    std::vector<float>().swap(b.variance);
    std::vector<float>().swap(b.samples);
    // A 3×3 blur steadies the estimates.
    d.make(d.var);
    forRows(y0, y1, [&](int y) {
        for (int x = x0; x < x1; ++x) {
            float sum = 0.f, wsum = 0.f;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    if (!inside(x + dx, y + dy)) continue;
                    const float w = (dx == 0 ? 2.f : 1.f) * (dy == 0 ? 2.f : 1.f);
                    sum += w * d.varNext[layout.at(x + dx, y + dy)];
                    wsum += w;
                }
            }
            d.var[layout.at(x, y)] = sum / wsum;
        }
    });

    for (std::vector<float>* plane : {&d.lightNext[0], &d.lightNext[1], &d.lightNext[2]}) d.make(*plane);
    for (int pass = 0; pass < kIterations; ++pass) {
        forRows(y0, y1, [&](int y) { filterRow(d, y, 1 << pass); });
        for (int k = 0; k < 3; ++k) d.light[k].swap(d.lightNext[k]);
        d.var.swap(d.varNext);
    }

    forRows(y0, y1, [&](int y) {
        for (int x = x0; x < x1; ++x) {
            const size_t i = index(x, y), p = layout.at(x, y);
            for (int k = 0; k < 3; ++k)
                b.colour[i * 3 + k] = d.light[k][p] * albedoAt(p, k);
        }
    });
}

}  // namespace yafaray
