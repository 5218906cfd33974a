#pragma once

// Glass dispersion: the refractive index varies with the wavelength by Cauchy's law, fitted to the
// material's IOR at the sodium d line and to its dispersion power (n_F − n_C). A refracted sample
// carries one wavelength, tinted so that the tints of all wavelengths average to white.
#include "raytracer/core/Vector.h"

namespace yafaray {

struct cauchyCoefficients_t {
    float A = 1.f, B = 0.f;  // n(λ) = A + B / λ², λ in nanometres
    float ior(float lambda) const { return A + B / (lambda * lambda); }
};

// The law through n(587.56 nm) = ior with n(486.13 nm) − n(656.27 nm) = dispersionPower.
cauchyCoefficients_t cauchyFromIor(float ior, float dispersionPower);

// The wavelength a sample in [0, 1) stands for: 400 + 300·xi nanometres.
inline float wavelengthFromSample(float xi) { return 400.f + 300.f * xi; }

// The RGB weight of light of wavelength `lambda` (400–700 nm), from the CIE 1931 observer in
// linear sRGB, scaled so that its mean over the range is (1, 1, 1).
color_t wavelengthTint(float lambda);

// A sample in [0, 1) that is a fixed function of the hit point and the direction: every camera
// sample of a pixel hits a slightly different point and so gets its own wavelength, while the
// render stays deterministic.
float dispersionSample(const point3d_t& p, const vector3d_t& wo);

}  // namespace yafaray
