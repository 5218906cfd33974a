#pragma once

// Participating media: the regions that hold a medium and the volume integrators that march
// through them. Regions are created from parameter maps like any plug-in and owned by the render
// environment; volume integrators take the regions and lights when the render prepares.

#include <map>
#include <vector>

#include "raytracer/core/ParamMap.h"
#include "raytracer/core/Plugin.h"

namespace yafaray {

struct renderContext_t;

// Axis-aligned box [a, g] in world units.
struct bound_t {
    point3d_t a, g;

    bound_t() = default;
    bound_t(const point3d_t& pmin, const point3d_t& pmax);
    // Entry and exit distances of the ray's line through the box, looking no further than dist
    // from the ray origin. False when the box is missed or lies wholly behind the origin.
    bool cross(const ray_t& ray, float& enter, float& leave, float dist) const;
    // True for points inside or on the box.
    bool includes(const point3d_t& p) const;
    float longX() const { return g.x - a.x; }
    float longY() const { return g.y - a.y; }
    float longZ() const { return g.z - a.z; }
    point3d_t center() const { return (a + g) * 0.5f; }
};

// A box of participating medium with absorption, scattering and emission coefficients.
class VolumeRegion {
public:
    // A coefficient counts as present when the mean of its channels exceeds this.
    static constexpr float kPresentThreshold = 0.0001f;
    // Rays look for regions no further than this.
    static constexpr float kMaxDistance = 10000.f;
    // Cells per axis of the attenuation grid for each unit of attgridScale.
    static constexpr int kGridCellsPerScale = 8;

    VolumeRegion(const color_t& sa, const color_t& ss, const color_t& le, float gg, const point3d_t& pmin,
                 const point3d_t& pmax, int attgridScale);
    virtual ~VolumeRegion() = default;

    // Coefficients at p for light travelling along v; black outside the box. Any render thread.
    virtual color_t sigma_a(const point3d_t& p, const vector3d_t& v) const = 0;
    virtual color_t sigma_s(const point3d_t& p, const vector3d_t& v) const = 0;
    virtual color_t emission(const point3d_t& p, const vector3d_t& v) const = 0;
    virtual color_t sigma_t(const point3d_t& p, const vector3d_t& v) const { return sigma_a(p, v) + sigma_s(p, v); }
    // sigma_t and sigma_s at once (a density region looks its density up once for both).
    virtual void extinctionAndScattering(const point3d_t& p, const vector3d_t& v, color_t& sigmaT,
                                         color_t& sigmaS) const {
        sigmaT = sigma_t(p, v);
        sigmaS = sigma_s(p, v);
    }
    // Optical thickness along the ray inside the box (clipped to the ray's tmax when positive),
    // marched with the given step from a start offset in [0, 1) of a step.
    virtual color_t tau(const ray_t& ray, float step, float offset) const = 0;

    // Schlick's approximation of the Henyey–Greenstein phase function (a density over the
    // sphere): wl points from the medium towards the light, ws towards the viewer. Positive g
    // favours light that keeps its direction.
    float p(const vector3d_t& wl, const vector3d_t& ws) const;

    // The ray's interval [t0, t1] inside the box, looking no further than kMaxDistance.
    bool intersect(const ray_t& ray, float& t0, float& t1) const {
        return bBox.cross(ray, t0, t1, kMaxDistance);
    }
    const bound_t& getBB() const { return bBox; }
    float g() const { return g_; }

    // Attenuation grids: per light, the fraction of its light that reaches each grid point
    // through all media. Filled by a volume integrator before rendering; read-only afterwards.
    // Where p falls in the grids (every light's grid has the same cells): the cells on either
    // side of p along each axis, clamped at the walls, and p's share of the way between their
    // centres.
    struct gridSpot_t {
        size_t lo[3], hi[3];
        float frac[3];
    };
    gridSpot_t gridSpot(const point3d_t& p) const;
    // Trilinear lookup at a spot; 1 (with a log line once) when the light has no grid.
    float attenuationAt(const gridSpot_t& spot, const light_t* l) const;
    float attenuation(const point3d_t& p, const light_t* l) const { return attenuationAt(gridSpot(p), l); }
    std::map<const light_t*, std::vector<float>> attenuationGridMap;
    int attGridX = 8, attGridY = 8, attGridZ = 8;

protected:
    // The stretch [t0, t1] of the ray's segment (from its origin to tmax, or unbounded) inside
    // the box; false when the segment misses it.
    bool segmentInside(const ray_t& ray, float& t0, float& t1) const;
    // sigma_a + sigma_s of the region's own coefficients (those present).
    color_t extinctionCoefficient() const;

    bound_t bBox;
    color_t s_a, s_s, l_e;
    bool haveS_a = false, haveS_s = false, haveL_e = false;
    float g_ = 0.f;
};

// The keys every region reads: "sigma_a", "sigma_s", "l_e" (a float gives a grey colour; a
// colour is taken as it is), "g", the box "minX" … "maxZ" and "attgridScale".
struct volumeRegionParams_t {
    color_t sigmaA{0.1f}, sigmaS{0.1f}, emission{0.f};
    float g = 0.f;
    point3d_t pmin, pmax;
    int attgridScale = 1;
};
// Reads the common keys over the defaults in `params`; a box given with min above max is
// put in order and the grid scale is limited so that a hostile value cannot allocate hugely.
volumeRegionParams_t readVolumeRegionParams(const paraMap_t& map, volumeRegionParams_t params);

// A region whose coefficients are the region's colours scaled by a density field.
class DensityVolume : public VolumeRegion {
public:
    using VolumeRegion::VolumeRegion;

    // Density at p (world units), for points inside the box.
    virtual float Density(const point3d_t& p) const = 0;

    color_t sigma_a(const point3d_t& p, const vector3d_t& v) const override;
    color_t sigma_s(const point3d_t& p, const vector3d_t& v) const override;
    color_t emission(const point3d_t& p, const vector3d_t& v) const override;
    // (sigma_a + sigma_s)·density from one density look-up.
    color_t sigma_t(const point3d_t& p, const vector3d_t& v) const override;
    void extinctionAndScattering(const point3d_t& p, const vector3d_t& v, color_t& sigmaT,
                                 color_t& sigmaS) const override;
    color_t tau(const ray_t& ray, float step, float offset) const override;

protected:
    // The density tau() marches through, for points inside the box; `step` is the march's step.
    // Density itself unless a region has a cheaper stand-in that is as good at that step.
    virtual float marchedDensity(const point3d_t& p, float step) const {
        (void)step;
        return Density(p);
    }
};

// Marches through the scene's volume regions; the surface integrators multiply what lies
// behind the media by transmittance and add integrate's in-scattered light.
class volumeIntegrator_t : public integrator_t {
public:
    kind_t kind() const override { return kind_t::volume; }
    // Takes the regions and lights of ctx; called once before rendering on the build thread.
    bool preprocess(const renderContext_t& ctx) override;
    // Transmittance along the ray segment [tmin, tmax] (tmax < 0: unbounded); 1 without media.
    // Any render thread.
    virtual colorA_t transmittance(const renderContext_t&, renderState_t&, const ray_t&) const {
        return colorA_t(color_t(1.f), 1.f);
    }
    // Light added along the segment. Any render thread.
    virtual colorA_t integrate(const renderContext_t&, renderState_t&, const ray_t&) const {
        return colorA_t(color_t(0.f), 0.f);
    }

protected:
    std::vector<VolumeRegion*> listVR;
    std::vector<const light_t*> lights;
};

}  // namespace yafaray
