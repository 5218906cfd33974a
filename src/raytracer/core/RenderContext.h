#pragma once

#include <vector>

#include "raytracer/core/Plugin.h"
#include "raytracer/core/Scene.h"

namespace yafaray {

// What integrators see of the scene while a render runs. Read-only on the render threads.
struct renderContext_t {
    const scene_t* scene = nullptr;
    const camera_t* camera = nullptr;
    const background_t* background = nullptr;
    const volumeIntegrator_t* volumeIntegrator = nullptr;
    std::vector<const light_t*> lights;
    // The volume regions of the scene, in creation order.
    std::vector<VolumeRegion*> volumeRegions;
    // World-space width one image sample covers per unit of distance travelled from the camera
    // (0: unknown); integrators turn it into each surface point's footprint.
    float pixelSpread = 0.f;
};

// Start offset of shadow rays at p, relative to the size of the coordinates.
inline float shadowBias(const point3d_t& p) {
    return 0.0005f * std::max(1.f, p.length());
}
// Start offset of other secondary rays at p.
inline float minRayDist(const point3d_t& p) {
    return 0.00005f * std::max(1.f, p.length());
}

}  // namespace yafaray
