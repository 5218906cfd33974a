#pragma once

// Sums of noise octaves: the turbulence that "depth", "size" and "hard" drive, and the
// musgrave fractals. Pure functions of their arguments; any thread.
//
// Each takes the width of the footprint it is seen through, in the units of p (0: a point):
// octaves whose features are finer than that fade to their average and are not evaluated, which
// both saves their cost and keeps sub-pixel detail from aliasing into grain.

#include "raytracer/textures/Noise.h"

namespace yafaray {

// depth + 1 octaves of noise at p·size·2^i with weights 2^−i, normalised so that noise in
// [0, 1] gives turbulence in [0, 1]. "hard" folds each octave to |2n − 1| (sharp creases).
float turbulence(const noiseGenerator_t& noise, const point3d_t& p, int depth, float size, bool hard,
                 float width = 0.f);
// turbulence with its gradient per unit of p.
float turbulenceGradient(const noiseGenerator_t& noise, const point3d_t& p, int depth, float size, bool hard,
                         float width, vector3d_t& gradient);

// Musgrave fractals over the signed noise s = 2n − 1, with octave weights L^(−iH). `octaves`
// may be fractional: the last octave counts with its fractional part (except for ridged).
struct musgraveParams_t {
    float H = 1.f;
    float lacunarity = 2.f;
    float octaves = 2.f;
    float offset = 1.f;
    float gain = 1.f;
};
float fBm(const noiseGenerator_t& noise, const point3d_t& p, const musgraveParams_t& m,
          float width = 0.f);
float multiFractal(const noiseGenerator_t& noise, const point3d_t& p, const musgraveParams_t& m,
                   float width = 0.f);
float heteroTerrain(const noiseGenerator_t& noise, const point3d_t& p, const musgraveParams_t& m,
                    float width = 0.f);
float hybridMultiFractal(const noiseGenerator_t& noise, const point3d_t& p, const musgraveParams_t& m,
                         float width = 0.f);
float ridgedMultiFractal(const noiseGenerator_t& noise, const point3d_t& p, const musgraveParams_t& m,
                         float width = 0.f);

// Noise `base` looked up at p displaced by `distort` times a vector of three decorrelated
// samples of `distortion`; signed, about [-1, 1].
float distortedNoise(const noiseGenerator_t& distortion, const noiseGenerator_t& base, const point3d_t& p,
                     float distort, float width = 0.f);
// distortedNoise with its gradient per unit of p (the chain rule through the displacement).
float distortedNoiseGradient(const noiseGenerator_t& distortion, const noiseGenerator_t& base, const point3d_t& p,
                             float distort, float width, vector3d_t& gradient);

}  // namespace yafaray
