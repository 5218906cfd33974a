#pragma once

#include <cmath>
#include <cstdint>

#include "raytracer/core/Vector.h"

namespace yafaray {

// Unit normals in 32 bits: the direction is projected onto the octahedron |x| + |y| + |z| = 1,
// whose lower half is folded over the upper one into the square [-1, 1]², and the square's two
// coordinates are kept in 16 bits each, rounded to the nearest step of 1/32767: a direction comes
// back within 7e-5 radians (0.004°), invisible in a render, at a third of the memory of three
// floats, and packing costs a few multiplications (smoothing packs millions).
//
// The code 0 (the square's corner (-1, -1), a name of the lower pole) is never produced, so that
// a zeroed array reads as "no normal stored" (kNoPackedNormal); the lower pole is written as the
// opposite corner (1, 1), which decodes to the same direction.
constexpr uint32_t kNoPackedNormal = 0;

namespace packedNormalDetail {
// Coordinates of the square run over 0 … 2·kHalfSteps, so that -1, 0 and 1 (the poles and the
// equator's axes) are exact.
constexpr float kHalfSteps = 32767.f;

inline float signNotZero(float a) {
    return a >= 0.f ? 1.f : -1.f;
}

// The nearest grid line to coordinate c of the square.
inline uint32_t nearestGrid(float c) {
    const float q = (c + 1.f) * kHalfSteps + 0.5f;
    const uint32_t nearest = q > 0.f ? uint32_t(q) : 0;  // truncation is the floor here
    return nearest < uint32_t(2 * kHalfSteps) ? nearest : uint32_t(2 * kHalfSteps);
}
}  // namespace packedNormalDetail

// The unit direction of a code other than kNoPackedNormal.
inline vector3d_t unpackNormal(uint32_t code) {
    using namespace packedNormalDetail;
    // Divided rather than multiplied by the step, so that the grid's -1, 0 and 1 come back exact.
    const float u = float(code & 0xFFFFu) / kHalfSteps - 1.f;
    const float v = float(code >> 16) / kHalfSteps - 1.f;
    const float z = 1.f - std::fabs(u) - std::fabs(v);
    // Below the equator the square's corners fold back: each coordinate moves toward zero by -z.
    const float t = z < 0.f ? -z : 0.f;
    const vector3d_t n(u >= 0.f ? u - t : u + t, v >= 0.f ? v - t : v + t, z);
    return n * (1.f / n.length());
}

// Packs a non-zero direction (of any length).
inline uint32_t packNormal(const vector3d_t& n) {
    using namespace packedNormalDetail;
    const float l1 = std::fabs(n.x) + std::fabs(n.y) + std::fabs(n.z);
    float u = n.x * (1.f / l1), v = n.y * (1.f / l1);
    if (n.z < 0.f) {
        const float fu = (1.f - std::fabs(v)) * signNotZero(u);
        const float fv = (1.f - std::fabs(u)) * signNotZero(v);
        u = fu, v = fv;
    }
    const uint32_t code = nearestGrid(u) | nearestGrid(v) << 16;
    // The lower pole's other name.
    return code == kNoPackedNormal ? uint32_t(2 * kHalfSteps) | uint32_t(2 * kHalfSteps) << 16 : code;
}

}  // namespace yafaray
