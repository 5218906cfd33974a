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
      indices(o.indices),
      uvs(o.uvs),
      uvMode(o.uvMode),
      uvModeSet(o.uvModeSet),
      uvIndices(o.uvIndices),
      materialSlot(o.materialSlot),
      cornerCodes(o.cornerCodes),
      vertexNormals(o.vertexNormals),
      extraCorners(o.extraCorners),
      extraNormals(o.extraNormals),
      hash(o.hash) {}

void meshShape_t::addTriangle(uint32_t a, uint32_t b, uint32_t c, int32_t ua, int32_t ub, int32_t uc,
                              uint16_t slot) {
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
        const size_t n = triangleCount();
        uvIndices.reserve(3 * (n + 1));
        for (size_t i = 0; i < 3 * n; ++i) {
            uvIndices.push_back(uvMode == uvMode_t::perVertex ? int32_t(indices[i]) : -1);
        }
        uvMode = uvMode_t::perCorner;
    }
    if (uvMode == uvMode_t::perCorner) {
        uvIndices.push_back(hasUV ? ua : -1);
        uvIndices.push_back(hasUV ? ub : -1);
        uvIndices.push_back(hasUV ? uc : -1);
    }
    if (slot != 0 && materialSlot.empty()) materialSlot.resize(triangleCount(), 0);
    if (!materialSlot.empty()) materialSlot.push_back(slot);
    if (!cornerCodes.empty()) cornerCodes.push_back(0);
    indices.push_back(a);
    indices.push_back(b);
    indices.push_back(c);
}

void meshShape_t::truncate(uint32_t triBegin, uint32_t vertexCount, uint32_t uvCount) {
    eraseFrom(indices, 3 * size_t(triBegin));
    eraseFrom(uvIndices, 3 * size_t(triBegin));
    eraseFrom(materialSlot, triBegin);
    eraseFrom(cornerCodes, triBegin);
    eraseFrom(vertices, vertexCount);
    eraseFrom(vertexNormals, vertexCount);
    eraseFrom(uvs, uvCount);
    size_t keep = 0;
    while (keep < extraCorners.size() && extraCorners[keep].corner < 3 * triBegin) ++keep;
    eraseFrom(extraCorners, keep);
}

int32_t meshShape_t::cornerUV(size_t tri, int corner) const {
    switch (uvMode) {
        case uvMode_t::perVertex: return int32_t(indices[3 * tri + corner]);
        case uvMode_t::perCorner: return uvIndices[3 * tri + corner];
        default: return -1;
    }
}

vector3d_t meshShape_t::cornerNormal(size_t tri, int corner, const vector3d_t& ng) const {
    const uint8_t code = (cornerCodes[tri] >> (2 * corner)) & 3;
    if (code == kVertexNormal) return vertexNormals[indices[3 * tri + corner]];
    if (code != kExtraNormal) return ng;
    const uint32_t key = uint32_t(3 * tri + corner);
    const extraCorner_t* found = std::lower_bound(extraCorners.begin(), extraCorners.end(), key,
                                                  [](const extraCorner_t& e, uint32_t k) { return e.corner < k; });
    return found != extraCorners.end() && found->corner == key ? extraNormals[found->normal] : ng;
}

void meshShape_t::seal() {
    vertices.push_back(point3d_t());  // Embree reads 16 bytes for the last float3
    vertices.shrinkToFit();
    indices.shrinkToFit();
    uvs.shrinkToFit();
    uvIndices.shrinkToFit();
    materialSlot.shrinkToFit();
    cornerCodes.shrinkToFit();
    vertexNormals.shrinkToFit();
    extraCorners.shrinkToFit();
    extraNormals.shrinkToFit();
    uint64_t h = mix(0, uint64_t(uvMode));
    h = hashArray(h, vertices);
    h = hashArray(h, indices);
    h = hashArray(h, uvs);
    h = hashArray(h, uvIndices);
    h = hashArray(h, materialSlot);
    h = hashArray(h, cornerCodes);
    h = hashArray(h, vertexNormals);
    h = hashArray(h, extraCorners);
    hash = hashArray(h, extraNormals);
}

bool meshShape_t::build() {
    parts.clear();
    const size_t triangles = triangleCount();
    for (size_t begin = 0; begin < triangles; begin += kPartTriangles) {
        const size_t count = std::min(kPartTriangles, triangles - begin);
        auto part = std::make_unique<EmbreeShape>(&vertices.data()->x, vertices.size() - 1, indices.data() + 3 * begin,
                                                  count);
        if (!part->valid()) return false;
        parts.push_back(std::move(part));
    }
    return true;
}

bool meshShape_t::sameContent(const meshShape_t& o) const {
    return hash == o.hash && uvMode == o.uvMode && sameArray(vertices, o.vertices) && sameArray(indices, o.indices) &&
           sameArray(uvs, o.uvs) && sameArray(uvIndices, o.uvIndices) && sameArray(materialSlot, o.materialSlot) &&
           sameArray(cornerCodes, o.cornerCodes) && sameArray(vertexNormals, o.vertexNormals) &&
           sameArray(extraCorners, o.extraCorners) && sameArray(extraNormals, o.extraNormals);
}

}  // namespace yafaray
