#include "raytracer/core/GeometryCache.h"

namespace yafaray {

GeometryCache& GeometryCache::shared() {
    static GeometryCache cache;
    return cache;
}

std::shared_ptr<const meshShape_t> GeometryCache::find(const meshShape_t& shape) const {
    std::lock_guard lock(mutex_);
    for (const auto& held : shapes_) {
        if (held->hash == shape.hash && held->sameContent(shape)) return held;
    }
    return nullptr;
}

void GeometryCache::keep(std::vector<std::shared_ptr<const meshShape_t>> shapes) {
    std::vector<std::shared_ptr<const meshShape_t>> released;
    {
        std::lock_guard lock(mutex_);
        released.swap(shapes_);
        shapes_ = std::move(shapes);
    }
    // The shapes no longer held are freed here, outside the lock.
}

void GeometryCache::clear() {
    keep({});
}

}  // namespace yafaray
