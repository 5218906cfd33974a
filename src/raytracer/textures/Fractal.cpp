#include "raytracer/textures/Fractal.h"

#include <algorithm>
#include <cmath>

namespace yafaray {
namespace {

// More octaves than this add nothing visible and only cost time (and a hostile "depth" or
// "octaves" must not hang a render).
constexpr int kMaxOctaves = 24;

// The integer and fractional octave counts of a musgrave "octaves" value.
void splitOctaves(float octaves, int& whole, float& fraction) {
    const float o = std::clamp(std::isfinite(octaves) ? octaves : 0.f, 0.f, float(kMaxOctaves));
    whole = static_cast<int>(o);
    fraction = o - whole;
}

}  // namespace

namespace {

// The turbulence sum; with a gradient pointer, its gradient too (each octave's noise gradient
// times the octave's frequency, since octave i looks up p·size·2^i).
float turbulenceSum(const noiseGenerator_t& noise, const point3d_t& p, int depth, float size, bool hard, float width,
                    vector3d_t* gradient) {
    depth = std::clamp(depth, 0, kMaxOctaves);
    point3d_t q = p * size;
    float w = width * std::fabs(size);
    float frequency = size;
    float sum = 0.f, amp = 1.f;
    vector3d_t slope(0.f, 0.f, 0.f);
    for (int i = 0; i <= depth; ++i) {
        if (gradient) {
            vector3d_t g;
            sum += amp * (hard ? filteredFoldedNoiseGradient(noise, q, w, g) : filteredNoiseGradient(noise, q, w, g));
            slope += g * (amp * frequency);
        } else {
            sum += amp * (hard ? filteredFoldedNoise(noise, q, w) : filteredNoise(noise, q, w));
        }
        amp *= 0.5f;
        q = q * 2.f;
        w *= 2.f;
        frequency *= 2.f;
    }
    // Σ 2^−i over depth + 1 octaves is (2^(depth+1) − 1) / 2^depth.
    const float norm = std::ldexp(1.f, depth) / (std::ldexp(1.f, depth + 1) - 1.f);
    if (gradient) *gradient = slope * norm;
    return sum * norm;
}

}  // namespace

float turbulence(const noiseGenerator_t& noise, const point3d_t& p, int depth, float size, bool hard,
                 float width) {
    return turbulenceSum(noise, p, depth, size, hard, width, nullptr);
}

float turbulenceGradient(const noiseGenerator_t& noise, const point3d_t& p, int depth, float size, bool hard,
                         float width, vector3d_t& gradient) {
    return turbulenceSum(noise, p, depth, size, hard, width, &gradient);
}

float fBm(const noiseGenerator_t& noise, const point3d_t& p, const musgraveParams_t& m, float width) {
    int k;
    float r;
    splitOctaves(m.octaves, k, r);
    const float decay = std::pow(m.lacunarity, -m.H);
    float value = 0.f, amp = 1.f;
    point3d_t q = p;
    float w = width;
    for (int i = 0; i < k; ++i) {
        value += amp * filteredSignedNoise(noise, q, w);
        amp *= decay;
        q = q * m.lacunarity;
        w *= m.lacunarity;
    }
    if (r > 0.f) value += r * amp * filteredSignedNoise(noise, q, w);
    return value;
}

float multiFractal(const noiseGenerator_t& noise, const point3d_t& p, const musgraveParams_t& m, float width) {
    int k;
    float r;
    splitOctaves(m.octaves, k, r);
    const float decay = std::pow(m.lacunarity, -m.H);
    float value = 1.f, amp = 1.f;
    point3d_t q = p;
    float w = width;
    for (int i = 0; i < k; ++i) {
        value *= 1.f + amp * filteredSignedNoise(noise, q, w);
        amp *= decay;
        q = q * m.lacunarity;
        w *= m.lacunarity;
    }
    if (r > 0.f) value *= 1.f + r * amp * filteredSignedNoise(noise, q, w);
    return value;
}

float heteroTerrain(const noiseGenerator_t& noise, const point3d_t& p, const musgraveParams_t& m, float width) {
    int k;
    float r;
    splitOctaves(m.octaves, k, r);
    const float decay = std::pow(m.lacunarity, -m.H);
    float value = m.offset + filteredSignedNoise(noise, p, width);
    float amp = decay;
    point3d_t q = p * m.lacunarity;
    float w = width * m.lacunarity;
    for (int i = 1; i < k; ++i) {
        value += (filteredSignedNoise(noise, q, w) + m.offset) * amp * value;
        amp *= decay;
        q = q * m.lacunarity;
        w *= m.lacunarity;
    }
    if (r > 0.f) value += r * (filteredSignedNoise(noise, q, w) + m.offset) * amp * value;
    return value;
}

float hybridMultiFractal(const noiseGenerator_t& noise, const point3d_t& p, const musgraveParams_t& m, float width) {
    int k;
    float r;
    splitOctaves(m.octaves, k, r);
    const float decay = std::pow(m.lacunarity, -m.H);
    float value = filteredSignedNoise(noise, p, width) + m.offset;
    float weight = m.gain * value;
    float amp = decay;
    point3d_t q = p * m.lacunarity;
    float w = width * m.lacunarity;
    int i = 1;
    for (; i < k && weight > 0.001f; ++i) {
        weight = std::min(weight, 1.f);
        const float signal = (filteredSignedNoise(noise, q, w) + m.offset) * amp;
        value += weight * signal;
        weight *= m.gain * signal;
        amp *= decay;
        q = q * m.lacunarity;
        w *= m.lacunarity;
    }
    if (r > 0.f) value += r * (filteredSignedNoise(noise, q, w) + m.offset) * amp;
    return value;
}

float ridgedMultiFractal(const noiseGenerator_t& noise, const point3d_t& p, const musgraveParams_t& m, float width) {
    int k;
    float r;
    splitOctaves(m.octaves, k, r);
    const float decay = std::pow(m.lacunarity, -m.H);
    float signal = m.offset - filteredFoldedNoise(noise, p, width);
    signal *= signal;
    float value = signal;
    float amp = decay;
    point3d_t q = p * m.lacunarity;
    float w = width * m.lacunarity;
    for (int i = 1; i < k; ++i) {
        const float weight = std::clamp(m.gain * signal, 0.f, 1.f);
        signal = m.offset - filteredFoldedNoise(noise, q, w);
        signal = signal * signal * weight;
        value += signal * amp;
        amp *= decay;
        q = q * m.lacunarity;
        w *= m.lacunarity;
    }
    return value;
}

float distortedNoise(const noiseGenerator_t& distortion, const noiseGenerator_t& base, const point3d_t& p,
                     float distort, float width) {
    // Three samples far apart along the diagonal act as independent noises.
    constexpr float kApart = 13.5f;
    const vector3d_t shift(kApart, kApart, kApart);
    const vector3d_t r(filteredSignedNoise(distortion, p + shift, width), filteredSignedNoise(distortion, p, width),
                       filteredSignedNoise(distortion, p - shift, width));
    return filteredSignedNoise(base, p + r * distort, width);
}

float distortedNoiseGradient(const noiseGenerator_t& distortion, const noiseGenerator_t& base, const point3d_t& p,
                             float distort, float width, vector3d_t& gradient) {
    constexpr float kApart = 13.5f;
    const vector3d_t shift(kApart, kApart, kApart);
    vector3d_t gx, gy, gz, gb;
    const vector3d_t r(2.f * filteredNoiseGradient(distortion, p + shift, width, gx) - 1.f,
                       2.f * filteredNoiseGradient(distortion, p, width, gy) - 1.f,
                       2.f * filteredNoiseGradient(distortion, p - shift, width, gz) - 1.f);
    const float value = 2.f * filteredNoiseGradient(base, p + r * distort, width, gb) - 1.f;
    // q = p + distort·r(p): ∇(base∘q) = Jqᵀ·∇base with Jq = I + distort·Jr, Jr's rows 2·∇n.
    gradient = (gb + (gx * gb.x + gy * gb.y + gz * gb.z) * (2.f * distort)) * 2.f;
    return value;
}

}  // namespace yafaray
