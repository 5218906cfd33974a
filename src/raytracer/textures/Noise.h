#pragma once

// Scalar noise over 3-D space, the basis of every procedural texture. Each generator is
// deterministic (fixed tables, no global state) and safe to call from any thread.

#include <cmath>
#include <memory>
#include <string>

#include "raytracer/core/Vector.h"

namespace yafaray {

class noiseGenerator_t {
public:
    virtual ~noiseGenerator_t() = default;
    // Noise value at p; see each generator for its range.
    virtual float operator()(const point3d_t& p) const = 0;
    // The value at p (as operator() gives it) and its gradient per unit of p, for bump mapping
    // from one look-up. The generators below differentiate analytically; the default takes
    // central differences.
    virtual float valueAndGradient(const point3d_t& p, vector3d_t& gradient) const;

    // Averages over space of the noise n and of its fold |2n − 1|: what an octave looks like
    // from so far away that its features are smaller than a pixel. Set by measureAverages.
    float average() const { return average_; }
    float foldedAverage() const { return foldedAverage_; }
    // Measures both averages over a fixed scatter of points (newNoiseGenerator calls it).
    void measureAverages();

private:
    float average_ = 0.5f, foldedAverage_ = 0.5f;
};

// "newperlin": improved gradient noise (quintic fade, 12 cube-edge gradients) over a fixed
// permutation table. 0.5 + 0.5·n with |n| ≤ 1: within [0, 1]; 0.5 on every lattice point.
class newPerlinNoise_t : public noiseGenerator_t {
public:
    float operator()(const point3d_t& p) const override;
    float valueAndGradient(const point3d_t& p, vector3d_t& gradient) const override;
    // The signed lattice noise n itself, in [-1, 1].
    static float raw(const point3d_t& p);
};

// "stdperlin": classic lattice gradient noise with tabulated random unit gradients and cubic
// weights, evaluated at p + 10000. 0.5 + 0.75·n, within [-0.1, 1.1] (it may overshoot [0, 1]
// slightly); 0.5 on every lattice point.
class stdPerlinNoise_t : public noiseGenerator_t {
public:
    float operator()(const point3d_t& p) const override;
    float valueAndGradient(const point3d_t& p, vector3d_t& gradient) const override;
};

// Worley cellular distances: one hashed feature point per unit cell, the 3×3×3 cells around p
// searched with Euclidean distance.
class voronoiNoise_t : public noiseGenerator_t {
public:
    enum class kind_t { F1, F2, F3, F4, F2F1, crackle };
    explicit voronoiNoise_t(kind_t kind) : kind_(kind) {}
    // F1…F4: distance to the 1st…4th nearest feature point, in [0, 2√3]. F2F1: F2 − F1 ≥ 0,
    // within [0, 2√3]. crackle: min(1, 10·(F2 − F1)), in [0, 1].
    float operator()(const point3d_t& p) const override;
    float valueAndGradient(const point3d_t& p, vector3d_t& gradient) const override;
    // The four nearest distances, ascending.
    static void distances(const point3d_t& p, float f[4]);

private:
    // The `count` (1…4) nearest distances in f[0…count−1], ascending; the rest of f is unspecified.
    // With `away`, also the unit vectors from each of those feature points towards p (the
    // distances' gradients).
    static void nearest(const point3d_t& p, int count, float f[4], vector3d_t* away = nullptr);
    // The generator's value from the four distances.
    float fromDistances(const float f[4]) const;

    kind_t kind_;
};

// "cellnoise": one constant per unit cell, in [0, 1).
class cellNoise_t : public noiseGenerator_t {
public:
    float operator()(const point3d_t& p) const override;
    // Constant per cell: no slope (the steps at the cell walls have none to give).
    float valueAndGradient(const point3d_t& p, vector3d_t& gradient) const override {
        gradient = vector3d_t(0.f, 0.f, 0.f);
        return (*this)(p);
    }
};

// Largest value voronoi distances can take (two cells away along a diagonal).
constexpr float kVoronoiMaxDistance = 3.4641016f;

// Generator for a "noise_type" name: "stdperlin", "newperlin", "voronoi_f1" … "voronoi_f4",
// "voronoi_f2f1", "voronoi_crackle", "cellnoise"; any other name (empty included) gives
// "newperlin". Never null.
std::unique_ptr<noiseGenerator_t> newNoiseGenerator(const std::string& type);

// The signed form 2n − 1 that musgrave and distorted noise build on.
inline float signedNoise(const noiseGenerator_t& noise, const point3d_t& p) {
    return 2.f * noise(p) - 1.f;
}

// How much of a noise whose features are about one unit across survives being seen through a
// footprint `width` units wide: 1 while a feature spans several footprints, falling smoothly to
// 0 once the footprint covers a whole feature. Pixel-sized detail would only alias into grain.
inline float featureVisibility(float width) {
    constexpr float kSharp = 0.3f, kGone = 1.f;
    if (width <= kSharp) return 1.f;
    if (width >= kGone) return 0.f;
    const float t = (kGone - width) / (kGone - kSharp);
    return t * t * (3.f - 2.f * t);
}

// Noise at p averaged over a footprint `width` wide: the noise itself, faded towards its
// average as the features shrink below the footprint (not evaluated at all once invisible).
inline float filteredNoise(const noiseGenerator_t& noise, const point3d_t& p, float width) {
    const float visible = featureVisibility(width);
    if (visible <= 0.f) return noise.average();
    const float n = noise(p);
    return visible >= 1.f ? n : noise.average() + visible * (n - noise.average());
}

// The fold |2n − 1| at p averaged over a footprint `width` wide, like filteredNoise.
inline float filteredFoldedNoise(const noiseGenerator_t& noise, const point3d_t& p, float width) {
    const float visible = featureVisibility(width);
    if (visible <= 0.f) return noise.foldedAverage();
    const float n = std::fabs(2.f * noise(p) - 1.f);
    return visible >= 1.f ? n : noise.foldedAverage() + visible * (n - noise.foldedAverage());
}

// filteredNoise with its gradient (which fades with the detail).
inline float filteredNoiseGradient(const noiseGenerator_t& noise, const point3d_t& p, float width,
                                   vector3d_t& gradient) {
    const float visible = featureVisibility(width);
    if (visible <= 0.f) {
        gradient = vector3d_t(0.f, 0.f, 0.f);
        return noise.average();
    }
    const float n = noise.valueAndGradient(p, gradient);
    if (visible >= 1.f) return n;
    gradient = gradient * visible;
    return noise.average() + visible * (n - noise.average());
}

// filteredFoldedNoise with its gradient.
inline float filteredFoldedNoiseGradient(const noiseGenerator_t& noise, const point3d_t& p, float width,
                                         vector3d_t& gradient) {
    const float visible = featureVisibility(width);
    if (visible <= 0.f) {
        gradient = vector3d_t(0.f, 0.f, 0.f);
        return noise.foldedAverage();
    }
    const float s = 2.f * noise.valueAndGradient(p, gradient) - 1.f;
    gradient = gradient * ((s < 0.f ? -2.f : 2.f) * visible);
    const float n = std::fabs(s);
    return visible >= 1.f ? n : noise.foldedAverage() + visible * (n - noise.foldedAverage());
}

// The signed form of filteredNoise.
inline float filteredSignedNoise(const noiseGenerator_t& noise, const point3d_t& p, float width) {
    return 2.f * filteredNoise(noise, p, width) - 1.f;
}

}  // namespace yafaray
