#include <gtest/gtest.h>

#include <tbb/task_arena.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <random>
#include <vector>

#include "raytracer/core/MeshShape.h"

namespace {

using yafaray::meshShape_t;
using yafaray::point3d_t;

// A ridged, jittered heightfield of kSide × kSide vertices (tens of thousands: smoothing cuts it
// into several windows), with the vertices numbered in row order or shuffled, so that the
// triangles near each other in the list name vertices from everywhere.
constexpr int kSide = 200;

meshShape_t ridgedField(bool shuffled) {
    std::vector<uint32_t> number(kSide * kSide);
    std::iota(number.begin(), number.end(), 0u);
    if (shuffled) std::shuffle(number.begin(), number.end(), std::mt19937(11));
    std::vector<point3d_t> points(number.size());
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> jitter(-0.05f, 0.05f);
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            // Sharp ridges every few cells (creases well past 30°) on a gently rolling field.
            const float ridge = 0.8f * std::fabs(std::sin(float(x) * 0.7f));
            points[number[y * kSide + x]] = {float(x), float(y), ridge + 0.2f * std::sin(float(y) * 0.3f) + jitter(rng)};
        }
    }
    meshShape_t shape;
    for (const point3d_t& p : points) shape.vertices.push_back(p);
    for (int y = 0; y + 1 < kSide; ++y) {
        for (int x = 0; x + 1 < kSide; ++x) {
            const uint32_t a = number[y * kSide + x], b = number[y * kSide + x + 1];
            const uint32_t c = number[(y + 1) * kSide + x], d = number[(y + 1) * kSide + x + 1];
            shape.addTriangle(a, b, d, -1, -1, -1, 0, 0);
            shape.addTriangle(a, d, c, -1, -1, -1, 0, 0);
        }
    }
    return shape;
}

struct smoothed_t {
    std::vector<uint32_t> normals;
    size_t comparisons;
};

smoothed_t smoothOn(int threads, bool shuffled, float angle) {
    meshShape_t shape = ridgedField(shuffled);
    smoothed_t out;
    tbb::task_arena arena(threads);
    arena.execute([&] {
        out.comparisons = shape.smooth(0, uint32_t(shape.triangleSlots()), 0, uint32_t(shape.vertices.size()), angle);
    });
    out.normals.assign(shape.cornerNormals.begin(), shape.cornerNormals.end());
    return out;
}

TEST(MeshSmoothing, NormalsDependNeitherOnTheThreadsNorOnHowVerticesAreNumbered) {
    const smoothed_t reference = smoothOn(1, false, 30.f);
    ASSERT_EQ(reference.normals.size(), 3u * 2 * (kSide - 1) * (kSide - 1));
    // The creases leave some corners flat and give some vertices more than one normal.
    EXPECT_GT(std::count(reference.normals.begin(), reference.normals.end(), yafaray::kNoPackedNormal), 0);
    EXPECT_GT(std::count_if(reference.normals.begin(), reference.normals.end(),
                            [](uint32_t n) { return n != yafaray::kNoPackedNormal; }),
              reference.normals.size() / 2);
    for (const auto& [threads, shuffled] : {std::pair{2, false}, std::pair{1, true}, std::pair{2, true}}) {
        const smoothed_t other = smoothOn(threads, shuffled, 30.f);
        EXPECT_EQ(other.comparisons, reference.comparisons) << threads << " threads, shuffled " << shuffled;
        EXPECT_TRUE(other.normals == reference.normals) << threads << " threads, shuffled " << shuffled;
    }
}

TEST(MeshSmoothing, FullSmoothingGivesEveryCornerOfAVertexItsOneNormal) {
    meshShape_t shape = ridgedField(true);
    tbb::task_arena(2).execute(
        [&] { shape.smooth(0, uint32_t(shape.triangleSlots()), 0, uint32_t(shape.vertices.size()), 180.f); });
    // Every corner (none missed by the windows), one normal per vertex, on the faces' side; only
    // a vertex of one face (two of the field's corners) keeps the face normal.
    std::vector<int> faces(shape.vertices.size(), 0);
    for (size_t tri = 0; tri < shape.triangleSlots(); ++tri) {
        for (int k = 0; k < 3 && shape.hasTriangle(tri); ++k) ++faces[shape.corner(tri, k)];
    }
    std::map<uint32_t, uint32_t> normalOf;
    for (size_t tri = 0; tri < shape.triangleSlots(); ++tri) {
        if (!shape.hasTriangle(tri)) continue;
        const point3d_t p[3] = {shape.vertices[shape.corner(tri, 0)], shape.vertices[shape.corner(tri, 1)],
                                shape.vertices[shape.corner(tri, 2)]};
        const yafaray::vector3d_t face = cross(p[1] - p[0], p[2] - p[0]).normalized();
        for (int k = 0; k < 3; ++k) {
            const uint32_t code = shape.cornerNormals[3 * tri + k];
            if (faces[shape.corner(tri, k)] == 1) {
                EXPECT_EQ(code, yafaray::kNoPackedNormal);
                continue;
            }
            ASSERT_NE(code, yafaray::kNoPackedNormal) << tri << "," << k;
            const auto [it, first] = normalOf.emplace(shape.corner(tri, k), code);
            EXPECT_EQ(it->second, code) << tri << "," << k;
            EXPECT_GT(dot(yafaray::unpackNormal(code), face), 0.f);
        }
    }
    EXPECT_EQ(normalOf.size(), shape.vertices.size() - 2);
}

}  // namespace
