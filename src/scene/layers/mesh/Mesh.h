#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/archive/Archivable.h"
#include "scene/layers/clouds/Box.h"
#include "scene/layers/mesh/MeshMatrix.h"

namespace yafaray {
class material_t;
}

namespace korvane {

class BaseRenderer;
class MeshObject;

struct MeshVertex {
    float x = 0, y = 0, z = 0;
    bool operator==(const MeshVertex&) const = default;
};

struct MeshUV {
    float u = 0, v = 0;
    bool operator==(const MeshUV&) const = default;
};

// Three vertex indices and an index into the owning object's materials.
struct MeshFace {
    uint32_t a = 0, b = 0, c = 0;
    int16_t material = 0;
    bool operator==(const MeshFace&) const = default;
};

// One triangle mesh of an imported object, in the object's coordinates (y up). Vertices, UVs and
// faces are contiguous arrays stored in the archive as raw little-endian blocks. Edited on the main
// thread inside its object's geometry bracket; appended on the render worker.
class Mesh final : public Archivable {
public:
    explicit Mesh(MeshObject* meshObject = nullptr);  // initWithMeshObject:

    // The owning object (not owned).
    MeshObject* meshObject() const { return meshObject_; }
    void setMeshObject(MeshObject* object) { meshObject_ = object; }

    uint32_t verticesCount() const { return static_cast<uint32_t>(vertices_.size()); }
    const std::vector<MeshVertex>& vertices() const { return vertices_; }
    const std::vector<MeshUV>& uvs() const { return uvs_; }  // one per vertex
    uint32_t facesCount() const { return static_cast<uint32_t>(faces_.size()); }
    const std::vector<MeshFace>& faces() const { return faces_; }
    // Faces may be changed in place (material merges); the count cannot.
    std::vector<MeshFace>& mutableFaces() { return faces_; }

    void addVertex(MeshVertex vertex, MeshUV uv);
    void addFace(MeshFace face);
    void multiplyAllVerticesBy(float factor);
    void moveAllVerticesBy(MeshVertex offset);
    // Minimum and maximum of x, y, z over the vertices; all zeros without vertices.
    Box calculateMeshBounds() const;

    // One smoothed triangle mesh transformed by `matrix` (object y becomes the world's height), with
    // each face's material taken from `materials`; faces pointing at a vertex the mesh does not
    // have are left out. A mesh without vertices or faces adds nothing. Render worker thread.
    void appendToRenderer(BaseRenderer& renderer, const MeshMatrix& matrix,
                          const std::vector<const yafaray::material_t*>& materials) const;

    // Archive: "meshObject", "verticesData", "uvsData", "verticesCount", "facesData", "facesCount".
    // A count that disagrees with its block's length fails the archive: the file is damaged.
    std::string archiveClassName() const override { return "Mesh"; }
    void encode(KeyedArchiver& coder) const override;
    void decode(KeyedUnarchiver& coder) override;

private:
    MeshObject* meshObject_ = nullptr;
    std::vector<MeshVertex> vertices_;
    std::vector<MeshUV> uvs_;
    std::vector<MeshFace> faces_;
};

}  // namespace korvane
