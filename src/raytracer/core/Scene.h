#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "raytracer/core/EmbreeScene.h"
#include "raytracer/core/MeshShape.h"
#include "raytracer/core/Plugin.h"
#include "raytracer/core/Volume.h"

namespace yafaray {

// Mesh type flags of startTriMesh.
constexpr int kMeshTypeMask = 0xFF;
constexpr int kMeshInvisible = 0x100;
constexpr int kMeshBase = 0x200;

// All triangle geometry of a render. Consecutive meshes share one compact shape (thousands of
// tiny meshes cost a few bytes each), a large mesh ends its shape so that each layer's geometry
// can be reused on its own, and a mesh that repeats an earlier one up to a rotation, uniform scale
// and translation becomes an instance of one shared copy. At endGeometry every shape is built
// once as an Embree shape and placed in the top-level scene; shapes whose content equals one of
// the previous render take its built structure (GeometryCache).
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
    // mesh's triangles however many share a vertex. A repeated mesh is smoothed with its shared
    // shape, once per angle, at endGeometry.
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
    // Up to 8 shadow tests of rays running nearly side by side (one small light seen from one
    // point) at once, valid[i] != 0 marking the rays used; each answered as isShadowed() answers
    // it: with `filters`, through transparent surfaces as above; without, any surface blocks.
    void areShadowed(const int* valid, const ray_t* rays, bool* shadowed, int maxTransparent = 0,
                     color_t* filters = nullptr) const;

    // Low-level access for packet tracing.
    const EmbreeScene* accelerator() const { return accel_.get(); }
    void fillSurfacePoint(const ray_t& ray, const embreeHit_t& hit, surfacePoint_t& sp) const;

    size_t triangleCount() const { return triangles_; }
    size_t meshCount() const { return meshes_.size(); }
    // Embree geometries of the top-level scene: one per shape part placed.
    size_t geometryCount() const { return instances_.size(); }
    // Meshes placed as instances of a shape shared with an earlier mesh.
    size_t repeatedMeshCount() const { return repeats_.size(); }
    // Distinct shapes built or reused at the last endGeometry, and how many of them came from the
    // previous render.
    size_t shapeCount() const { return shapesUsed_.size(); }
    size_t reusedShapeCount() const { return reusedShapes_; }
    // Bytes held by this scene's shape arrays (not counting Embree's structures).
    size_t shapeBytes() const;
    bool built() const { return accel_ != nullptr; }

    // Forgets all geometry.
    void clear();

private:
    // The transparent part of a shadow test whose ray no opaque surface blocks: walks the
    // transparent surfaces nearest first, multiplying their transmission into filter (which
    // starts at 1), and absorbs inside closed bodies; true when blocked after all.
    bool blockedByTransparent(const ray_t& ray, int maxTransparent, color_t& filter) const;

    struct mesh_t {
        unsigned int id = 0;
        int type = 0;
        int32_t batch = -1;   // the batch holding its triangles, or -1 for a repeat
        int32_t repeat = -1;  // its entry in repeats_ when it repeats an earlier mesh
        int32_t shared = -1;  // the shared copy made of it once a later mesh repeated it
        uint32_t vertexBase = 0, vertexEnd = 0;  // batch-local
        uint32_t uvBase = 0, uvEnd = 0;
        uint32_t triBegin = 0, triEnd = 0;
        uint64_t signature = 0;  // of its topology, UVs and material pattern (0: not a candidate)
    };
    // Consecutive meshes appended into one shape.
    struct batch_t {
        std::shared_ptr<meshShape_t> shape;
        std::vector<const material_t*> palette;
        std::unordered_map<const material_t*, uint16_t> slots;
        // The material of the triangle before and its slot: meshes name one material for long runs.
        const material_t* lastMaterial = nullptr;
        uint16_t lastSlot = 0;
        bool traced = true;
        std::shared_ptr<const meshShape_t> built;
    };
    // A mesh placed as an instance of a shared shape.
    struct repeat_t {
        int32_t shared = -1;
        std::array<float, 12> xfm{};
        std::vector<const material_t*> palette;
        float angle = 0.f;
        std::shared_ptr<const meshShape_t> built;
    };
    // One Embree instance: a part of a shape, where and with which materials.
    struct instance_t {
        const meshShape_t* shape = nullptr;
        size_t quadBase = 0;
        const std::vector<const material_t*>* palette = nullptr;
        bool identity = true;
        float xfm[12] = {};
        float normalXfm[9] = {};  // inverse transpose of the linear part
    };

    mesh_t* findMesh(unsigned int id);
    uint16_t slotOf(batch_t& batch, const material_t* mat);
    uint64_t signatureOf(const mesh_t& m) const;
    bool sameRepeatable(const mesh_t& a, const mesh_t& b) const;
    // Turns the mesh just ended into an instance when it repeats an earlier one.
    bool placeAsRepeat(mesh_t& m);
    int32_t sharedCopyOf(mesh_t& m);
    std::shared_ptr<const meshShape_t> finish(std::shared_ptr<meshShape_t> shape);
    bool place(const meshShape_t& shape, const std::vector<const material_t*>& palette, const float* xfm);
    // Grows transparentBounds_ by the shape placed with xfm (null: as it is).
    void addTransparentBounds(const meshShape_t& shape, const float* xfm);

    bool inGeometry_ = false;
    bool meshOpen_ = false;
    bool closeBatch_ = false;
    size_t degenerateInMesh_ = 0;
    size_t smoothingComparisons_ = 0;
    size_t triangles_ = 0;
    size_t reusedShapes_ = 0;
    bool hasTransparent_ = false;  // some placed instance may let shadow rays through
    // Around every placed instance that may let shadow rays through (padded): a shadow ray that
    // misses it has nothing to walk. Most shadow rays leave the ground upwards, far from water.
    bound_t transparentBounds_;
    std::unordered_map<const meshShape_t*, bound_t> shapeBounds_;  // in shape space, while building
    std::vector<mesh_t> meshes_;
    std::vector<batch_t> batches_;
    std::vector<repeat_t> repeats_;
    std::vector<std::shared_ptr<meshShape_t>> shared_;  // unsmoothed shapes of repeated meshes
    std::unordered_multimap<uint64_t, uint32_t> candidates_;  // signature → mesh
    std::vector<instance_t> instances_;
    std::vector<std::shared_ptr<const meshShape_t>> shapesUsed_;
    std::unique_ptr<EmbreeScene> accel_;
};

}  // namespace yafaray
