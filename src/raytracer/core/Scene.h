#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "raytracer/core/EmbreeScene.h"
#include "raytracer/core/Plugin.h"

namespace yafaray {

// Mesh type flags of startTriMesh.
constexpr int kMeshTypeMask = 0xFF;
constexpr int kMeshInvisible = 0x100;
constexpr int kMeshBase = 0x200;

// All triangle geometry of a render. Every mesh appends to shared arrays, so thousands of tiny
// meshes cost a few bytes each and end up in a handful of Embree geometries at endGeometry.
class scene_t {
public:
    scene_t();
    ~scene_t();

    // Geometry state. Build thread only.
    bool startGeometry();
    bool endGeometry();
    bool inGeometry() const { return inGeometry_; }

    bool startTriMesh(unsigned int id, bool hasOrco, bool hasUV, int type);
    // Index of the new vertex in the open mesh, or -1 without an open mesh.
    int addVertex(const point3d_t& p);
    int addUV(float u, float v);
    // Vertex indices are local to the open mesh; UV indices local to its UV list (-1: none).
    // A degenerate triangle (a repeated vertex, no area, or a coordinate that is not finite) is
    // dropped and false returned: no ray can hit it and it only costs time in smoothing; endTriMesh
    // logs how many one mesh lost.
    bool addTriangle(int a, int b, int c, int ua, int ub, int uc, const material_t* mat);
    bool endTriMesh();
    // Angle-limited smooth normals for mesh id (0: the mesh started last). Time linear in the
    // mesh's triangles however many share a vertex.
    bool smoothMesh(unsigned int id, float angleDeg);
    // Face-normal comparisons the last smoothMesh made: its cost, which tests bound.
    size_t smoothingComparisons() const { return smoothingComparisons_; }

    // Closest hit along the ray, filled into sp; t receives the distance. Any thread after build.
    bool intersect(const ray_t& ray, surfacePoint_t& sp, float& t) const;
    // True when an opaque surface blocks the ray.
    bool isShadowed(const ray_t& ray) const;
    // Shadow test passing through up to maxTransparent transparent surfaces; filter receives
    // the product of their transmission.
    bool isShadowed(const ray_t& ray, int maxTransparent, color_t& filter) const;

    // Low-level access for packet tracing.
    const EmbreeScene* accelerator() const { return accel_.get(); }
    void fillSurfacePoint(const ray_t& ray, const embreeHit_t& hit, surfacePoint_t& sp) const;

    size_t triangleCount() const { return info_.size(); }
    size_t meshCount() const { return meshes_.size(); }
    size_t geometryCount() const { return geometryBase_.size(); }
    bool built() const { return accel_ != nullptr; }

    // Forgets all geometry.
    void clear();

private:
    struct mesh_t {
        unsigned int id = 0;
        int type = 0;
        bool hasOrco = false;
        bool hasUV = false;
        uint32_t vertexBase = 0, vertexEnd = 0;
        uint32_t uvBase = 0;
        uint32_t triBegin = 0, triEnd = 0;
    };
    struct triInfo_t {
        const material_t* material = nullptr;
        std::array<int32_t, 3> uv{-1, -1, -1};
        std::array<int32_t, 3> normal{-1, -1, -1};
    };

    mesh_t* findMesh(unsigned int id);
    vector3d_t faceNormal(size_t tri) const;

    bool inGeometry_ = false;
    bool meshOpen_ = false;
    size_t degenerateInMesh_ = 0;
    size_t smoothingComparisons_ = 0;
    std::vector<mesh_t> meshes_;
    std::vector<point3d_t> vertices_;  // one padding vertex at the end once built
    std::vector<std::array<float, 2>> uvs_;
    std::vector<uint32_t> indices_;  // three global vertex indices per triangle
    std::vector<triInfo_t> info_;
    std::vector<vector3d_t> normals_;
    std::vector<uint32_t> geometryBase_;  // first global triangle of each Embree geometry
    std::unique_ptr<EmbreeScene> accel_;
};

}  // namespace yafaray
