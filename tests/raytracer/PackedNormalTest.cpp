#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "raytracer/core/PackedNormal.h"

namespace {

using yafaray::vector3d_t;

// The angle between two directions, in double precision (cosines of such small angles are 1 in
// floats).
double angleBetween(const vector3d_t& a, const vector3d_t& b) {
    const double ax = a.x, ay = a.y, az = a.z, bx = b.x, by = b.y, bz = b.z;
    const double cx = ay * bz - az * by, cy = az * bx - ax * bz, cz = ax * by - ay * bx;
    return std::atan2(std::sqrt(cx * cx + cy * cy + cz * cz), ax * bx + ay * by + az * bz);
}

// Directions where the encoding has its seams: the poles and axes, the equator (where the lower
// half folds over), just either side of it, the octahedron's edges, and random ones.
std::vector<vector3d_t> testDirections() {
    std::vector<vector3d_t> dirs;
    for (float s : {1.f, -1.f}) {
        dirs.push_back({0.f, 0.f, s});
        dirs.push_back({s, 0.f, 0.f});
        dirs.push_back({0.f, s, 0.f});
        dirs.push_back({-0.f, -0.f, s});
        dirs.push_back({1e-7f * s, -1e-7f, -1.f});  // a hair from the lower pole, in every quadrant
        dirs.push_back({-1e-7f * s, 1e-7f, -1.f});
    }
    for (int i = 0; i < 3600; ++i) {
        const float phi = 2.f * yafaray::kPi * float(i) / 3600.f;
        for (float z : {0.f, 1e-6f, -1e-6f, 1e-3f, -1e-3f}) dirs.push_back({std::cos(phi), std::sin(phi), z});
        dirs.push_back({std::cos(phi), std::sin(phi), std::fabs(std::cos(phi)) + std::fabs(std::sin(phi))});
        dirs.push_back({std::cos(phi), std::sin(phi), -(std::fabs(std::cos(phi)) + std::fabs(std::sin(phi)))});
    }
    std::mt19937 rng(5);
    std::normal_distribution<float> gauss;
    for (int i = 0; i < 200000; ++i) dirs.push_back({gauss(rng), gauss(rng), gauss(rng)});
    return dirs;
}

TEST(PackedNormal, RoundTripErrorIsBelow70MicroradiansEverywhere) {
    double worst = 0;
    for (const vector3d_t& d : testDirections()) {
        if (d.lengthSqr() == 0.f) continue;
        const uint32_t code = yafaray::packNormal(d * 3.f);  // length does not matter
        ASSERT_NE(code, yafaray::kNoPackedNormal) << d.x << "," << d.y << "," << d.z;
        const vector3d_t back = yafaray::unpackNormal(code);
        ASSERT_NEAR(back.length(), 1.f, 1e-6f);
        const double error = angleBetween(back, d);
        ASSERT_LT(error, 7e-5) << d.x << "," << d.y << "," << d.z;
        worst = std::max(worst, error);
    }
    EXPECT_GT(worst, 1e-6);  // the quantisation is real: a bound that cannot be approached tests nothing
}

TEST(PackedNormal, PolesAndAxesAreExact) {
    for (const vector3d_t& d : {vector3d_t(1, 0, 0), vector3d_t(-1, 0, 0), vector3d_t(0, 1, 0), vector3d_t(0, -1, 0),
                                vector3d_t(0, 0, 1), vector3d_t(0, 0, -1)}) {
        const vector3d_t back = yafaray::unpackNormal(yafaray::packNormal(d));
        EXPECT_EQ(back.x, d.x);
        EXPECT_EQ(back.y, d.y);
        EXPECT_EQ(back.z, d.z);
    }
}

}  // namespace
