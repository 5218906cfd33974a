#pragma once

// "FixedNoiseVolume": the clouds' medium. Its density comes from a noise texture through a soft
// (logistic) threshold set by cover and sharpness, and fades out towards the surface of the
// ellipsoid inscribed in its box (edgeMode 0) or fills the whole box (edgeMode 1).

#include <memory>
#include <mutex>
#include <vector>

#include "raytracer/core/Volume.h"

namespace yafaray {

class renderEnvironment_t;

class FixedNoiseVolume : public DensityVolume {
public:
    enum edgeMode_t { ellipsoid = 0, box = 1 };
    // The texture is sampled at this fraction of the world position.
    static constexpr float kTextureScale = 0.1f;

    // texture may be null (a texture name that was not found): the region then holds no medium.
    FixedNoiseVolume(const volumeRegionParams_t& params, const texture_t* texture, float sharpness,
                     float cover, float density, int edgeMode);

    // Any render thread.
    float Density(const point3d_t& p) const override;

protected:
    // Shadow rays and the attenuation grids march through the clouds many times over: they read
    // the texture's mean from a grid made on the first march, at a quarter of its step (detail
    // finer than the step is not resolved by the march anyway), interpolated trilinearly. A box
    // that would need too large a grid reads the texture.
    float marchedDensity(const point3d_t& p, float step) const override;

private:
    // Texture means at the points a + spacing·(i, j, k) covering the box, x fastest.
    struct meanGrid_t {
        float spacing = 0.f;
        int nx = 0, ny = 0, nz = 0;
        std::vector<float> mean;
        float at(const point3d_t& fromCorner) const;
    };
    // Grid points at most; beyond, the grid is not made.
    static constexpr size_t kMaxGridPoints = size_t(1) << 18;
    const meanGrid_t* meanGrid(float step) const;
    // The texture's mean value at p.
    float textureMean(const point3d_t& p) const;
    float logistic(float mean) const;

    // 1 − the ellipsoidal distance of p from the box centre: 1 at the centre, 0 on the ellipsoid
    // inscribed in the box; 0 for a box that is flat along an axis.
    float ellipsoidFalloff(const point3d_t& p) const;
    // Logistic threshold of the texture's mean value at p.
    float coverage(const point3d_t& p) const;

    const texture_t* texture_;
    float sharpness2_, cover_, density_;
    int edgeMode_;
    mutable std::once_flag gridMade_;
    mutable std::unique_ptr<meanGrid_t> grid_;  // null where the box is too large for one
};

// Factory of "FixedNoiseVolume". Logs "mytex not found" and still creates the region when the
// texture named "textureName" does not exist.
VolumeRegion* fixedNoiseVolumeFactory(paraMap_t& params, renderEnvironment_t& env);

// Registers the factory under "FixedNoiseVolume".
void registerFixedNoiseVolume(renderEnvironment_t& env);

}  // namespace yafaray
