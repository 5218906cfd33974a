#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "raytracer/core/EmbreeScene.h"
#include "raytracer/core/PackedNormal.h"
#include "raytracer/core/PodArray.h"
#include "raytracer/core/Vector.h"

namespace yafaray {

// The triangles of one or more meshes in compact arrays: what Embree builds a shape from and what
// a hit reads back. Content only (no material pointers: triangles name a slot of the palette of
// the instance that places the shape), so that equal content can be shared between instances and
// between renders. Filled on the build thread; read-only (any thread) once built.
struct meshShape_t {
    // How corners find their UVs: none, the UV of the same index as the vertex (the layers add one
    // UV per vertex), or three UV indices per triangle (-1: none).
    enum class uvMode_t : uint8_t { none, perVertex, perCorner };
    // Below this angle (degrees) smoothing leaves the mesh flat.
    static constexpr float kMinSmoothAngle = 0.1f;

    PodArray<point3d_t> vertices;  // one padding vertex at the end once built
    // Triangles in pairs, as Embree reads quads: quad q holds vertices (v0, v1, v2, v3) and stands
    // for triangle 2q = (v0, v1, v3) and triangle 2q + 1 = (v2, v3, v1). Two triangles of a mesh
    // that follow each other and share an edge (in opposite directions, as neighbours on one
    // surface do) make one quad; a triangle without such a neighbour is (a, b, c, c), and its
    // triangle 2q + 1 is a hole. Half the primitives for Embree to build and keep: strips, rings
    // and grids (rocks, terrains, plants) pair almost completely.
    PodArray<uint32_t> quads;
    // Per quad, how far each triangle's corners are turned in the quad (two bits per triangle), so
    // that corner k of a triangle is the k-th vertex it was added with.
    PodArray<uint8_t> turns;
    PodArray<std::array<float, 2>> uvs;
    uvMode_t uvMode = uvMode_t::none;
    bool uvModeSet = false;
    PodArray<int32_t> uvIndices;      // perCorner only; three per triangle (holes included)
    PodArray<uint16_t> materialSlot;  // per quad (both triangles share it); empty while all use slot 0
    // Smoothed normals, one per corner (three per triangle, holes included), packed in 32 bits
    // (PackedNormal.h); kNoPackedNormal where the corner keeps the face normal. Empty while nothing
    // is smoothed.
    PodArray<uint32_t> cornerNormals;

    uint64_t hash = 0;  // of the whole content, set by seal()
    std::vector<std::unique_ptr<EmbreeShape>> parts;  // consecutive quad ranges, kPartQuads each
    // Parts are built one after the other, so Embree's build memory stays that of one part.
    static constexpr size_t kPartQuads = size_t(1) << 19;

    meshShape_t() = default;
    // Copies the content; the copy is not built.
    meshShape_t(const meshShape_t& other);
    meshShape_t& operator=(const meshShape_t&) = delete;

    size_t quadCount() const { return quads.size() / 4; }
    // Triangle numbers run to twice the quads; holes included.
    size_t triangleSlots() const { return quads.size() / 2; }
    bool hasTriangle(size_t tri) const { return (tri & 1) == 0 || quads[2 * tri] != quads[2 * tri + 1]; }
    size_t vertexCount() const { return vertices.size() - (parts.empty() ? 0 : 1); }
    // Vertex index of corner k of triangle tri, in the order the triangle was added.
    uint32_t corner(size_t tri, int k) const {
        static constexpr uint8_t kHalf[2][3] = {{0, 1, 3}, {2, 3, 1}};
        const size_t half = tri & 1;
        const int turn = (turns[tri >> 1] >> (2 * half)) & 3;
        return quads[2 * (tri & ~size_t(1)) + kHalf[half][(k + turn) % 3]];
    }
    // The triangle Embree hit in quad q at its (u, v), and the weights of that triangle's corners.
    size_t hitTriangle(size_t q, float u, float v, float weights[3]) const;

    // Adds triangle (a, b, c) with corner UV indices (ua < 0: none) and material slot; shape-local
    // indices, already checked. It completes the quad of the triangle before it when that one is
    // alone, from triangle pairFrom on (the start of its mesh), and has the same material.
    void addTriangle(uint32_t a, uint32_t b, uint32_t c, int32_t ua, int32_t ub, int32_t uc, uint16_t slot,
                     uint32_t pairFrom);
    // Angle-limited smooth normals for the triangles [triBegin, triEnd) over the vertices
    // [vertexBegin, vertexEnd) they use, on as many threads as TBB offers; the result does not
    // depend on their number. Answers the face-normal comparisons made.
    size_t smooth(uint32_t triBegin, uint32_t triEnd, uint32_t vertexBegin, uint32_t vertexEnd, float angleDeg);
    // Removes the triangles from triBegin and the vertices and UVs from the given counts on (the
    // tail a repeated mesh leaves behind when it becomes an instance).
    void truncate(uint32_t triBegin, uint32_t vertexCount, uint32_t uvCount);

    // Hashes the content and releases spare capacity; then build() makes the Embree parts.
    void seal();
    bool build();
    // True when the two hold the same content (the hashes agreeing is checked first).
    bool sameContent(const meshShape_t& other) const;

    // Corner normal of triangle tri (face normal ng where the corner keeps it), in shape space.
    vector3d_t cornerNormal(size_t tri, int corner, const vector3d_t& ng) const {
        const uint32_t code = cornerNormals[3 * tri + corner];
        return code == kNoPackedNormal ? ng : unpackNormal(code);
    }
    bool smoothed(size_t tri) const {
        return !cornerNormals.empty() && (cornerNormals[3 * tri] | cornerNormals[3 * tri + 1] |
                                          cornerNormals[3 * tri + 2]) != kNoPackedNormal;
    }
    // UV index of a corner, or -1.
    int32_t cornerUV(size_t tri, int corner) const;
};

}  // namespace yafaray
