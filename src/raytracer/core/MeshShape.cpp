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

template <typename T>
uint64_t hashArray(uint64_t h, const PodArray<T>& a) {
    h = mix(h, a.size());
    const auto* bytes = reinterpret_cast<const unsigned char*>(a.data());
    const size_t n = a.size() * sizeof(T);
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        h = mix(h, word);
    }
    uint64_t tail = 0;
    if (i < n) std::memcpy(&tail, bytes + i, n - i);
    return mix(h, tail);
}

template <typename T>
bool sameArray(const PodArray<T>& a, const PodArray<T>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

template <typename T>
void eraseFrom(PodArray<T>& a, size_t n) {
    if (a.size() > n) a.resize(n);
}

}  // namespace

meshShape_t::meshShape_t(const meshShape_t& o)
    : vertices(o.vertices),
      quads(o.quads),
      turns(o.turns),
      uvs(o.uvs),
      uvMode(o.uvMode),
      uvModeSet(o.uvModeSet),
      uvIndices(o.uvIndices),
      materialSlot(o.materialSlot),
      cornerNormals(o.cornerNormals),
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
    turns.push_back(0);
    if (uvMode == uvMode_t::perCorner) {
        for (int32_t uv : {hasUV ? ua : -1, hasUV ? ub : -1, hasUV ? uc : -1, -1, -1, -1}) uvIndices.push_back(uv);
    }
    if (!materialSlot.empty()) materialSlot.push_back(slot);
    if (!cornerNormals.empty()) {
        for (int k = 0; k < 6; ++k) cornerNormals.push_back(kNoPackedNormal);
    }
}

size_t meshShape_t::hitTriangle(size_t q, float u, float v, float weights[3]) const {
    // Embree reports the second triangle in the quad's own parameters: (u, v) = (1 − u', 1 − v').
    const size_t half = u + v > 1.f && quads[4 * q + 2] != quads[4 * q + 3] ? 1 : 0;
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
    eraseFrom(cornerNormals, 3 * size_t(triBegin));
    eraseFrom(vertices, vertexCount);
    eraseFrom(uvs, uvCount);
}

int32_t meshShape_t::cornerUV(size_t tri, int corner) const {
    switch (uvMode) {
        case uvMode_t::perVertex: return int32_t(this->corner(tri, corner));
        case uvMode_t::perCorner: return uvIndices[3 * tri + corner];
        default: return -1;
    }
}

void meshShape_t::seal() {
    vertices.push_back(point3d_t());  // Embree reads 16 bytes for the last float3
    vertices.shrinkToFit();
    quads.shrinkToFit();
    turns.shrinkToFit();
    uvs.shrinkToFit();
    uvIndices.shrinkToFit();
    materialSlot.shrinkToFit();
    cornerNormals.shrinkToFit();
    uint64_t h = mix(0, uint64_t(uvMode));
    h = hashArray(h, vertices);
    h = hashArray(h, quads);
    h = hashArray(h, turns);
    h = hashArray(h, uvs);
    h = hashArray(h, uvIndices);
    h = hashArray(h, materialSlot);
    hash = hashArray(h, cornerNormals);
}

bool meshShape_t::build() {
    parts.clear();
    const size_t quadsHeld = quadCount();
    for (size_t begin = 0; begin < quadsHeld; begin += kPartQuads) {
        const size_t count = std::min(kPartQuads, quadsHeld - begin);
        auto part = std::make_unique<EmbreeShape>(&vertices.data()->x, vertices.size() - 1, quads.data() + 4 * begin,
                                                  count);
        if (!part->valid()) return false;
        parts.push_back(std::move(part));
    }
    return true;
}

bool meshShape_t::sameContent(const meshShape_t& o) const {
    return hash == o.hash && uvMode == o.uvMode && sameArray(vertices, o.vertices) && sameArray(quads, o.quads) &&
           sameArray(turns, o.turns) &&
           sameArray(uvs, o.uvs) && sameArray(uvIndices, o.uvIndices) && sameArray(materialSlot, o.materialSlot) &&
           sameArray(cornerNormals, o.cornerNormals);
}

}  // namespace yafaray
