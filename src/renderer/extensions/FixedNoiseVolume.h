#pragma once

// "FixedNoiseVolume": the clouds' medium. Its density comes from a noise texture through a soft
// (logistic) threshold set by cover and sharpness, and fades out towards the surface of the
// ellipsoid inscribed in its box (edgeMode 0) or fills the whole box (edgeMode 1).

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

private:
    // 1 − the ellipsoidal distance of p from the box centre: 1 at the centre, 0 on the ellipsoid
    // inscribed in the box; 0 for a box that is flat along an axis.
    float ellipsoidFalloff(const point3d_t& p) const;
    // Logistic threshold of the texture's mean value at p.
    float coverage(const point3d_t& p) const;

    const texture_t* texture_;
    float sharpness2_, cover_, density_;
    int edgeMode_;
};

// Factory of "FixedNoiseVolume". Logs "mytex not found" and still creates the region when the
// texture named "textureName" does not exist.
VolumeRegion* fixedNoiseVolumeFactory(paraMap_t& params, renderEnvironment_t& env);

// Registers the factory under "FixedNoiseVolume".
void registerFixedNoiseVolume(renderEnvironment_t& env);

}  // namespace yafaray
