#include "raytracer/core/MeshShape.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace yafaray {
namespace {

// Content hashing: 64-bit words mixed in order (not cryptographic; equal hashes are confirmed by
// comparing the content).
uint64_t mix(uint64_t h, uint64_t word) {
    h ^= word + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
    return h * 0xFF51AFD7ED558CCDull;
}

// Four words at a time into four lanes, so that the multiplications of one word do not wait for
// those of the word before (a large shape's arrays hash in a quarter of the time), and the lanes
// mixed at the end. Hashes only meet hashes of the same process.
template <typename T>
uint64_t hashArray(uint64_t h, const PodArray<T>& a) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(a.data());
    const size_t n = a.size() * sizeof(T);
    uint64_t lane[4] = {mix(h, a.size()), mix(h, 1), mix(h, 2), mix(h, 3)};
    size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        uint64_t words[4];
        std::memcpy(words, bytes + i, 32);
        for (int l = 0; l < 4; ++l) lane[l] = mix(lane[l], words[l]);
    }
    for (; i + 8 <= n; i += 8) {
        uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        lane[0] = mix(lane[0], word);
    }
    uint64_t tail = 0;
    if (i < n) std::memcpy(&tail, bytes + i, n - i);
    return mix(mix(mix(mix(lane[0], tail), lane[1]), lane[2]), lane[3]);
}

template <typename T>
bool sameArray(const PodArray<T>& a, const PodArray<T>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

template <typename T>
void eraseFrom(PodArray<T>& a, size_t n) {
    if (a.size() > n) a.resize(n);
}

// Drops the smoothed normals of the corners from cornerEnd and of the vertices from vertexEnd on.
void truncateNormals(smoothNormals_t& n, size_t cornerEnd, uint32_t vertexEnd) {
    if (n.empty()) return;
    if (cornerEnd == 0) {
        n = smoothNormals_t();
        return;
    }
    eraseFrom(n.cornerNumbers, (cornerEnd + 1) / 2);
    if (cornerEnd % 2 == 1) n.cornerNumbers.back() &= 0x0F;
    const auto kept =
        std::lower_bound(n.elsewhere.begin(), n.elsewhere.end(), cornerEnd,
                         [](const smoothNormals_t::elsewhere_t& e, size_t c) { return e.corner < c; });
    eraseFrom(n.elsewhere, size_t(kept - n.elsewhere.begin()));
    eraseFrom(n.lists, n.listStart(vertexEnd));
    const size_t groupSize = size_t(1) << smoothNormals_t::kGroupShift;
    eraseFrom(n.groupStart, (vertexEnd + groupSize - 1) / groupSize);
    eraseFrom(n.listLengths, (vertexEnd + groupSize - 1) / groupSize);
    if (const unsigned inGroup = vertexEnd % groupSize; inGroup != 0 && !n.listLengths.empty()) {
        n.listLengths.back() &= ~uint64_t(0) >> (64 - 4 * inGroup);
    }
}

// Gives the vertex groups one entry for each of vertexCount vertices, so that equal content is
// stored alike however it was smoothed, and releases spare capacity.
void sealNormals(smoothNormals_t& n, size_t vertexCount) {
    if (!n.empty()) {
        const size_t groups =
            (vertexCount + (size_t(1) << smoothNormals_t::kGroupShift) - 1) >> smoothNormals_t::kGroupShift;
        if (n.groupStart.size() < groups) {
            n.groupStart.resize(groups, uint32_t(n.lists.size()));
            n.listLengths.resize(groups, 0);
        }
    }
    n.cornerNumbers.shrinkToFit();
    n.lists.shrinkToFit();
    n.groupStart.shrinkToFit();
    n.listLengths.shrinkToFit();
    n.elsewhere.shrinkToFit();
}

}  // namespace

meshShape_t::meshShape_t(const meshShape_t& o)
    : vertices(o.vertices),
      quads(o.quads),
      grids(o.grids),
      gridCells(o.gridCells),
      turns(o.turns),
      uvs(o.uvs),
      uvMode(o.uvMode),
      uvModeSet(o.uvModeSet),
      uvIndices(o.uvIndices),
      materialSlot(o.materialSlot),
      smoothNormals(o.smoothNormals),
      hash(o.hash) {}

void meshShape_t::addTriangle(uint32_t a, uint32_t b, uint32_t c, int32_t ua, int32_t ub, int32_t uc, uint16_t slot,
                              uint32_t pairFrom) {
    const bool hasUV = ua >= 0 && ub >= 0 && uc >= 0;
    const bool followsVertices = hasUV && uint32_t(ua) == a && uint32_t(ub) == b && uint32_t(uc) == c;
    if (!uvModeSet) {
        uvMode = !hasUV ? uvMode_t::none : followsVertices ? uvMode_t::perVertex : uvMode_t::perCorner;
        uvModeSet = true;
    }
    const bool fits = uvMode == uvMode_t::perCorner || (uvMode == uvMode_t::none && !hasUV) ||
                      (uvMode == uvMode_t::perVertex && followsVertices);
    if (!fits) {
        // The first triangle that breaks the pattern: every corner names its UV from now on.
        const size_t n = triangleSlots();
        uvIndices.reserve(3 * (n + 2));
        for (size_t t = 0; t < n; ++t) {
            for (int k = 0; k < 3; ++k) {
                const bool named = uvMode == uvMode_t::perVertex && hasTriangle(t);
                uvIndices.push_back(named ? int32_t(corner(t, k)) : -1);
            }
        }
        uvMode = uvMode_t::perCorner;
    }
    if (slot != 0 && materialSlot.empty()) materialSlot.resize(quadCount(), 0);

    // The quad before, when it holds a lone triangle of this mesh with the same material: this
    // triangle completes it if the two share an edge, walked one way by each.
    const size_t last = quadCount() - 1;
    const bool open = quadCount() > 0 && 2 * last >= pairFrom && quads[4 * last + 2] == quads[4 * last + 3] &&
                      (materialSlot.empty() ? 0 : materialSlot[last]) == slot;
    if (open) {
        const uint32_t x[3] = {quads[4 * last], quads[4 * last + 1], quads[4 * last + 2]};
        const uint32_t y[3] = {a, b, c};
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                if (y[j] != x[(i + 1) % 3] || y[(j + 1) % 3] != x[i]) continue;
                // Shared edge x[i] → x[i+1]: v1 = x[i], v3 = x[i+1], v0 and v2 the far corners.
                uint32_t* q = &quads[4 * last];
                q[0] = x[(i + 2) % 3], q[1] = x[i], q[2] = y[(j + 2) % 3], q[3] = x[(i + 1) % 3];
                turns[last] = uint8_t((4 - i) % 3 | ((4 - j) % 3) << 2);
                if (uvMode == uvMode_t::perCorner) {
                    int32_t* uv = &uvIndices[3 * (2 * last + 1)];
                    uv[0] = hasUV ? ua : -1, uv[1] = hasUV ? ub : -1, uv[2] = hasUV ? uc : -1;
                }
                return;
            }
        }
    }
    quads.push_back(a);
    quads.push_back(b);
    quads.push_back(c);
    quads.push_back(c);
    turns.push_back(kHoleTurn << 2);
    if (uvMode == uvMode_t::perCorner) {
        for (int32_t uv : {hasUV ? ua : -1, hasUV ? ub : -1, hasUV ? uc : -1, -1, -1, -1}) uvIndices.push_back(uv);
    }
    if (!materialSlot.empty()) materialSlot.push_back(slot);
    if (!smoothNormals.empty()) {
        // Six corners of number 0 (the face normal), two a byte.
        for (int k = 0; k < 3; ++k) smoothNormals.cornerNumbers.push_back(0);
    }
}

size_t meshShape_t::hitTriangle(size_t q, float u, float v, float weights[3]) const {
    // Embree reports the second triangle in the quad's own parameters: (u, v) = (1 − u', 1 − v').
    const size_t half = u + v > 1.f && hasTriangle(2 * q + 1) ? 1 : 0;
    const float w[3] = {half ? u + v - 1.f : 1.f - u - v, half ? 1.f - u : u, half ? 1.f - v : v};
    const int turn = (turns[q] >> (2 * half)) & 3;
    for (int k = 0; k < 3; ++k) weights[k] = w[(k + turn) % 3];
    return 2 * q + half;
}

void meshShape_t::truncate(uint32_t triBegin, uint32_t vertexCount, uint32_t uvCount) {
    // Meshes start on a quad, so triBegin is even.
    eraseFrom(quads, 2 * size_t(triBegin));
    eraseFrom(turns, triBegin / 2);
    eraseFrom(uvIndices, 3 * size_t(triBegin));
    eraseFrom(materialSlot, triBegin / 2);
    truncateNormals(smoothNormals, 3 * size_t(triBegin), vertexCount);
    eraseFrom(vertices, vertexCount);
    eraseFrom(uvs, uvCount);
}

int32_t meshShape_t::cornerUV(size_t tri, int corner, uint32_t vertex) const {
    switch (uvMode) {
        case uvMode_t::perVertex: return int32_t(vertex == UINT32_MAX ? this->corner(tri, corner) : vertex);
        case uvMode_t::perCorner: return uvIndices[3 * tri + corner];
        default: return -1;
    }
}

void meshShape_t::seal() {
    findGrids();
    vertices.push_back(point3d_t());  // Embree reads 16 bytes for the last float3
    vertices.shrinkToFit();
    quads.shrinkToFit();
    grids.shrinkToFit();
    turns.shrinkToFit();
    uvs.shrinkToFit();
    uvIndices.shrinkToFit();
    materialSlot.shrinkToFit();
    sealNormals(smoothNormals, vertices.size() - 1);
    uint64_t h = mix(0, uint64_t(uvMode));
    h = hashArray(h, vertices);
    h = hashArray(h, quads);
    h = hashArray(h, grids);
    h = hashArray(h, turns);
    h = hashArray(h, uvs);
    h = hashArray(h, uvIndices);
    h = hashArray(h, materialSlot);
    h = hashArray(h, smoothNormals.cornerNumbers);
    h = hashArray(h, smoothNormals.lists);
    h = hashArray(h, smoothNormals.groupStart);
    h = hashArray(h, smoothNormals.listLengths);
    hash = hashArray(h, smoothNormals.elsewhere);
}

bool meshShape_t::build() {
    parts.clear();
    partBases.clear();
    const size_t quadsHeld = quadCount();
    // Grid runs never reach over a part's end (findGrids cuts them there).
    size_t grid = 0;
    for (size_t begin = 0; begin < quadsHeld; begin += kPartQuads) {
        const size_t end = std::min(quadsHeld, begin + kPartQuads);
        const size_t gridBegin = grid;
        while (grid < grids.size() && grids[grid].firstQuad < end) ++grid;
        const size_t listedBegin = begin == 0 ? 0 : listedIndex(begin);
        const size_t listedEnd = end == quadsHeld ? quads.size() / 4 : listedIndex(end);
        auto part = std::make_unique<EmbreeShape>(&vertices.data()->x, vertices.size() - 1,
                                                  quads.data() + 4 * listedBegin, listedEnd - listedBegin,
                                                  grids.data() + gridBegin, grid - gridBegin, sizeof(gridRun_t));
        if (!part->valid()) return false;
        parts.push_back(std::move(part));
        partBases.push_back({uint32_t(gridBegin), uint32_t(listedBegin)});
    }
    return true;
}

bool meshShape_t::sameContent(const meshShape_t& o) const {
    return hash == o.hash && uvMode == o.uvMode && sameArray(vertices, o.vertices) &&
           sameArray(quads, o.quads) && sameArray(grids, o.grids) && sameArray(turns, o.turns) && sameArray(uvs, o.uvs) &&
           sameArray(uvIndices, o.uvIndices) && sameArray(materialSlot, o.materialSlot) &&
           sameArray(smoothNormals.cornerNumbers, o.smoothNormals.cornerNumbers) &&
           sameArray(smoothNormals.lists, o.smoothNormals.lists) &&
           sameArray(smoothNormals.groupStart, o.smoothNormals.groupStart) &&
           sameArray(smoothNormals.listLengths, o.smoothNormals.listLengths) &&
           sameArray(smoothNormals.elsewhere, o.smoothNormals.elsewhere);
}

uint32_t smoothNormals_t::normalElsewhere(size_t corner) const {
    const elsewhere_t* found = std::lower_bound(elsewhere.begin(), elsewhere.end(), corner,
                                                [](const elsewhere_t& e, size_t c) { return e.corner < c; });
    return found != elsewhere.end() && found->corner == corner ? found->normal : kNoPackedNormal;
}

}  // namespace yafaray
