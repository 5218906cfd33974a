#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "raytracer/core/Vector.h"

namespace yafaray {

// Result of a closest-hit query: the hit distance, Embree's barycentrics and the triangle.
struct embreeHit_t {
    float t = 0.f;
    float u = 0.f, v = 0.f;  // hit = (1-u-v)·v0 + u·v1 + v·v2
    uint32_t geomID = 0;
    uint32_t primID = 0;
    vector3d_t Ng;  // unnormalised geometric normal, oriented as cross(v1 − v0, v2 − v0)
};

// The only place that talks to Embree: one device (with an error callback that logs) and one
// triangle scene. Geometry buffers are shared, not copied: they must outlive the scene and
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
    // Builds the BVH; false on failure. Build thread only.
    bool commit();
    // Closest hit in (ray.tmin, ray.tmax); tmax < 0 means unbounded. Any thread after commit.
    bool intersect(const ray_t& ray, embreeHit_t& hit) const;
    // True when anything blocks the segment. Any thread after commit.
    bool occluded(const ray_t& ray) const;
    // Intersects up to 16 rays at once (valid[i] != 0 marks used lanes); hit[i].t < 0 on a miss.
    void intersect16(const int* valid, const ray_t* rays, embreeHit_t* hits) const;

private:
    struct impl_t;
    std::unique_ptr<impl_t> impl_;
};

}  // namespace yafaray
