#include <gtest/gtest.h>

#include <tbb/task_arena.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <numeric>
#include <random>
#include <vector>

#include "raytracer/core/MeshShape.h"

namespace {

using yafaray::meshShape_t;
using yafaray::point3d_t;
using yafaray::vector3d_t;

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
    for (size_t tri = 0; tri < shape.triangleSlots(); ++tri) {
        for (int k = 0; k < 3; ++k) out.normals.push_back(shape.cornerNormalCode(tri, k));
    }
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
            const uint32_t code = shape.cornerNormalCode(tri, k);
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

// Meshes one after the other in one shape, as a scene batches them; each with its own vertices.
struct meshRange_t {
    uint32_t triBegin, triEnd, vertexBegin, vertexEnd;
};

meshRange_t addMesh(meshShape_t& shape, const std::vector<point3d_t>& points,
                    const std::vector<std::array<uint32_t, 3>>& triangles) {
    meshRange_t m;
    m.vertexBegin = uint32_t(shape.vertices.size());
    for (const point3d_t& p : points) shape.vertices.push_back(p);
    m.vertexEnd = uint32_t(shape.vertices.size());
    m.triBegin = uint32_t(shape.triangleSlots());
    for (const auto& t : triangles) {
        shape.addTriangle(m.vertexBegin + t[0], m.vertexBegin + t[1], m.vertexBegin + t[2], -1, -1, -1, 0,
                          m.triBegin);
    }
    m.triEnd = uint32_t(shape.triangleSlots());
    return m;
}

constexpr float kTwoPi = 6.2831853f;

// Point i of n evenly spaced round the unit circle about (cx, 0), at height z.
point3d_t onCircle(float cx, uint32_t i, uint32_t n, float z) {
    const float a = kTwoPi * float(i) / float(n);
    return {cx + std::cos(a), std::sin(a), z};
}

meshRange_t addBox(meshShape_t& shape) {
    static constexpr uint32_t kSides[12][3] = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6},
                                               {0, 1, 4}, {1, 5, 4}, {2, 6, 3}, {3, 6, 7},
                                               {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
    std::vector<point3d_t> p;
    for (int i = 0; i < 8; ++i) p.push_back({float(i & 1), float((i >> 1) & 1), float(i >> 2)});
    std::vector<std::array<uint32_t, 3>> t;
    for (const auto& side : kSides) t.push_back({side[0], side[1], side[2]});
    return addMesh(shape, p, t);
}

// Sides of 16 segments (22.5° apart: smoothed together at 30°) and a fan for the top cap (90° off).
meshRange_t addCappedCylinder(meshShape_t& shape) {
    constexpr uint32_t n = 16;
    std::vector<point3d_t> p;
    for (uint32_t i = 0; i < n; ++i) {
        p.push_back(onCircle(2.f, i, n, 0.f));
        p.push_back(onCircle(2.f, i, n, 2.f));
    }
    p.push_back({2.f, 0.f, 2.f});
    std::vector<std::array<uint32_t, 3>> t;
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t j = (i + 1) % n;
        t.push_back({2 * i, 2 * j, 2 * i + 1});
        t.push_back({2 * j, 2 * j + 1, 2 * i + 1});
        t.push_back({2 * i + 1, 2 * j + 1, 2 * n});
    }
    return addMesh(shape, p, t);
}

// A steep cone of 48 sides: every corner at the apex gets a normal of its own, more than a
// vertex's list holds.
meshRange_t addCone(meshShape_t& shape) {
    constexpr uint32_t n = 48;
    std::vector<point3d_t> p;
    for (uint32_t i = 0; i < n; ++i) p.push_back(onCircle(5.f, i, n, 0.f));
    p.push_back({5.f, 0.f, 4.f});
    std::vector<std::array<uint32_t, 3>> t;
    for (uint32_t i = 0; i < n; ++i) t.push_back({i, (i + 1) % n, n});
    return addMesh(shape, p, t);
}

// A coarse sphere: smoothed at 80°, every vertex has one normal for all its corners.
meshRange_t addSphere(meshShape_t& shape) {
    constexpr uint32_t around = 12, rings = 6;
    std::vector<point3d_t> p{{8.f, 0.f, -1.f}};
    for (uint32_t r = 1; r < rings; ++r) {
        const float lat = kTwoPi / 2 * float(r) / rings - kTwoPi / 4;
        for (uint32_t i = 0; i < around; ++i) {
            const float a = kTwoPi * float(i) / around;
            p.push_back({8.f + std::cos(lat) * std::cos(a), std::cos(lat) * std::sin(a), std::sin(lat)});
        }
    }
    p.push_back({8.f, 0.f, 1.f});
    auto at = [&](uint32_t r, uint32_t i) { return 1 + (r - 1) * around + i % around; };
    std::vector<std::array<uint32_t, 3>> t;
    for (uint32_t i = 0; i < around; ++i) {
        t.push_back({0, at(1, i + 1), at(1, i)});
        for (uint32_t r = 1; r + 1 < rings; ++r) {
            t.push_back({at(r, i), at(r, i + 1), at(r + 1, i)});
            t.push_back({at(r, i + 1), at(r + 1, i + 1), at(r + 1, i)});
        }
        t.push_back({at(rings - 1, i), at(rings - 1, i + 1), uint32_t(p.size() - 1)});
    }
    return addMesh(shape, p, t);
}

// Checks every corner of a mesh against the faces around its vertex: a corner that no other face
// joins within the angle keeps the face normal given (exactly); any other has the sum of those
// faces weighted by their corner angles (folded into [0, π/2]), to within the angle at which
// smoothing stores nearly equal normals once (2.6°). Answers the corners checked.
size_t expectCornersSmoothed(const meshShape_t& shape, const meshRange_t& m, float angleDeg,
                             const char* what) {
    auto faceNormal = [&](size_t tri) {
        const point3d_t p[3] = {shape.vertices[shape.corner(tri, 0)], shape.vertices[shape.corner(tri, 1)],
                                shape.vertices[shape.corner(tri, 2)]};
        return cross(p[1] - p[0], p[2] - p[0]).normalized();
    };
    auto cornerWeight = [&](size_t tri, int k) {
        const point3d_t p = shape.vertices[shape.corner(tri, k)];
        const vector3d_t e1 = shape.vertices[shape.corner(tri, (k + 1) % 3)] - p;
        const vector3d_t e2 = shape.vertices[shape.corner(tri, (k + 2) % 3)] - p;
        return std::asin(std::min(1.f, cross(e1, e2).length() / (e1.length() * e2.length())));
    };
    const float cosLimit = std::cos(angleDeg * kTwoPi / 360.f);
    const vector3d_t marker(7.f, 7.f, 7.f);  // stands for the face normal
    size_t checked = 0;
    for (size_t tri = m.triBegin; tri < m.triEnd; ++tri) {
        if (!shape.hasTriangle(tri)) continue;
        const vector3d_t own = faceNormal(tri);
        for (int k = 0; k < 3; ++k) {
            vector3d_t sum;
            int faces = 0;
            for (size_t other = m.triBegin; other < m.triEnd; ++other) {
                for (int j = 0; j < 3 && shape.hasTriangle(other); ++j) {
                    if (shape.corner(other, j) != shape.corner(tri, k) ||
                        dot(faceNormal(other), own) <= cosLimit)
                        continue;
                    sum += faceNormal(other) * cornerWeight(other, j);
                    ++faces;
                }
            }
            const vector3d_t got = shape.cornerNormal(tri, k, marker);
            if (faces == 1) {
                EXPECT_TRUE(got.x == marker.x && got.y == marker.y && got.z == marker.z)
                    << what << " " << tri << "," << k;
            } else {
                EXPECT_GT(dot(got, sum.normalized()), std::cos(2.7f * kTwoPi / 360.f))
                    << what << " " << tri << "," << k;
            }
            ++checked;
        }
    }
    return checked;
}

TEST(MeshSmoothing, EveryCornerKeepsItsOwnNormalWhateverOrderTheMeshesAreSmoothedIn) {
    meshShape_t shape;
    const meshRange_t box = addBox(shape), cylinder = addCappedCylinder(shape), cone = addCone(shape),
                      sphere = addSphere(shape);
    auto smooth = [&](const meshRange_t& m, float angle) {
        shape.smooth(m.triBegin, m.triEnd, m.vertexBegin, m.vertexEnd, angle);
    };
    // Out of order, and the cone smoothed again over what it had (one normal a vertex, then one a
    // corner again), so that lists before and after it move.
    smooth(sphere, 80.f);
    smooth(cone, 30.f);
    smooth(box, 30.f);
    smooth(cylinder, 30.f);
    smooth(cone, 180.f);
    smooth(cone, 30.f);
    EXPECT_FALSE(shape.smoothNormals.elsewhere.empty());  // the apex's normals did not fit its list

    auto checkAll = [&](bool withSphere) {
        size_t checked = expectCornersSmoothed(shape, box, 30.f, "box") +
                         expectCornersSmoothed(shape, cylinder, 30.f, "cylinder") +
                         expectCornersSmoothed(shape, cone, 30.f, "cone");
        if (withSphere) checked += expectCornersSmoothed(shape, sphere, 80.f, "sphere");
        return checked;
    };
    EXPECT_EQ(checkAll(true), 3 * (12 + 48 + 48 + 2 * 12 * 5));
    // The box's corners all keep their faces' normals, exactly: the two triangles of a side make
    // an axis direction, which packs without error.
    for (uint32_t tri = box.triBegin; tri < box.triEnd; ++tri) {
        const point3d_t p[3] = {shape.vertices[shape.corner(tri, 0)], shape.vertices[shape.corner(tri, 1)],
                                shape.vertices[shape.corner(tri, 2)]};
        const vector3d_t face = cross(p[1] - p[0], p[2] - p[0]).normalized();
        for (int k = 0; k < 3; ++k) {
            const vector3d_t n = shape.cornerNormal(tri, k, face);
            EXPECT_TRUE(n.x == face.x && n.y == face.y && n.z == face.z) << tri << "," << k;
        }
    }
    // A smooth mesh costs one normal per vertex.
    size_t sphereNormals = 0;
    for (uint32_t v = sphere.vertexBegin; v < sphere.vertexEnd; ++v) {
        sphereNormals += shape.smoothNormals.listStart(v + 1) - shape.smoothNormals.listStart(v);
    }
    EXPECT_EQ(sphereNormals, size_t(sphere.vertexEnd - sphere.vertexBegin));

    // Dropping the last mesh (as a repeated mesh gives way to its instance) leaves the others'
    // corners as they were, and what a shape of the others alone, smoothed in order, holds.
    shape.truncate(sphere.triBegin, sphere.vertexBegin, 0);
    EXPECT_EQ(checkAll(false), 3 * (12 + 48 + 48));
    meshShape_t alone;
    for (const meshRange_t& m : {addBox(alone), addCappedCylinder(alone), addCone(alone)}) {
        alone.smooth(m.triBegin, m.triEnd, m.vertexBegin, m.vertexEnd, 30.f);
    }
    shape.seal();
    alone.seal();
    EXPECT_TRUE(alone.sameContent(shape));
}

}  // namespace
