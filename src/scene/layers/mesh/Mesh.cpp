#include "scene/layers/mesh/Mesh.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "raytracer/interface.h"
#include "scene/BaseRenderer.h"
#include "scene/layers/mesh/MeshObject.h"

namespace korvane {

namespace {
constexpr size_t kVertexBytes = 12;  // x, y, z
constexpr size_t kUVBytes = 8;       // u, v
constexpr size_t kFaceBytes = 16;    // a, b, c, material, 2 bytes padding

// Smoothing keeps edges sharper than this many degrees.
constexpr double kSmoothingAngle = 40.0;
// UVs are handed to the ray tracer at a tenth, so a texture repeats ten times over an object.
constexpr float kUVScale = 0.1f;

void putUInt32(std::vector<uint8_t>& bytes, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<uint8_t>(value >> shift));
}
void putFloat(std::vector<uint8_t>& bytes, float value) { putUInt32(bytes, std::bit_cast<uint32_t>(value)); }

uint32_t getUInt32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}
float getFloat(const uint8_t* bytes) { return std::bit_cast<float>(getUInt32(bytes)); }

// The block under `key`, which must hold exactly `count` records of `recordBytes`; otherwise the
// archive fails with a message and none is answered (reading on would run past the block).
std::optional<std::vector<uint8_t>> blockOfCount(KeyedUnarchiver& coder, const std::string& key, int64_t count,
                                                 size_t recordBytes, const std::string& countKey) {
    std::vector<uint8_t> block = coder.decodeData(key).value_or(std::vector<uint8_t>{});
    if (count < 0 || static_cast<uint64_t>(count) * recordBytes != block.size()) {
        coder.failWithError("damaged mesh: " + countKey + " " + std::to_string(count) + " does not match the " +
                            std::to_string(block.size()) + " bytes of " + key);
        return std::nullopt;
    }
    return block;
}
}  // namespace

Mesh::Mesh(MeshObject* meshObject) : meshObject_(meshObject) {}

void Mesh::addVertex(MeshVertex vertex, MeshUV uv) {
    vertices_.push_back(vertex);
    uvs_.push_back(uv);
}

void Mesh::addFace(MeshFace face) { faces_.push_back(face); }

void Mesh::multiplyAllVerticesBy(float factor) {
    for (MeshVertex& v : vertices_) {
        v.x *= factor;
        v.y *= factor;
        v.z *= factor;
    }
}

void Mesh::moveAllVerticesBy(MeshVertex offset) {
    for (MeshVertex& v : vertices_) {
        v.x += offset.x;
        v.y += offset.y;
        v.z += offset.z;
    }
}

Box Mesh::calculateMeshBounds() const {
    if (vertices_.empty()) return Box{};
    constexpr float kHighest = std::numeric_limits<float>::max();
    constexpr float kLowest = std::numeric_limits<float>::lowest();
    Box bounds{{kHighest, kHighest, kHighest}, {kLowest, kLowest, kLowest}};
    for (const MeshVertex& v : vertices_) {
        bounds.start = {std::min(bounds.start.x, v.x), std::min(bounds.start.y, v.y), std::min(bounds.start.z, v.z)};
        bounds.end = {std::max(bounds.end.x, v.x), std::max(bounds.end.y, v.y), std::max(bounds.end.z, v.z)};
    }
    return bounds;
}

void Mesh::appendToRenderer(BaseRenderer& renderer, const MeshMatrix& matrix,
                            const std::vector<const yafaray::material_t*>& materials) const {
    yafaray::yafrayInterface_t* yi = renderer.yafrayinterface();
    if (!renderer.isYafarayRenderer() || !yi || vertices_.empty() || faces_.empty() || materials.empty()) return;
    unsigned int meshID = 0;
    yi->startTriMesh(meshID, 0, 0, false, true, 0);
    std::vector<int> vertexIDs(vertices_.size());
    std::vector<int> uvIDs(vertices_.size());
    for (size_t i = 0; i < vertices_.size(); ++i) {
        const MeshVertex& v = vertices_[i];
        const std::array<double, 3> p = matrix.transform(v.x, v.y, v.z);
        vertexIDs[i] = yi->addVertex(p[0], p[2], p[1]);  // object y is the world's height (z)
        uvIDs[i] = yi->addUV(uvs_[i].u * kUVScale, uvs_[i].v * kUVScale);
    }
    const uint32_t count = verticesCount();
    for (const MeshFace& face : faces_) {
        if (face.a >= count || face.b >= count || face.c >= count) continue;
        // A stored material number the table does not reach falls back on the first material.
        const bool known = face.material >= 0 && static_cast<size_t>(face.material) < materials.size();
        const yafaray::material_t* material = materials[known ? static_cast<size_t>(face.material) : 0];
        yi->addTriangle(vertexIDs[face.a], vertexIDs[face.b], vertexIDs[face.c], uvIDs[face.a], uvIDs[face.b],
                        uvIDs[face.c], material);
    }
    yi->endTriMesh();
    yi->smoothMesh(meshID, kSmoothingAngle);
}

void Mesh::encode(KeyedArchiver& coder) const {
    coder.encodeObject("meshObject", meshObject_);
    std::vector<uint8_t> vertices;
    vertices.reserve(vertices_.size() * kVertexBytes);
    for (const MeshVertex& v : vertices_) {
        putFloat(vertices, v.x);
        putFloat(vertices, v.y);
        putFloat(vertices, v.z);
    }
    coder.encodeData("verticesData", vertices);
    std::vector<uint8_t> uvs;
    uvs.reserve(uvs_.size() * kUVBytes);
    for (const MeshUV& uv : uvs_) {
        putFloat(uvs, uv.u);
        putFloat(uvs, uv.v);
    }
    coder.encodeData("uvsData", uvs);
    coder.encodeInt32("verticesCount", static_cast<int32_t>(verticesCount()));
    std::vector<uint8_t> faces;
    faces.reserve(faces_.size() * kFaceBytes);
    for (const MeshFace& face : faces_) {
        putUInt32(faces, face.a);
        putUInt32(faces, face.b);
        putUInt32(faces, face.c);
        const auto material = static_cast<uint16_t>(face.material);
        faces.push_back(static_cast<uint8_t>(material));
        faces.push_back(static_cast<uint8_t>(material >> 8));
        faces.push_back(0);
        faces.push_back(0);
    }
    coder.encodeData("facesData", faces);
    coder.encodeInt32("facesCount", static_cast<int32_t>(facesCount()));
}

void Mesh::decode(KeyedUnarchiver& coder) {
    // "meshObject" is not read back: the object being decoded adopts its meshes.
    meshObject_ = nullptr;
    // The counts are unsigned 32-bit values stored in signed fields.
    const int64_t verticesCount = static_cast<uint32_t>(coder.decodeInt32("verticesCount"));
    const int64_t facesCount = static_cast<uint32_t>(coder.decodeInt32("facesCount"));
    auto vertices = blockOfCount(coder, "verticesData", verticesCount, kVertexBytes, "verticesCount");
    if (!vertices) return;
    auto uvs = blockOfCount(coder, "uvsData", verticesCount, kUVBytes, "verticesCount");
    if (!uvs) return;
    auto faces = blockOfCount(coder, "facesData", facesCount, kFaceBytes, "facesCount");
    if (!faces) return;

    vertices_.resize(static_cast<size_t>(verticesCount));
    uvs_.resize(static_cast<size_t>(verticesCount));
    for (size_t i = 0; i < vertices_.size(); ++i) {
        const uint8_t* v = vertices->data() + i * kVertexBytes;
        vertices_[i] = {getFloat(v), getFloat(v + 4), getFloat(v + 8)};
        const uint8_t* uv = uvs->data() + i * kUVBytes;
        uvs_[i] = {getFloat(uv), getFloat(uv + 4)};
    }
    faces_.resize(static_cast<size_t>(facesCount));
    for (size_t i = 0; i < faces_.size(); ++i) {
        const uint8_t* f = faces->data() + i * kFaceBytes;
        const auto material = static_cast<uint16_t>(f[12] | f[13] << 8);
        faces_[i] = {getUInt32(f), getUInt32(f + 4), getUInt32(f + 8), static_cast<int16_t>(material)};
    }
}

}  // namespace korvane
