#pragma once

#include <algorithm>
#include <cmath>

namespace yafaray {

// A direction or position in world space (single precision, as the acceleration structure stores it).
struct vector3d_t {
    float x = 0.f, y = 0.f, z = 0.f;

    constexpr vector3d_t() = default;
    constexpr vector3d_t(float ax, float ay, float az) : x(ax), y(ay), z(az) {}

    constexpr vector3d_t operator+(const vector3d_t& o) const { return {x + o.x, y + o.y, z + o.z}; }
    constexpr vector3d_t operator-(const vector3d_t& o) const { return {x - o.x, y - o.y, z - o.z}; }
    constexpr vector3d_t operator-() const { return {-x, -y, -z}; }
    constexpr vector3d_t operator*(float s) const { return {x * s, y * s, z * s}; }
    vector3d_t& operator+=(const vector3d_t& o) {
        x += o.x, y += o.y, z += o.z;
        return *this;
    }
    float length() const { return std::sqrt(x * x + y * y + z * z); }
    float lengthSqr() const { return x * x + y * y + z * z; }
    // Unit vector in the same direction; the zero vector stays zero.
    vector3d_t normalized() const {
        const float l = length();
        return l > 0.f ? *this * (1.f / l) : *this;
    }
};
using point3d_t = vector3d_t;

constexpr vector3d_t operator*(float s, const vector3d_t& v) {
    return v * s;
}
constexpr float dot(const vector3d_t& a, const vector3d_t& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
constexpr vector3d_t cross(const vector3d_t& a, const vector3d_t& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Two unit vectors completing n to a right-handed orthonormal frame.
inline void createCS(const vector3d_t& n, vector3d_t& u, vector3d_t& v) {
    if (std::fabs(n.x) > 0.5f) {
        u = cross(vector3d_t(0.f, 1.f, 0.f), n).normalized();
    } else {
        u = cross(vector3d_t(1.f, 0.f, 0.f), n).normalized();
    }
    v = cross(n, u);
}

// Linear RGB colour.
struct color_t {
    float R = 0.f, G = 0.f, B = 0.f;

    constexpr color_t() = default;
    constexpr explicit color_t(float g) : R(g), G(g), B(g) {}
    constexpr color_t(float r, float g, float b) : R(r), G(g), B(b) {}

    constexpr color_t operator+(const color_t& o) const { return {R + o.R, G + o.G, B + o.B}; }
    constexpr color_t operator-(const color_t& o) const { return {R - o.R, G - o.G, B - o.B}; }
    constexpr color_t operator*(const color_t& o) const { return {R * o.R, G * o.G, B * o.B}; }
    constexpr color_t operator*(float s) const { return {R * s, G * s, B * s}; }
    color_t& operator+=(const color_t& o) {
        R += o.R, G += o.G, B += o.B;
        return *this;
    }
    color_t& operator*=(const color_t& o) {
        R *= o.R, G *= o.G, B *= o.B;
        return *this;
    }
    constexpr bool isBlack() const { return R <= 0.f && G <= 0.f && B <= 0.f; }
    constexpr float energy() const { return (R + G + B) * (1.f / 3.f); }
    // Rec. 709 luminance.
    constexpr float luminance() const { return 0.2126f * R + 0.7152f * G + 0.0722f * B; }
};
constexpr color_t operator*(float s, const color_t& c) {
    return c * s;
}

// Colour with alpha.
struct colorA_t : color_t {
    float A = 1.f;
    constexpr colorA_t() = default;
    constexpr colorA_t(const color_t& c, float a) : color_t(c), A(a) {}
    constexpr colorA_t(float r, float g, float b, float a) : color_t(r, g, b), A(a) {}
};

// A ray with its valid interval [tmin, tmax]; tmax < 0 means unbounded.
struct ray_t {
    point3d_t from;
    vector3d_t dir;
    float tmin = 0.f;
    float tmax = -1.f;
};

// Row-major 4×4 matrix, as paramsSetMatrix stores it.
struct matrix4x4_t {
    double m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
};

constexpr float kPi = 3.14159265358979323846f;

// (eˣ − 1)/x, the mean of eᵗ over [0, x]: the share of a segment's length that an exponential
// density or transmittance amounts to. Near 0, where media are thin, a Taylor polynomial gives it
// to float precision (the first term left out is below 2⁻²⁴ for |x| ≤ 0.1) without expm1's cost.
inline float expm1OverX(float x) {
    if (std::fabs(x) <= 0.1f) return 1.f + x * (0.5f + x * (1.f / 6.f + x * (1.f / 24.f + x * (1.f / 120.f))));
    return std::expm1(x) / x;
}

// A direction about unit n distributed as cos θ, from two uniform numbers in [0, 1).
inline vector3d_t cosineSample(const vector3d_t& n, float s1, float s2) {
    vector3d_t u, v;
    createCS(n, u, v);
    const float r = std::sqrt(s1), phi = 2.f * kPi * s2;
    const float z = std::sqrt(std::max(0.f, 1.f - s1));
    return (u * (r * std::cos(phi)) + v * (r * std::sin(phi)) + n * z).normalized();
}

}  // namespace yafaray
