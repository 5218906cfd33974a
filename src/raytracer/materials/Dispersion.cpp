#include "raytracer/materials/Dispersion.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace yafaray {

namespace {

constexpr float kLambdaF = 486.13f, kLambdaD = 587.56f, kLambdaC = 656.27f;
constexpr int kFirstNm = 400, kLastNm = 700;

// A lobe of the multi-lobe Gaussian fit of the CIE 1931 colour-matching functions (Wyman, Sloan and
// Shirley 2013): different widths left and right of the peak.
double lobe(double lambda, double mu, double left, double right) {
    const double t = (lambda - mu) / (lambda < mu ? left : right);
    return std::exp(-0.5 * t * t);
}

std::array<double, 3> observerRgb(double lambda) {
    const double x = 1.056 * lobe(lambda, 599.8, 37.9, 31.0) + 0.362 * lobe(lambda, 442.0, 16.0, 26.7) -
                     0.065 * lobe(lambda, 501.1, 20.4, 26.2);
    const double y = 0.821 * lobe(lambda, 568.8, 46.9, 40.5) + 0.286 * lobe(lambda, 530.9, 16.3, 31.1);
    const double z = 1.217 * lobe(lambda, 437.0, 11.8, 36.0) + 0.681 * lobe(lambda, 459.0, 26.0, 13.8);
    // XYZ → linear sRGB; a pure spectral colour lies outside the gamut, so negatives are cut.
    return {std::max(0.0, 3.2404542 * x - 1.5371385 * y - 0.4985314 * z),
            std::max(0.0, -0.9692660 * x + 1.8760108 * y + 0.0415560 * z),
            std::max(0.0, 0.0556434 * x - 0.2040259 * y + 1.0572252 * z)};
}

// Tints at every whole nanometre, normalised to a white mean.
struct tintTable_t {
    std::array<color_t, kLastNm - kFirstNm + 1> tint;
    tintTable_t() {
        std::array<double, 3> sum{0, 0, 0};
        std::array<std::array<double, 3>, kLastNm - kFirstNm + 1> rgb;
        for (int nm = kFirstNm; nm <= kLastNm; ++nm) {
            rgb[nm - kFirstNm] = observerRgb(nm);
            for (int k = 0; k < 3; ++k) sum[k] += rgb[nm - kFirstNm][k];
        }
        const double n = double(rgb.size());
        for (size_t i = 0; i < rgb.size(); ++i)
            tint[i] = color_t(float(rgb[i][0] * n / sum[0]), float(rgb[i][1] * n / sum[1]),
                              float(rgb[i][2] * n / sum[2]));
    }
};

uint32_t bitsOf(float f) {
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

uint32_t mix(uint32_t h, uint32_t v) {
    h ^= v + 0x9e3779b9u + (h << 6) + (h >> 2);
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return h;
}

}  // namespace

cauchyCoefficients_t cauchyFromIor(float ior, float dispersionPower) {
    cauchyCoefficients_t c;
    if (!(dispersionPower > 0.f)) {
        c.A = ior;
        return c;
    }
    // With the Abbe number V = (ior − 1) / power, B = (ior − 1)·λF²·λC² / ((λC² − λF²)·V), which
    // reduces to power·λF²·λC² / (λC² − λF²).
    const double f2 = double(kLambdaF) * kLambdaF, c2 = double(kLambdaC) * kLambdaC;
    c.B = float(dispersionPower * f2 * c2 / (c2 - f2));
    c.A = float(ior - c.B / (double(kLambdaD) * kLambdaD));
    return c;
}

color_t wavelengthTint(float lambda) {
    static const tintTable_t table;
    const float at = std::clamp(lambda, float(kFirstNm), float(kLastNm)) - kFirstNm;
    const int i = std::min(int(at), kLastNm - kFirstNm - 1);
    const float t = at - float(i);
    return table.tint[i] * (1.f - t) + table.tint[i + 1] * t;
}

float dispersionSample(const point3d_t& p, const vector3d_t& wo) {
    uint32_t h = 0;
    for (float v : {p.x, p.y, p.z, wo.x, wo.y, wo.z}) h = mix(h, bitsOf(v));
    return float(h >> 8) * (1.f / 16777216.f);
}

}  // namespace yafaray
