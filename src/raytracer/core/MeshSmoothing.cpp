// Angle-limited smooth normals of a mesh shape (meshShape_t::smooth).
#include <algorithm>
#include <array>
#include <cmath>

#include "raytracer/core/MeshShape.h"

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
// (four bytes a corner) stays within this many corners however large the mesh.
constexpr size_t kWindowCorners = size_t(4) << 20;

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

}  // namespace

size_t meshShape_t::smooth(uint32_t triBegin, uint32_t triEnd, uint32_t vertexBegin, uint32_t vertexEnd,
                           float angleDeg) {
    size_t comparisons = 0;
    if (angleDeg <= kMinSmoothAngle || triEnd <= triBegin) return 0;
    if (cornerCodes.empty()) cornerCodes.resize(triangleSlots(), 0);
    if (vertexNormals.size() < vertices.size()) vertexNormals.resize(vertices.size());
    // Smoothing the same triangles again replaces what an earlier call stored for them.
    {
        size_t kept = 0;
        for (const extraCorner_t& e : extraCorners) {
            if (e.corner < 3 * triBegin || e.corner >= 3 * triEnd) extraCorners[kept++] = e;
        }
        extraCorners.resize(kept);
    }
    std::fill(cornerCodes.begin() + triBegin, cornerCodes.begin() + triEnd, uint8_t(0));

    const bool full = angleDeg >= 180.f;
    const float cosLimit = std::cos(angleDeg * kPi / 180.f);
    const point3d_t* P = vertices.data();

    // A smoothed normal from the sum of the faces it takes in, stored once per vertex for nearly
    // equal normals: the first as the vertex normal, others as extras. Answers where the corner's
    // normal went: kFaceOnly (the corner keeps the flat face normal, when only its own face
    // counted), kOfVertex, or the extra's index.
    constexpr int64_t kFaceOnly = -2, kOfVertex = -1;
    std::vector<std::pair<vector3d_t, int64_t>> stored;
    auto setCorner = [&](uint32_t corner, int64_t where) {
        if (where == kFaceOnly) return;
        const uint8_t code = where == kOfVertex ? kVertexNormal : kExtraNormal;
        cornerCodes[corner / 3] |= uint8_t(code << (2 * (corner % 3)));
        if (where >= 0) extraCorners.push_back({corner, uint32_t(where)});
    };
    auto storeNormal = [&](uint32_t v, const vector3d_t& sum, int used) -> int64_t {
        if (used <= 1 || sum.lengthSqr() <= 0.f) return kFaceOnly;
        const vector3d_t n = sum.normalized();
        for (const auto& [normal, where] : stored) {
            ++comparisons;
            if (dot(normal, n) > kSharedNormalCos) return where;
        }
        int64_t where = kOfVertex;
        if (stored.empty()) {
            vertexNormals[v] = n;
        } else {
            where = int64_t(extraNormals.size());
            extraNormals.push_back(n);
        }
        stored.emplace_back(n, where);
        return where;
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
    std::vector<int64_t> groupNormal;
    std::vector<cornerFace_t> faces;

    // Corners per window of vertices, in compressed rows.
    const size_t corners = 3 * size_t(triEnd - triBegin);
    const uint32_t vertexCountInRange = vertexEnd - vertexBegin;
    const size_t windows = std::max<size_t>(1, (corners + kWindowCorners - 1) / kWindowCorners);
    const uint32_t windowSize = uint32_t((vertexCountInRange + windows - 1) / windows);
    std::vector<uint32_t> start, list;
    for (uint32_t w0 = vertexBegin; w0 < vertexEnd; w0 += std::max<uint32_t>(windowSize, 1)) {
        const uint32_t w1 = std::min(vertexEnd, w0 + std::max<uint32_t>(windowSize, 1));
        start.assign(size_t(w1 - w0) + 1, 0);
        for (size_t t = triBegin; t < triEnd; ++t) {
            if (!hasTriangle(t)) continue;
            for (int k = 0; k < 3; ++k) {
                const uint32_t v = corner(t, k);
                if (v >= w0 && v < w1) ++start[v - w0 + 1];
            }
        }
        for (uint32_t v = 0; v < w1 - w0; ++v) start[v + 1] += start[v];
        list.resize(start.back());
        {
            std::vector<uint32_t> fill(start.begin(), start.end() - 1);
            for (size_t t = triBegin; t < triEnd; ++t) {
                if (!hasTriangle(t)) continue;
                for (int k = 0; k < 3; ++k) {
                    const uint32_t v = corner(t, k);
                    if (v >= w0 && v < w1) list[fill[v - w0]++] = uint32_t(3 * t + k);
                }
            }
        }
        for (uint32_t v = w0; v < w1; ++v) {
            const uint32_t begin = start[v - w0], end = start[v - w0 + 1];
            if (begin == end) continue;
            stored.clear();
            faces.clear();
            for (uint32_t i = begin; i < end; ++i) {
                const uint32_t corner = list[i];
                const size_t tri = corner / 3;
                const int k = int(corner % 3);
                const point3d_t pts[3] = {P[this->corner(tri, 0)], P[this->corner(tri, 1)], P[this->corner(tri, 2)]};
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
                        if (full || dot(g.normal, f.normal) > cosLimit) {
                            sum += g.normal * g.weight;
                            ++used;
                        }
                    }
                    setCorner(f.corner, storeNormal(v, sum, used));
                }
                continue;
            }
            // Faces whose normals point into the same cube-map cell are smoothed as one group:
            // the angle test compares group directions, at most kDirectionGroups of them.
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
                    if (full || dot(h.direction, g.direction) > cosLimit) {
                        g.smoothed += h.weighted;
                        g.used += h.faces;
                    }
                }
            }
            groupNormal.clear();
            for (const group_t& g : groups) groupNormal.push_back(storeNormal(v, g.smoothed, g.used));
            for (size_t i = 0; i < faces.size(); ++i) setCorner(faces[i].corner, groupNormal[cornerGroup[i]]);
            for (const cornerFace_t& f : faces) groupOfCell[directionCell(f.normal)] = -1;
        }
    }
    std::sort(extraCorners.begin(), extraCorners.end(),
              [](const extraCorner_t& a, const extraCorner_t& b) { return a.corner < b.corner; });
    return comparisons;
}

}  // namespace yafaray
