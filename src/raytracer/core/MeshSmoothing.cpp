// Angle-limited smooth normals of a mesh shape (meshShape_t::smooth).
#include <algorithm>
#include <atomic>
#include <cmath>
#include <vector>

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include "raytracer/core/MeshShape.h"
#include "raytracer/core/PodArray.h"

namespace yafaray {
namespace {

// Smooth normals closer than this (cosine) are stored once.
constexpr float kSharedNormalCos = 0.999f;
// Up to this many faces around a vertex, every face is compared with every other. Around busier
// vertices (fans, hostile meshes) faces are first grouped by the direction of their normal, and
// groups are compared instead, so the cost per vertex stays proportional to its faces.
constexpr uint32_t kExactValence = 64;
// Direction groups: a cube map of this many cells across each face.
constexpr int kDirectionCells = 8;
constexpr int kDirectionGroups = 6 * kDirectionCells * kDirectionCells;
// The faces around each vertex are listed for a window of vertices at a time, so that the list
// (four bytes a corner) stays within this many corners however large the mesh. Windows are
// smoothed side by side, each with lists of its own.
constexpr size_t kWindowCorners = size_t(2) << 20;
// A mesh is cut into at least kParallelWindows windows where each keeps this many vertices, so
// that middling meshes are shared between threads too.
constexpr uint32_t kMinWindowVertices = 4096;
constexpr size_t kParallelWindows = 16;
// A window looks only at the blocks of this many triangles whose vertex numbers can reach it: the
// meshes layers make use nearby vertices in nearby triangles, so each triangle is read about once
// however many windows there are.
constexpr uint32_t kBlockTriangles = 1024;

// The cube-map cell a unit normal points into.
int directionCell(const vector3d_t& n) {
    const float ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
    int face;
    float u, v, major;
    if (ax >= ay && ax >= az) {
        face = n.x >= 0.f ? 0 : 1, major = ax, u = n.y, v = n.z;
    } else if (ay >= az) {
        face = n.y >= 0.f ? 2 : 3, major = ay, u = n.x, v = n.z;
    } else {
        face = n.z >= 0.f ? 4 : 5, major = az, u = n.x, v = n.y;
    }
    auto cell = [major](float c) {
        const int i = static_cast<int>((c / major + 1.f) * 0.5f * kDirectionCells);
        return std::clamp(i, 0, kDirectionCells - 1);
    };
    return (face * kDirectionCells + cell(u)) * kDirectionCells + cell(v);
}

// A face around the vertex being smoothed: its unit normal and the weight of its corner there.
struct cornerFace_t {
    uint32_t corner;  // 3·triangle + corner, shape-wide
    vector3d_t normal;
    float weight;
};

// What every window of one smoothing call shares.
struct smoothing_t {
    uint32_t triBegin, triEnd;
    bool full;  // 180° or more: every face around a vertex counts
    float cosLimit;
    std::vector<std::pair<uint32_t, uint32_t>> blockVertices;  // lowest and highest vertex per block
};

// Smooths the vertices [w0, w1): writes the normals of their corners and nothing else, so windows
// can run at the same time, and a vertex's result depends on its own faces only (in triangle
// order), whatever the windows. Answers the comparisons made.
size_t smoothWindow(meshShape_t& shape, const smoothing_t& job, uint32_t w0, uint32_t w1) {
    size_t comparisons = 0;
    const point3d_t* P = shape.vertices.data();
    uint32_t* cornerNormals = shape.cornerNormals.data();

    // A smoothed normal from the sum of the faces it takes in, stored once per vertex for nearly
    // equal normals. Answers the packed normal for the corner; kNoPackedNormal (the corner keeps
    // the flat face normal) when only its own face counted.
    std::vector<std::pair<vector3d_t, uint32_t>> stored;
    auto storeNormal = [&](const vector3d_t& sum, int used) -> uint32_t {
        if (used <= 1 || sum.lengthSqr() <= 0.f) return kNoPackedNormal;
        const vector3d_t n = sum.normalized();
        for (const auto& [normal, code] : stored) {
            ++comparisons;
            if (dot(normal, n) > kSharedNormalCos) return code;
        }
        stored.emplace_back(n, packNormal(n));
        return stored.back().second;
    };

    // Direction groups of a busy vertex: weighted normal sum, unweighted direction, face count.
    struct group_t {
        vector3d_t weighted, direction;
        int faces = 0;
        vector3d_t smoothed;
        int used = 0;
    };
    std::vector<int> groupOfCell(kDirectionGroups, -1);
    std::vector<group_t> groups;
    std::vector<int> cornerGroup;
    std::vector<uint32_t> groupNormal;
    std::vector<cornerFace_t> faces;

    // The corners of each vertex of the window, in compressed rows, from the blocks that reach it.
    std::vector<uint32_t> blocks;
    for (uint32_t b = 0; b < job.blockVertices.size(); ++b) {
        if (job.blockVertices[b].first < w1 && job.blockVertices[b].second >= w0) blocks.push_back(b);
    }
    auto forCorners = [&](auto&& visit) {
        for (uint32_t b : blocks) {
            const size_t t0 = job.triBegin + size_t(b) * kBlockTriangles;
            const size_t t1 = std::min<size_t>(job.triEnd, t0 + kBlockTriangles);
            for (size_t t = t0; t < t1; ++t) {
                if (!shape.hasTriangle(t)) continue;
                for (int k = 0; k < 3; ++k) {
                    const uint32_t v = shape.corner(t, k);
                    if (v >= w0 && v < w1) visit(v - w0, uint32_t(3 * t + k));
                }
            }
        }
    };
    // PodArrays, so that a window's lists go back to the system when it ends: freed vectors of a few
    // megabytes would stay resident in the worker threads' heaps, beside the Embree build that follows.
    const uint32_t windowVertices = w1 - w0;
    PodArray<uint32_t> start;
    start.resize(size_t(windowVertices) + 1, 0);
    forCorners([&](uint32_t local, uint32_t) { ++start[local + 1]; });
    for (uint32_t v = 0; v < windowVertices; ++v) start[v + 1] += start[v];
    PodArray<uint32_t> list;
    list.resize(start[windowVertices]);
    // Filling moves each row's start to its end, the next row's start; one shift puts them back.
    forCorners([&](uint32_t local, uint32_t corner) { list[start[local]++] = corner; });
    for (uint32_t v = windowVertices; v > 0; --v) start[v] = start[v - 1];
    start[0] = 0;

    for (uint32_t v = w0; v < w1; ++v) {
        const uint32_t begin = start[v - w0], end = start[v - w0 + 1];
        if (begin == end) continue;
        stored.clear();
        faces.clear();
        for (uint32_t i = begin; i < end; ++i) {
            const uint32_t corner = list[i];
            const size_t tri = corner / 3;
            const int k = int(corner % 3);
            const point3d_t pts[3] = {P[shape.corner(tri, 0)], P[shape.corner(tri, 1)], P[shape.corner(tri, 2)]};
            const point3d_t& a = pts[0];
            const point3d_t& b = pts[1];
            const point3d_t& c = pts[2];
            // Corner weight: the corner angle folded into [0, π/2], so long thin faces count less.
            const point3d_t& p = pts[k];
            const vector3d_t e1 = pts[(k + 1) % 3] - p;
            const vector3d_t e2 = pts[(k + 2) % 3] - p;
            const float denom = e1.length() * e2.length();
            const float s = denom > 0.f ? std::min(1.f, cross(e1, e2).length() / denom) : 0.f;
            faces.push_back({corner, cross(b - a, c - a).normalized(), std::asin(s)});
        }
        if (faces.size() <= kExactValence) {
            for (const cornerFace_t& f : faces) {
                vector3d_t sum;
                int used = 0;
                for (const cornerFace_t& g : faces) {
                    ++comparisons;
                    if (job.full || dot(g.normal, f.normal) > job.cosLimit) {
                        sum += g.normal * g.weight;
                        ++used;
                    }
                }
                cornerNormals[f.corner] = storeNormal(sum, used);
            }
            continue;
        }
        // Faces whose normals point into the same cube-map cell are smoothed as one group: the
        // angle test compares group directions, at most kDirectionGroups of them.
        groups.clear();
        cornerGroup.assign(faces.size(), -1);
        for (size_t i = 0; i < faces.size(); ++i) {
            const int cell = directionCell(faces[i].normal);
            if (groupOfCell[cell] < 0) {
                groupOfCell[cell] = static_cast<int>(groups.size());
                groups.emplace_back();
            }
            group_t& g = groups[groupOfCell[cell]];
            g.weighted += faces[i].normal * faces[i].weight;
            g.direction += faces[i].normal;
            ++g.faces;
            cornerGroup[i] = groupOfCell[cell];
        }
        for (group_t& g : groups) g.direction = g.direction.normalized();
        for (group_t& g : groups) {
            for (const group_t& h : groups) {
                ++comparisons;
                if (job.full || dot(h.direction, g.direction) > job.cosLimit) {
                    g.smoothed += h.weighted;
                    g.used += h.faces;
                }
            }
        }
        groupNormal.clear();
        for (const group_t& g : groups) groupNormal.push_back(storeNormal(g.smoothed, g.used));
        for (size_t i = 0; i < faces.size(); ++i) cornerNormals[faces[i].corner] = groupNormal[cornerGroup[i]];
        for (const cornerFace_t& f : faces) groupOfCell[directionCell(f.normal)] = -1;
    }
    return comparisons;
}

}  // namespace

size_t meshShape_t::smooth(uint32_t triBegin, uint32_t triEnd, uint32_t vertexBegin, uint32_t vertexEnd,
                           float angleDeg) {
    if (angleDeg <= kMinSmoothAngle || triEnd <= triBegin || vertexEnd <= vertexBegin) return 0;
    // Smoothing the same triangles again replaces what an earlier call stored for them.
    if (cornerNormals.empty()) {
        cornerNormals.resize(3 * triangleSlots(), kNoPackedNormal);
    } else {
        std::fill(cornerNormals.begin() + 3 * size_t(triBegin), cornerNormals.begin() + 3 * size_t(triEnd),
                  kNoPackedNormal);
    }

    smoothing_t job;
    job.triBegin = triBegin;
    job.triEnd = triEnd;
    job.full = angleDeg >= 180.f;
    job.cosLimit = std::cos(angleDeg * kPi / 180.f);
    // Meshes start on a quad and blocks hold whole quads, so a block's vertices are its quads'.
    const size_t blockCount = (size_t(triEnd - triBegin) + kBlockTriangles - 1) / kBlockTriangles;
    job.blockVertices.resize(blockCount);
    for (size_t b = 0; b < blockCount; ++b) {
        const size_t q0 = (triBegin + b * kBlockTriangles) / 2;
        const size_t q1 = (std::min<size_t>(triEnd, triBegin + (b + 1) * kBlockTriangles) + 1) / 2;
        uint32_t lo = UINT32_MAX, hi = 0;
        for (size_t i = 4 * q0; i < 4 * q1; ++i) lo = std::min(lo, quads[i]), hi = std::max(hi, quads[i]);
        job.blockVertices[b] = {lo, hi};
    }

    // Windows of equal vertex counts; how many depends on the mesh only, not on the threads.
    const size_t corners = 3 * size_t(triEnd - triBegin);
    const uint32_t vertexCountInRange = vertexEnd - vertexBegin;
    const size_t parallel = std::min<size_t>(kParallelWindows, vertexCountInRange / kMinWindowVertices);
    const size_t windows = std::max({size_t(1), (corners + kWindowCorners - 1) / kWindowCorners, parallel});
    const uint32_t windowSize = uint32_t((vertexCountInRange + windows - 1) / windows);
    std::atomic<size_t> comparisons{0};
    tbb::parallel_for(tbb::blocked_range<size_t>(0, windows, 1), [&](const tbb::blocked_range<size_t>& r) {
        for (size_t w = r.begin(); w != r.end(); ++w) {
            const uint32_t w0 = vertexBegin + uint32_t(std::min<size_t>(w * windowSize, vertexCountInRange));
            const uint32_t w1 = vertexBegin + uint32_t(std::min<size_t>((w + 1) * windowSize, vertexCountInRange));
            if (w0 < w1) comparisons += smoothWindow(*this, job, w0, w1);
        }
    });
    return comparisons;
}

}  // namespace yafaray
