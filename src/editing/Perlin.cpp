#include "editing/Perlin.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "foundation/Random.h"

namespace korvane {

namespace {

// Offset added to every coordinate so that ordinary negative coordinates index the tables like positive
// ones.
constexpr float N = 4096.0f;

float sCurve(float t) {
    return t * t * (3.0f - 2.0f * t);
}

float lerp(float t, float a, float b) {
    return a + t * (b - a);
}

// A random gradient component in [−1, 1).
float randomComponent() {
    return static_cast<float>(randomInt() % 2048 - 1024) / 1024.0f;
}

// The lattice cells b0, b1 and the offsets r0, r1 of one coordinate; false for a coordinate that is not
// finite (its noise is 0).
bool setup(float c, int& b0, int& b1, float& r0, float& r1) {
    const float t = c + N;
    if (!std::isfinite(t)) return false;
    const float whole = std::trunc(t);
    // Masking the integer part with 1023 is its remainder modulo 1024, which fmod gives without the
    // integer overflow a very large coordinate would cause.
    const auto wrapped = static_cast<long long>(std::fmod(whole, 1024.0f));
    b0 = static_cast<int>(wrapped & 1023);
    b1 = (b0 + 1) & 1023;
    r0 = t - whole;
    r1 = r0 - 1.0f;
    return true;
}

}  // namespace

Perlin::Perlin(int octaves, float frequency, float amplitude, int seed)
    : octaves_(octaves), frequency_(frequency), amplitude_(amplitude), seed_(seed) {}

void Perlin::init() {
    start_ = false;
    seedRandom(static_cast<unsigned>(seed_));
    for (int i = 0; i < B; ++i) {
        p_[i] = i;
        g1_[i] = randomComponent();
        for (float& component : g2_[i]) component = randomComponent();
        normalize2(g2_[i]);
        for (float& component : g3_[i]) component = randomComponent();
        normalize3(g3_[i]);
    }
    for (int i = B - 1; i > 0; --i) std::swap(p_[i], p_[randomInt() % B]);
    // The second half repeats the first so that p[i + b] needs no masking.
    for (int i = 0; i < B + 2; ++i) {
        p_[B + i] = p_[i];
        g1_[B + i] = g1_[i];
        g2_[B + i][0] = g2_[i][0];
        g2_[B + i][1] = g2_[i][1];
        g3_[B + i][0] = g3_[i][0];
        g3_[B + i][1] = g3_[i][1];
        g3_[B + i][2] = g3_[i][2];
    }
}

void Perlin::normalize2(float v[2]) {
    const float s = std::sqrt(v[0] * v[0] + v[1] * v[1]);
    if (s == 0) return;  // a zero gradient stays zero instead of turning into NaN
    v[0] /= s;
    v[1] /= s;
}

void Perlin::normalize3(float v[3]) {
    const float s = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (s == 0) return;
    v[0] /= s;
    v[1] /= s;
    v[2] /= s;
}

float Perlin::noise1(float x) {
    ensureTables();
    int bx0, bx1;
    float rx0, rx1;
    if (!setup(x, bx0, bx1, rx0, rx1)) return 0.0f;
    const float sx = sCurve(rx0);
    const float u = rx0 * g1_[p_[bx0]];
    const float v = rx1 * g1_[p_[bx1]];
    return lerp(sx, u, v);
}

float Perlin::noise2(const float vec[2]) {
    ensureTables();
    int bx0, bx1, by0, by1;
    float rx0, rx1, ry0, ry1;
    if (!setup(vec[0], bx0, bx1, rx0, rx1) || !setup(vec[1], by0, by1, ry0, ry1)) return 0.0f;
    const int i = p_[bx0];
    const int j = p_[bx1];
    const int b00 = p_[i + by0];
    const int b10 = p_[j + by0];
    const int b01 = p_[i + by1];
    const int b11 = p_[j + by1];
    const float sx = sCurve(rx0);
    const float sy = sCurve(ry0);
    const auto at = [](const float* q, float rx, float ry) { return rx * q[0] + ry * q[1]; };
    float u = at(g2_[b00], rx0, ry0);
    float v = at(g2_[b10], rx1, ry0);
    const float a = lerp(sx, u, v);
    u = at(g2_[b01], rx0, ry1);
    v = at(g2_[b11], rx1, ry1);
    const float b = lerp(sx, u, v);
    return lerp(sy, a, b);
}

float Perlin::noise3(const float vec[3]) {
    ensureTables();
    int bx0, bx1, by0, by1, bz0, bz1;
    float rx0, rx1, ry0, ry1, rz0, rz1;
    if (!setup(vec[0], bx0, bx1, rx0, rx1) || !setup(vec[1], by0, by1, ry0, ry1) ||
        !setup(vec[2], bz0, bz1, rz0, rz1)) {
        return 0.0f;
    }
    const int i = p_[bx0];
    const int j = p_[bx1];
    const int b00 = p_[i + by0];
    const int b10 = p_[j + by0];
    const int b01 = p_[i + by1];
    const int b11 = p_[j + by1];
    const float t = sCurve(rx0);
    const float sy = sCurve(ry0);
    const float sz = sCurve(rz0);
    const auto at = [](const float* q, float rx, float ry, float rz) {
        return rx * q[0] + ry * q[1] + rz * q[2];
    };

    float u = at(g3_[b00 + bz0], rx0, ry0, rz0);
    float v = at(g3_[b10 + bz0], rx1, ry0, rz0);
    float a = lerp(t, u, v);
    u = at(g3_[b01 + bz0], rx0, ry1, rz0);
    v = at(g3_[b11 + bz0], rx1, ry1, rz0);
    float b = lerp(t, u, v);
    const float c = lerp(sy, a, b);

    u = at(g3_[b00 + bz1], rx0, ry0, rz1);
    v = at(g3_[b10 + bz1], rx1, ry0, rz1);
    a = lerp(t, u, v);
    u = at(g3_[b01 + bz1], rx0, ry1, rz1);
    v = at(g3_[b11 + bz1], rx1, ry1, rz1);
    b = lerp(t, u, v);
    const float d = lerp(sy, a, b);
    return lerp(sz, c, d);
}

float Perlin::perlin_noise_2D(float vec[2]) {
    const int octaves = std::min(octaves_, kMaxOctaves);
    vec[0] *= frequency_;
    vec[1] *= frequency_;
    float sum = 0.0f;
    float amp = amplitude_;
    for (int i = 0; i < octaves; ++i) {
        sum += noise2(vec) * amp;
        vec[0] *= 2.0f;
        vec[1] *= 2.0f;
        amp *= 0.5f;
    }
    return sum;
}

}  // namespace korvane
