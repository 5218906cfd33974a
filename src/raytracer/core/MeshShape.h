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

// Smoothed normals of a mesh shape, in packed form (PackedNormal.h). Each vertex keeps a list of
// the distinct normals its corners were given, and each corner names an entry of its vertex's list
// in four bits. Smoothing gives a vertex few distinct normals (one where all its faces lie within
// the angle) for its four to six corners, so this holds about half of what a packed normal per
// corner would (rocks at density 1: 31 MiB against 62), and answers the same normal for every
// corner.
struct smoothNormals_t {
    // A corner's number: 0 where it keeps the face normal, 1 … kListed for that entry of its
    // vertex's list, kElsewhere where its normal is kept in `elsewhere` (a vertex with more distinct
    // normals than kListed, such as the apex of a finely divided cone).
    static constexpr unsigned kListed = 14;
    static constexpr unsigned kElsewhere = 15;
    // Vertices are grouped in sixteens for finding their lists.
    static constexpr unsigned kGroupShift = 4;

    // Corner numbers in four bits, the lower corner of two in the low bits; three corners per
    // triangle slot, holes included. Empty while nothing is smoothed.
    PodArray<uint8_t> cornerNumbers;
    // The vertices' lists one after the other, in vertex order.
    PodArray<uint32_t> lists;
    // Per group of vertices: where its first vertex's list starts, and each vertex's list length in
    // four bits (the first vertex in the low bits).
    PodArray<uint32_t> groupStart;
    PodArray<uint64_t> listLengths;
    // The normals of the corners numbered kElsewhere, ordered by corner (3 · triangle + k).
    struct elsewhere_t {
        uint32_t corner, normal;
    };
    PodArray<elsewhere_t> elsewhere;

    bool empty() const { return cornerNumbers.empty(); }
    unsigned number(size_t corner) const { return (cornerNumbers[corner >> 1] >> (4 * (corner & 1))) & 15u; }
    // Index in `lists` of the first normal of vertex v (the end of all lists past the last group).
    size_t listStart(uint32_t v) const {
        const size_t group = v >> kGroupShift;
        if (group >= groupStart.size()) return lists.size();
        const unsigned before = v & ((1u << kGroupShift) - 1);
        const uint64_t lengths = before == 0 ? 0 : listLengths[group] & (~uint64_t(0) >> (64 - 4 * before));
        return groupStart[group] + lengthSum(lengths);
    }
    // The packed normal of a corner of vertex v with number 1 … kElsewhere.
    uint32_t normal(size_t corner, unsigned number, uint32_t v) const {
        return number == kElsewhere ? normalElsewhere(corner) : lists[listStart(v) + number - 1];
    }
    uint32_t normalElsewhere(size_t corner) const;
    size_t bytes() const {
        return cornerNumbers.size() + (lists.size() + groupStart.size()) * sizeof(uint32_t) +
               listLengths.size() * sizeof(uint64_t) + elsewhere.size() * sizeof(elsewhere_t);
    }
    // The sum of the sixteen four-bit lengths of a word: added in pairs into bytes (at most 30
    // each), then the bytes by one multiplication (at most 240).
    static unsigned lengthSum(uint64_t lengths) {
        constexpr uint64_t kLowNibbles = 0x0F0F0F0F0F0F0F0Full;
        const uint64_t pairs = (lengths & kLowNibbles) + ((lengths >> 4) & kLowNibbles);
        return unsigned((pairs * 0x0101010101010101ull) >> 56);
    }
};

// A run of quads laid out as a grid over the vertices: cell (x, y) is the quad (a, a + 1,
// a + 1 + stride, a + stride) with a = firstVertex + y · stride + x, which is how Embree reads a
// grid (RTC_GEOMETRY_TYPE_GRID, whose RTCGrid the first twelve bytes match). Rings and strips added
// row after row (rocks, plants, terrain patches) give such runs; Embree keeps a grid's cells in
// about a third of the memory of the same quads, and the cells need no indices of their own.
// The cells of row y are quads firstQuad + y · quadPitch + x (x < width − 1): rows may be
// separated by other quads (a ring's closing quad), which stay listed.
struct gridRun_t {
    uint32_t firstVertex, stride;
    uint16_t width, height;  // in vertices: (width − 1) × (height − 1) cells
    uint32_t firstQuad, quadPitch;
    uint32_t listedBefore;  // listed quads before firstQuad
    uint32_t cellsPerRow() const { return uint32_t(width) - 1; }
    uint32_t rows() const { return uint32_t(height) - 1; }
    // One past the last quad of the run's last row.
    size_t spanEnd() const { return size_t(firstQuad) + size_t(rows() - 1) * quadPitch + cellsPerRow(); }
};

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
    // Once sealed, the quads of grid runs are taken out of `quads` (their corners follow from the
    // run) and only the others stay listed, in quad order.
    PodArray<uint32_t> quads;
    PodArray<gridRun_t> grids;  // ordered by firstQuad; empty until seal() finds runs
    uint32_t gridCells = 0;     // quads held by the grid runs
    // Per quad, how far each triangle's corners are turned in the quad (two bits per triangle), so
    // that corner k of a triangle is the k-th vertex it was added with. A second triangle turned
    // by kHoleTurn is a hole.
    PodArray<uint8_t> turns;
    static constexpr uint8_t kHoleTurn = 3;
    PodArray<std::array<float, 2>> uvs;
    uvMode_t uvMode = uvMode_t::none;
    bool uvModeSet = false;
    PodArray<int32_t> uvIndices;      // perCorner only; three per triangle (holes included)
    PodArray<uint16_t> materialSlot;  // per quad (both triangles share it); empty while all use slot 0
    // Smoothed normals; empty while nothing is smoothed.
    smoothNormals_t smoothNormals;

    uint64_t hash = 0;  // of the whole content, set by seal()
    std::vector<std::unique_ptr<EmbreeShape>> parts;  // consecutive quad ranges, kPartQuads each
    // Per part: its first grid run and the listed index of its first quad (Embree numbers a part's
    // grids and listed quads from 0).
    std::vector<std::array<uint32_t, 2>> partBases;
    // Parts are built one after the other, so Embree's build memory stays that of one part.
    static constexpr size_t kPartQuads = size_t(1) << 19;

    meshShape_t() = default;
    // Copies the content; the copy is not built.
    meshShape_t(const meshShape_t& other);
    meshShape_t& operator=(const meshShape_t&) = delete;

    size_t quadCount() const { return quads.size() / 4 + gridCells; }
    // Triangle numbers run to twice the quads; holes included.
    size_t triangleSlots() const { return quads.size() / 2; }
    bool hasTriangle(size_t tri) const { return (tri & 1) == 0 || ((turns[tri >> 1] >> 2) & 3) != kHoleTurn; }
    size_t vertexCount() const { return vertices.size() - (parts.empty() ? 0 : 1); }
    // Vertex index of corner k of triangle tri, in the order the triangle was added.
    uint32_t corner(size_t tri, int k) const {
        if (grids.empty()) return quads[2 * (tri & ~size_t(1)) + cornerSlots(tri)[k]];
        uint32_t v[4];
        quadVertices(tri >> 1, v);
        return v[cornerSlots(tri)[k]];
    }
    // The vertex indices of triangle tri's three corners, in order, from its quad's four (v0 … v3).
    void corners(size_t tri, const uint32_t quad[4], uint32_t v[3]) const {
        const uint8_t* slot = cornerSlots(tri);
        v[0] = quad[slot[0]], v[1] = quad[slot[1]], v[2] = quad[slot[2]];
    }
    void corners(size_t tri, uint32_t v[3]) const {
        if (grids.empty()) return corners(tri, &quads[2 * (tri & ~size_t(1))], v);
        uint32_t quad[4];
        quadVertices(tri >> 1, quad);
        corners(tri, quad, v);
    }
    // The four vertices of quad q, listed or a grid cell (a hole's v2 is its v3).
    void quadVertices(size_t q, uint32_t v[4]) const;
    // The listed quads before quad q (the listed index of q where q is not a grid cell); and the
    // quad of a listed index.
    size_t listedIndex(size_t q) const;
    size_t quadOfListed(size_t listed) const;
    // Where in its quad each corner of triangle tri lies: the quad's (v0, v1, v3) or (v2, v3, v1),
    // by the triangle's half of the quad, turned by its turn (0 … 2; kHoleTurn, on holes only,
    // reads as 0). A table rather than the remainder by three: smoothing and every
    // hit ask for corners.
    const uint8_t* cornerSlots(size_t tri) const {
        static constexpr std::array<std::array<uint8_t, 3>, 8> kSlots = [] {
            constexpr uint8_t kHalf[2][3] = {{0, 1, 3}, {2, 3, 1}};
            std::array<std::array<uint8_t, 3>, 8> slots{};
            for (int half = 0; half < 2; ++half) {
                for (int turn = 0; turn < 4; ++turn) {
                    for (int k = 0; k < 3; ++k)
                        slots[size_t(4 * half + turn)][size_t(k)] = kHalf[half][(k + turn) % 3];
                }
            }
            return slots;
        }();
        const size_t half = tri & 1;
        return kSlots[4 * half + ((turns[tri >> 1] >> (2 * half)) & 3)].data();
    }
    // A hit in part `part` (Embree's geometry, primitive and (u, v)) as our quad, its four
    // vertices and (u, v) in the quad's own parameters.
    struct quadHit_t {
        size_t quad;
        uint32_t vertex[4];
        float u, v;
    };
    quadHit_t resolveHit(size_t part, uint32_t geomID, uint32_t primID, float u, float v) const;
    // The triangle hit in quad q at the quad's (u, v), and the weights of that triangle's corners.
    size_t hitTriangle(size_t q, float u, float v, float weights[3]) const;

    // Adds triangle (a, b, c) with corner UV indices (ua < 0: none) and material slot; shape-local
    // indices, already checked. It completes the quad of the triangle before it when that one is
    // alone, from triangle pairFrom on (the start of its mesh), and has the same material.
    void addTriangle(uint32_t a, uint32_t b, uint32_t c, int32_t ua, int32_t ub, int32_t uc, uint16_t slot,
                     uint32_t pairFrom);
    // Angle-limited smooth normals for the triangles [triBegin, triEnd) over the vertices
    // [vertexBegin, vertexEnd) they use (and no other triangle uses), on as many threads as TBB
    // offers; the result does not depend on their number. Smoothing the same range again replaces
    // what was stored for it. Answers the face-normal comparisons made.
    size_t smooth(uint32_t triBegin, uint32_t triEnd, uint32_t vertexBegin, uint32_t vertexEnd, float angleDeg);
    // Removes the triangles from triBegin and the vertices and UVs from the given counts on (the
    // tail a repeated mesh leaves behind when it becomes an instance).
    void truncate(uint32_t triBegin, uint32_t vertexCount, uint32_t uvCount);

    // Finds the grid runs, hashes the content and releases spare capacity; then build() makes the
    // Embree parts. Nothing is added, smoothed or truncated after it.
    void seal();
    // Part of seal(): takes the grid runs out of `quads` (MeshGrids.cpp).
    void findGrids();
    bool build();
    // True when the two hold the same content (the hashes agreeing is checked first).
    bool sameContent(const meshShape_t& other) const;

    // Packed smoothed normal of corner k of triangle tri; kNoPackedNormal where the corner keeps the
    // face normal.
    // (vertex: the corner's vertex where the caller has it.)
    uint32_t cornerNormalCode(size_t tri, int k) const { return cornerNormalCode(tri, k, UINT32_MAX); }
    uint32_t cornerNormalCode(size_t tri, int k, uint32_t vertex) const {
        if (smoothNormals.empty()) return kNoPackedNormal;
        const size_t c = 3 * tri + size_t(k);
        const unsigned number = smoothNormals.number(c);
        if (number == 0) return kNoPackedNormal;
        return smoothNormals.normal(c, number, vertex == UINT32_MAX ? corner(tri, k) : vertex);
    }
    // Corner normal of triangle tri whose corner k is vertex (face normal ng where the corner
    // keeps it), in shape space.
    vector3d_t cornerNormal(size_t tri, int k, const vector3d_t& ng) const {
        return cornerNormal(tri, k, UINT32_MAX, ng);
    }
    vector3d_t cornerNormal(size_t tri, int k, uint32_t vertex, const vector3d_t& ng) const {
        const uint32_t code = cornerNormalCode(tri, k, vertex);
        return code == kNoPackedNormal ? ng : unpackNormal(code);
    }
    bool smoothed(size_t tri) const {
        return !smoothNormals.empty() && (smoothNormals.number(3 * tri) | smoothNormals.number(3 * tri + 1) |
                                          smoothNormals.number(3 * tri + 2)) != 0;
    }
    // UV index of a corner, or -1 (vertex: the corner's vertex where the caller has it).
    int32_t cornerUV(size_t tri, int corner, uint32_t vertex = UINT32_MAX) const;
};

}  // namespace yafaray
