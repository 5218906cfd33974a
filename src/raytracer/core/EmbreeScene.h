#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "raytracer/core/Vector.h"

namespace yafaray {

// Ray masks: every instance carries one of the first two; a query sees the instances whose mask
// shares a bit with its own.
enum geometryMask_t : uint32_t {
    kOpaqueGeometry = 1u,       // instances whose triangles all block light
    kTransparentGeometry = 2u,  // instances with at least one triangle that may let light through
    kAnyGeometry = 0xFFFFFFFFu,
};

// Result of a closest-hit query: the hit distance, Embree's barycentrics and the triangle.
struct embreeHit_t {
    float t = 0.f;
    float u = 0.f, v = 0.f;  // hit = (1-u-v)·v0 + u·v1 + v·v2
    uint32_t instID = 0;  // the instance hit, in the top-level scene
    uint32_t geomID = 0;
    uint32_t primID = 0;
    // Unnormalised geometric normal, oriented as cross(v1 − v0, v2 − v0), in the space of the
    // instanced shape (the caller transforms it to world space).
    vector3d_t Ng;
};

// A bottom-level Embree scene: a quad geometry over shared buffers (four vertex indices per
// quad, triangles (v0, v1, v3) and (v2, v3, v1); v2 = v3 for a lone triangle) and a grid geometry
// (cells triangulated the same way), built once and placed in any number of top-level scenes
// through instances. A hit's geomID names the geometry; its primID is the quad, with (u, v) the
// quad's parameters, or the grid, with (u, v) over the whole grid. The buffers must outlive it
// and the vertex array must have one readable float3 past its last vertex. Built on the build
// thread; read-only (any thread) afterwards.
class EmbreeShape {
public:
    // Geometry ids within a shape: a hit's geomID says which of the two its primID numbers.
    static constexpr uint32_t kQuadGeometry = 0;
    static constexpr uint32_t kGridGeometry = 1;
    // grids: gridCount RTCGrid records (start vertex, stride, width, height) gridStride bytes apart.
    EmbreeShape(const float* vertices, size_t vertexCount, const uint32_t* quads, size_t quadCount,
                const void* grids = nullptr, size_t gridCount = 0, size_t gridStride = 0);
    ~EmbreeShape();
    EmbreeShape(const EmbreeShape&) = delete;
    EmbreeShape& operator=(const EmbreeShape&) = delete;
    // False when Embree refused the geometry (the error was logged).
    bool valid() const { return scene_ != nullptr; }

private:
    friend class EmbreeScene;
    void* scene_ = nullptr;  // RTCScene
};

// The only place that talks to Embree: one device (with an error callback that logs) and one
// top-level scene of triangles and shape instances. Geometry buffers are shared, not copied: they must outlive the scene and
// the vertex array must have one readable float3 past its last vertex.
class EmbreeScene {
public:
    EmbreeScene();
    ~EmbreeScene();
    EmbreeScene(const EmbreeScene&) = delete;
    EmbreeScene& operator=(const EmbreeScene&) = delete;

    // False when the device could not be created (the error was logged).
    bool valid() const;
    // Attaches triangles indices[0..3·triangles) into vertices[0..vertexCount); returns the
    // geometry id, or -1 on failure. Build thread only, before commit.
    int addTriangles(const float* vertices, size_t vertexCount, const uint32_t* indices, size_t triangles);
    // Places a built shape; xfm is the 3 × 4 row-major affine map from shape to world space, null
    // for the identity, mask one of geometryMask_t. The shape must outlive the scene. Returns the
    // geometry (instance) id or -1.
    int addInstance(const EmbreeShape& shape, const float* xfm, uint32_t mask = kOpaqueGeometry);
    // Builds the BVH; false on failure. Build thread only.
    bool commit();
    // Closest hit in (ray.tmin, ray.tmax); tmax < 0 means unbounded. Any thread after commit.
    // Only instances whose mask shares a bit with mask are seen.
    bool intersect(const ray_t& ray, embreeHit_t& hit, uint32_t mask = kAnyGeometry) const;
    // True when anything (of the instances mask selects) blocks the segment. Any thread after commit.
    bool occluded(const ray_t& ray, uint32_t mask = kAnyGeometry) const;
    // Bytes Embree holds for all scenes and shapes of the process (acceleration structures and
    // build buffers), for benches and tests that count memory. Any thread.
    static size_t deviceBytes();
    // Intersects up to 16 rays at once (valid[i] != 0 marks used lanes); hit[i].t < 0 on a miss.
    void intersect16(const int* valid, const ray_t* rays, embreeHit_t* hits) const;
    // Occlusion of up to 8 rays running nearly side by side, traversed together (valid[i] != 0
    // marks used lanes): blocked[i] as occluded() gives it for rays[i].
    void occluded8(const int* valid, const ray_t* rays, bool* blocked, uint32_t mask) const;

private:
    struct impl_t;
    std::unique_ptr<impl_t> impl_;
};

}  // namespace yafaray
