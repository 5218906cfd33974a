// Angle-limited smooth normals of a mesh shape (meshShape_t::smooth).
#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include <tbb/blocked_range.h>
#include <tbb/enumerable_thread_specific.h>
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
// (twenty bytes a corner) stays within this many corners however large the mesh. Windows are
// smoothed side by side, each with lists of its own.
constexpr size_t kWindowCorners = size_t(1) << 19;
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

constexpr uint32_t kGroupVertices = 1u << smoothNormals_t::kGroupShift;

// What every window of one smoothing call shares.
struct smoothing_t {
    uint32_t triBegin, triEnd;
    bool full;  // 180° or more: every face around a vertex counts
    float cosLimit;
    std::vector<std::pair<uint32_t, uint32_t>> blockVertices;  // lowest and highest vertex per block
};

// What a thread keeps from one window to the next: the faces around each vertex of its window in
// compressed rows (fresh pages cost more to touch than the rows to fill), and the lists of normals
// of all its windows one after the other. PodArrays, so that they go back to the system when
// smoothing ends: freed blocks of a few megabytes would stay resident in the worker threads' heaps,
// beside the Embree build that follows.
struct threadWork_t {
    PodArray<uint32_t> start;
    PodArray<cornerFace_t> list;
    PodArray<uint32_t> lists;
};

// What a window made: its vertices' lists of normals, in vertex order (`count` normals from `from`
// in the lists of the thread that smoothed it), and the normals of the corners whose vertex has
// more than fit in a list.
struct windowNormals_t {
    const PodArray<uint32_t>* lists = nullptr;
    size_t from = 0, count = 0;
    std::vector<smoothNormals_t::elsewhere_t> elsewhere;
    size_t comparisons = 0;
};

// Gives a corner its number; the corners of one byte may belong to vertices of other windows, so
// the number is added to the cleared byte atomically.
void setCornerNumber(smoothNormals_t& normals, uint32_t corner, unsigned number) {
    if (number == 0) return;
    std::atomic_ref<uint8_t> byte(normals.cornerNumbers[corner >> 1]);
    byte.fetch_or(uint8_t(number << (4 * (corner & 1))), std::memory_order_relaxed);
}

// Smooths the vertices [w0, w1), which hold whole groups of vertices where other windows run
// beside it: writes their lengths, their corners' numbers and nothing else shared, so windows can
// run at the same time, and a vertex's result depends on its own faces only (in triangle order),
// whatever the windows.
void smoothWindow(meshShape_t& shape, const smoothing_t& job, uint32_t w0, uint32_t w1, threadWork_t& work,
                  windowNormals_t& out) {
    size_t& comparisons = out.comparisons;
    const point3d_t* P = shape.vertices.data();
    smoothNormals_t& normals = shape.smoothNormals;

    // A smoothed normal from the sum of the faces it takes in, stored once per vertex for nearly
    // equal normals. Answers the corner's number: its normal's place in the vertex's list from 1,
    // or 0 (the corner keeps the flat face normal) when only its own face counted.
    std::vector<std::pair<vector3d_t, uint32_t>> stored;
    auto storeNormal = [&](const vector3d_t& sum, int used) -> unsigned {
        if (used <= 1 || sum.lengthSqr() <= 0.f) return 0;
        const vector3d_t n = sum.normalized();
        for (size_t i = 0; i < stored.size(); ++i) {
            ++comparisons;
            if (dot(stored[i].first, n) > kSharedNormalCos) return unsigned(i + 1);
        }
        stored.emplace_back(n, packNormal(n));
        return unsigned(stored.size());
    };
    // The corner's number once its vertex's list is known: past the list's room, the corner keeps
    // its normal among those elsewhere.
    auto numberCorner = [&](uint32_t corner, unsigned number) {
        if (number > smoothNormals_t::kListed) {
            out.elsewhere.push_back({corner, stored[number - 1].second});
            number = smoothNormals_t::kElsewhere;
        }
        setCornerNumber(normals, corner, number);
    };
    auto endVertex = [&](uint32_t v) {
        const unsigned listed = unsigned(std::min<size_t>(stored.size(), smoothNormals_t::kListed));
        for (unsigned i = 0; i < listed; ++i) work.lists.push_back(stored[i].second);
        uint64_t& lengths = normals.listLengths[v >> smoothNormals_t::kGroupShift];
        const unsigned shift = 4 * (v & (kGroupVertices - 1));
        lengths = (lengths & ~(uint64_t(15) << shift)) | uint64_t(listed) << shift;
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
    std::vector<uint32_t> groupNumber;
    uint64_t within[kExactValence];   // per face of a vertex: the faces within the angle of it
    unsigned numbers[kExactValence];  // and its corner's number

    // The faces around each vertex of the window, in compressed rows, from the blocks that reach
    // it; a face's normal is worked out once for all its corners in the window.
    std::vector<uint32_t> blocks;
    for (uint32_t b = 0; b < job.blockVertices.size(); ++b) {
        if (job.blockVertices[b].first < w1 && job.blockVertices[b].second >= w0) blocks.push_back(b);
    }
    const uint32_t windowVertices = w1 - w0;
    // Visits the triangles with a corner in the window, with their vertices' places in it (window
    // size or more for a vertex outside).
    auto forTriangles = [&](auto&& visit) {
        for (uint32_t b : blocks) {
            const size_t t0 = job.triBegin + size_t(b) * kBlockTriangles;
            const size_t t1 = std::min<size_t>(job.triEnd, t0 + kBlockTriangles);
            for (size_t t = t0; t < t1; ++t) {
                if (!shape.hasTriangle(t)) continue;
                uint32_t v[3];
                shape.corners(t, v);
                const uint32_t local[3] = {v[0] - w0, v[1] - w0, v[2] - w0};
                if (local[0] < windowVertices || local[1] < windowVertices || local[2] < windowVertices) {
                    visit(t, v, local);
                }
            }
        }
    };
    out.lists = &work.lists;
    out.from = work.lists.size();
    PodArray<uint32_t>& start = work.start;
    start.resize(0);
    start.resize(size_t(windowVertices) + 1, 0);
    forTriangles([&](size_t, const uint32_t*, const uint32_t* local) {
        for (int k = 0; k < 3; ++k) {
            if (local[k] < windowVertices) ++start[local[k] + 1];
        }
    });
    for (uint32_t v = 0; v < windowVertices; ++v) start[v + 1] += start[v];
    PodArray<cornerFace_t>& list = work.list;
    list.resize(start[windowVertices]);
    // Filling moves each row's start to its end, the next row's start; one shift puts them back.
    forTriangles([&](size_t t, const uint32_t* v, const uint32_t* local) {
        const point3d_t pts[3] = {P[v[0]], P[v[1]], P[v[2]]};
        const vector3d_t normal = cross(pts[1] - pts[0], pts[2] - pts[0]).normalized();
        for (int k = 0; k < 3; ++k) {
            if (local[k] >= windowVertices) continue;
            // Corner weight: the corner angle folded into [0, π/2], so long thin faces count less.
            const point3d_t& p = pts[k];
            const vector3d_t e1 = pts[(k + 1) % 3] - p;
            const vector3d_t e2 = pts[(k + 2) % 3] - p;
            const float denom = e1.length() * e2.length();
            const float s = denom > 0.f ? std::min(1.f, cross(e1, e2).length() / denom) : 0.f;
            list[start[local[k]]++] = {uint32_t(3 * t + size_t(k)), normal, std::asin(s)};
        }
    });
    for (uint32_t v = windowVertices; v > 0; --v) start[v] = start[v - 1];
    start[0] = 0;

    for (uint32_t v = w0; v < w1; ++v) {
        const uint32_t begin = start[v - w0], end = start[v - w0 + 1];
        stored.clear();
        const cornerFace_t* faces = list.data() + begin;
        const size_t faceCount = end - begin;
        if (faceCount <= kExactValence) {
            // Which faces lie within the angle of each: the test is symmetric, so one dot product
            // decides a pair both ways (counted as the two comparisons it stands for); then each
            // sum is taken in face order.
            const size_t n = faceCount;
            comparisons += n * n;
            for (size_t i = 0; i < n; ++i) within[i] = 0;
            for (size_t i = 0; i < n; ++i) {
                for (size_t j = i; j < n; ++j) {
                    const bool in = job.full || dot(faces[j].normal, faces[i].normal) > job.cosLimit;
                    within[i] |= uint64_t(in) << j;
                    within[j] |= uint64_t(in) << i;
                }
            }
            for (size_t i = 0; i < n; ++i) {
                // A corner that takes in the same faces as an earlier one has the same sum, so the
                // same number: across a smooth stretch, a vertex's sum is made once.
                size_t same = 0;
                while (same < i && within[same] != within[i]) ++same;
                if (same < i) {
                    numbers[i] = numbers[same];
                } else {
                    vector3d_t sum;
                    int used = 0;
                    for (uint64_t bits = within[i]; bits != 0; bits &= bits - 1, ++used) {
                        const cornerFace_t& g = faces[size_t(std::countr_zero(bits))];
                        sum += g.normal * g.weight;
                    }
                    numbers[i] = storeNormal(sum, used);
                }
                numberCorner(faces[i].corner, numbers[i]);
            }
            endVertex(v);
            continue;
        }
        // Faces whose normals point into the same cube-map cell are smoothed as one group: the
        // angle test compares group directions, at most kDirectionGroups of them.
        groups.clear();
        cornerGroup.assign(faceCount, -1);
        for (size_t i = 0; i < faceCount; ++i) {
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
        groupNumber.clear();
        for (const group_t& g : groups) groupNumber.push_back(storeNormal(g.smoothed, g.used));
        for (size_t i = 0; i < faceCount; ++i) numberCorner(faces[i].corner, groupNumber[cornerGroup[i]]);
        for (size_t i = 0; i < faceCount; ++i) groupOfCell[directionCell(faces[i].normal)] = -1;
        endVertex(v);
    }
    out.count = work.lists.size() - out.from;
}

// Replaces the lists of the vertices [vertexBegin, vertexEnd), which ran from `from` to `to` in
// the shape's lists, with the windows' in order, and moves the starts of the groups after it.
void placeLists(smoothNormals_t& normals, uint32_t vertexBegin, size_t from, size_t to,
                const std::vector<windowNormals_t>& windows) {
    size_t added = 0;
    for (const windowNormals_t& w : windows) added += w.count;
    PodArray<uint32_t>& lists = normals.lists;
    const size_t tail = lists.size() - to;
    if (from + added > to) {
        lists.resize(from + added + tail);
        std::memmove(lists.data() + from + added, lists.data() + to, tail * sizeof(uint32_t));
    } else {
        std::memmove(lists.data() + from + added, lists.data() + to, tail * sizeof(uint32_t));
        lists.resize(from + added + tail);
    }
    size_t at = from;
    for (const windowNormals_t& w : windows) {
        if (w.count > 0) std::memcpy(lists.data() + at, w.lists->data() + w.from, w.count * sizeof(uint32_t));
        at += w.count;
    }
    // Groups that start after vertexBegin follow the one before them.
    for (size_t g = size_t(vertexBegin >> smoothNormals_t::kGroupShift) + 1; g < normals.groupStart.size();
         ++g) {
        normals.groupStart[g] =
            normals.groupStart[g - 1] + smoothNormals_t::lengthSum(normals.listLengths[g - 1]);
    }
}

// Replaces the normals kept elsewhere for the corners [cornerBegin, cornerEnd) with the windows'.
void placeElsewhere(smoothNormals_t& normals, uint32_t cornerBegin, uint32_t cornerEnd,
                    const std::vector<windowNormals_t>& windows) {
    std::vector<smoothNormals_t::elsewhere_t> placed;
    for (const windowNormals_t& w : windows)
        placed.insert(placed.end(), w.elsewhere.begin(), w.elsewhere.end());
    const auto byCorner = [](const smoothNormals_t::elsewhere_t& a, const smoothNormals_t::elsewhere_t& b) {
        return a.corner < b.corner;
    };
    if (placed.empty() && normals.elsewhere.empty()) return;
    std::sort(placed.begin(), placed.end(), byCorner);
    PodArray<smoothNormals_t::elsewhere_t> merged;
    for (const auto& e : normals.elsewhere) {
        if (e.corner < cornerBegin) merged.push_back(e);
    }
    for (const auto& e : placed) merged.push_back(e);
    for (const auto& e : normals.elsewhere) {
        if (e.corner >= cornerEnd) merged.push_back(e);
    }
    normals.elsewhere = std::move(merged);
}

}  // namespace

size_t meshShape_t::smooth(uint32_t triBegin, uint32_t triEnd, uint32_t vertexBegin, uint32_t vertexEnd,
                           float angleDeg) {
    if (angleDeg <= kMinSmoothAngle || triEnd <= triBegin || vertexEnd <= vertexBegin) return 0;
    smoothNormals_t& normals = smoothNormals;
    // Every corner starts with number 0; smoothing the same triangles again replaces what an
    // earlier call stored for them.
    const size_t cornerBegin = 3 * size_t(triBegin), cornerEnd = 3 * size_t(triEnd);
    if (normals.cornerNumbers.empty()) {
        normals.cornerNumbers.resize((3 * triangleSlots() + 1) / 2, 0);
    } else {
        // Whole bytes, but for a corner that shares its byte with one outside the range.
        auto clearCorner = [&](size_t c) { normals.cornerNumbers[c / 2] &= c % 2 == 1 ? 0x0F : 0xF0; };
        size_t c = cornerBegin;
        if (c % 2 == 1) clearCorner(c++);
        std::memset(normals.cornerNumbers.data() + c / 2, 0, (cornerEnd - c) / 2);
        if ((cornerEnd - c) % 2 == 1) clearCorner(cornerEnd - 1);
    }
    const size_t groups = (size_t(vertexEnd) + kGroupVertices - 1) / kGroupVertices;
    if (normals.groupStart.size() < groups) {
        normals.groupStart.resize(groups, uint32_t(normals.lists.size()));
        normals.listLengths.resize(groups, 0);
    }
    // Where the range's lists are now, before the windows write their lengths.
    const size_t listsFrom = normals.listStart(vertexBegin), listsTo = normals.listStart(vertexEnd);

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

    // Windows of equal vertex counts, cut between groups of vertices; how many depends on the mesh
    // only, not on the threads.
    const size_t corners = cornerEnd - cornerBegin;
    const uint32_t vertexCountInRange = vertexEnd - vertexBegin;
    const size_t parallel = std::min<size_t>(kParallelWindows, vertexCountInRange / kMinWindowVertices);
    const size_t windows = std::max({size_t(1), (corners + kWindowCorners - 1) / kWindowCorners, parallel});
    const size_t windowSize = (vertexCountInRange + windows - 1) / windows;
    auto windowStart = [&](size_t w) -> uint32_t {
        if (w == 0) return vertexBegin;
        const size_t cut =
            (vertexBegin + w * windowSize + kGroupVertices - 1) / kGroupVertices * kGroupVertices;
        return uint32_t(std::min<size_t>(cut, vertexEnd));
    };
    std::vector<windowNormals_t> made(windows);
    tbb::enumerable_thread_specific<threadWork_t> work;
    tbb::parallel_for(tbb::blocked_range<size_t>(0, windows, 1), [&](const tbb::blocked_range<size_t>& r) {
        for (size_t w = r.begin(); w != r.end(); ++w) {
            const uint32_t w0 = windowStart(w), w1 = windowStart(w + 1);
            if (w0 < w1) smoothWindow(*this, job, w0, w1, work.local(), made[w]);
        }
    });
    placeLists(normals, vertexBegin, listsFrom, listsTo, made);
    placeElsewhere(normals, uint32_t(cornerBegin), uint32_t(cornerEnd), made);
    size_t comparisons = 0;
    for (const windowNormals_t& w : made) comparisons += w.comparisons;
    return comparisons;
}

}  // namespace yafaray
