#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "raytracer/core/MeshShape.h"

namespace yafaray {

// Built shapes of the last render that ended its geometry, kept for the next one: a render that
// follows with meshes of the same content (the live preview restarting after a sky or fog change)
// takes their acceleration structures instead of building them again. It holds one render's
// shapes at most; each new render replaces them with its own, and shapes no render uses any more
// are freed then. Thread-safe.
class GeometryCache {
public:
    static GeometryCache& shared();

    // A built shape with the same content as `shape` (sealed), or null.
    std::shared_ptr<const meshShape_t> find(const meshShape_t& shape) const;
    // Keeps these shapes for the next render, in place of the ones held.
    void keep(std::vector<std::shared_ptr<const meshShape_t>> shapes);
    // Frees everything held.
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<const meshShape_t>> shapes_;
};

}  // namespace yafaray
