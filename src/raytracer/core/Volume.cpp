#include "raytracer/core/Volume.h"

#include <algorithm>
#include <cmath>

#include "raytracer/core/Log.h"
#include "raytracer/core/RenderContext.h"

namespace yafaray {
namespace {

// Largest attgridScale honoured: 8·12 = 96 cells per axis, under 4 MB of floats per light.
constexpr int kMaxGridScale = 12;
// Ray marching never takes more steps than this along one segment, whatever the step size.
constexpr float kMaxMarchSteps = 100000.f;

float component(const point3d_t& p, int axis) {
    return axis == 0 ? p.x : (axis == 1 ? p.y : p.z);
}

color_t readCoefficient(const paraMap_t& map, const char* name, const color_t& fallback) {
    float grey = 0.f;
    if (map.getParam(name, grey)) return color_t(grey);
    color_t c = fallback;
    map.getParam(name, c);
    return c;
}

}  // namespace

bound_t::bound_t(const point3d_t& pmin, const point3d_t& pmax) : a(pmin), g(pmax) {}

bool bound_t::cross(const ray_t& ray, float& enter, float& leave, float dist) const {
    float t0 = -1e30f, t1 = 1e30f;
    for (int axis = 0; axis < 3; ++axis) {
        const float o = component(ray.from, axis), d = component(ray.dir, axis);
        const float lo = component(a, axis), hi = component(g, axis);
        if (d == 0.f) {
            if (o < lo || o > hi) return false;
            continue;
        }
        float n = (lo - o) / d, f = (hi - o) / d;
        if (n > f) std::swap(n, f);
        t0 = std::max(t0, n);
        t1 = std::min(t1, f);
        if (t0 > t1) return false;
    }
    if (t1 < 0.f || t0 > dist) return false;
    enter = t0;
    leave = std::min(t1, dist);
    return true;
}

bool bound_t::includes(const point3d_t& p) const {
    return p.x >= a.x && p.x <= g.x && p.y >= a.y && p.y <= g.y && p.z >= a.z && p.z <= g.z;
}

VolumeRegion::VolumeRegion(const color_t& sa, const color_t& ss, const color_t& le, float gg,
                           const point3d_t& pmin, const point3d_t& pmax, int attgridScale)
    : bBox(pmin, pmax), s_a(sa), s_s(ss), l_e(le), g_(gg) {
    haveS_a = s_a.energy() > kPresentThreshold;
    haveS_s = s_s.energy() > kPresentThreshold;
    haveL_e = l_e.energy() > kPresentThreshold;
    const int cells = std::max(1, std::clamp(attgridScale, 0, kMaxGridScale) * kGridCellsPerScale);
    attGridX = attGridY = attGridZ = cells;
}

bool VolumeRegion::segmentInside(const ray_t& ray, float& t0, float& t1) const {
    if (!intersect(ray, t0, t1)) return false;
    if (ray.tmax > 0.f) {
        if (ray.tmax < t0) return false;
        t1 = std::min(t1, ray.tmax);
    }
    t0 = std::max(t0, 0.f);
    return t1 > t0;
}

color_t VolumeRegion::extinctionCoefficient() const {
    color_t sigma(0.f);
    if (haveS_a) sigma += s_a;
    if (haveS_s) sigma += s_s;
    return sigma;
}

float VolumeRegion::p(const vector3d_t& wl, const vector3d_t& ws) const {
    // k from g as Schlick fitted it; the angle is between the light's travel (−wl) and ws.
    const float k = 1.55f * g_ - 0.55f * g_ * g_ * g_;
    const float cosTheta = -dot(wl, ws);
    const float d = 1.f - k * cosTheta;
    return (1.f - k * k) / (4.f * kPi * d * d);
}

VolumeRegion::gridSpot_t VolumeRegion::gridSpot(const point3d_t& p) const {
    const int sizes[3] = {attGridX, attGridY, attGridZ};
    const size_t strides[3] = {1, size_t(attGridX), size_t(attGridX) * attGridY};
    gridSpot_t spot;
    for (int axis = 0; axis < 3; ++axis) {
        const float extent = component(bBox.g, axis) - component(bBox.a, axis);
        const float rel = extent > 0.f ? (component(p, axis) - component(bBox.a, axis)) / extent : 0.5f;
        const float pos = sizes[axis] * rel - 0.5f;
        const float fl = std::floor(pos);
        spot.frac[axis] = pos - fl;
        spot.lo[axis] = size_t(std::clamp(static_cast<int>(fl), 0, sizes[axis] - 1)) * strides[axis];
        spot.hi[axis] = size_t(std::clamp(static_cast<int>(fl) + 1, 0, sizes[axis] - 1)) * strides[axis];
    }
    return spot;
}

float VolumeRegion::attenuationAt(const gridSpot_t& spot, const light_t* l) const {
    const auto it = attenuationGridMap.find(l);
    if (it == attenuationGridMap.end() || it->second.empty()) {
        static bool told = false;
        if (!told) {
            told = true;
            logMessage(logLevel_t::warning, "attmap not found");
        }
        return 1.f;
    }
    const float* grid = it->second.data();
    // Three rounds of linear interpolation, without branches.
    const size_t* lo = spot.lo;
    const size_t* hi = spot.hi;
    const float* frac = spot.frac;
    auto lerp = [](float a, float b, float t) { return a + (b - a) * t; };
    auto row = [&](size_t y, size_t z) { return lerp(grid[z + y + lo[0]], grid[z + y + hi[0]], frac[0]); };
    auto plane = [&](size_t z) { return lerp(row(lo[1], z), row(hi[1], z), frac[1]); };
    return lerp(plane(lo[2]), plane(hi[2]), frac[2]);
}

volumeRegionParams_t readVolumeRegionParams(const paraMap_t& map, volumeRegionParams_t params) {
    params.sigmaA = readCoefficient(map, "sigma_a", params.sigmaA);
    params.sigmaS = readCoefficient(map, "sigma_s", params.sigmaS);
    params.emission = readCoefficient(map, "l_e", params.emission);
    map.getParam("g", params.g);
    float box[6] = {0.f, 0.f, 0.f, 0.f, 0.f, 0.f};
    const char* keys[6] = {"minX", "minY", "minZ", "maxX", "maxY", "maxZ"};
    for (int k = 0; k < 6; ++k) map.getParam(keys[k], box[k]);
    params.pmin = {std::min(box[0], box[3]), std::min(box[1], box[4]), std::min(box[2], box[5])};
    params.pmax = {std::max(box[0], box[3]), std::max(box[1], box[4]), std::max(box[2], box[5])};
    map.getParam("attgridScale", params.attgridScale);
    params.attgridScale = std::clamp(params.attgridScale, 0, kMaxGridScale);
    params.g = std::clamp(params.g, -0.99f, 0.99f);
    return params;
}

color_t DensityVolume::sigma_a(const point3d_t& p, const vector3d_t&) const {
    if (!haveS_a || !bBox.includes(p)) return color_t(0.f);
    return s_a * Density(p);
}

color_t DensityVolume::sigma_s(const point3d_t& p, const vector3d_t&) const {
    if (!haveS_s || !bBox.includes(p)) return color_t(0.f);
    return s_s * Density(p);
}

color_t DensityVolume::sigma_t(const point3d_t& p, const vector3d_t&) const {
    if ((!haveS_a && !haveS_s) || !bBox.includes(p)) return color_t(0.f);
    return extinctionCoefficient() * Density(p);
}

void DensityVolume::extinctionAndScattering(const point3d_t& p, const vector3d_t&, color_t& sigmaT,
                                            color_t& sigmaS) const {
    sigmaT = sigmaS = color_t(0.f);
    if ((!haveS_a && !haveS_s) || !bBox.includes(p)) return;
    const float density = Density(p);
    if (haveS_a) sigmaT += s_a * density;
    if (haveS_s) {
        sigmaS = s_s * density;
        sigmaT += sigmaS;
    }
}

color_t DensityVolume::emission(const point3d_t& p, const vector3d_t&) const {
    if (!haveL_e || !bBox.includes(p)) return color_t(0.f);
    return l_e * Density(p);
}

color_t DensityVolume::tau(const ray_t& ray, float step, float offset) const {
    float t0 = 0.f, t1 = 0.f;
    if (!segmentInside(ray, t0, t1)) return color_t(0.f);
    // A step too small for the segment would march for ever; it is widened to a bounded count.
    step = std::max(step, (t1 - t0) / kMaxMarchSteps);
    // Counted steps, so that a step lost in the rounding of a large t cannot stall the loop.
    const float start = t0 + offset * step;
    const long steps = start < t1 ? static_cast<long>(std::ceil((t1 - start) / step)) : 0;
    if (!haveS_a && !haveS_s) return color_t(0.f);
    const color_t sigmaT = extinctionCoefficient();
    color_t result(0.f);
    for (long i = 0; i < steps; ++i) {
        const point3d_t p = ray.from + ray.dir * (start + float(i) * step);
        if (bBox.includes(p)) result += sigmaT * marchedDensity(p, step) * step;
    }
    return result;
}

bool volumeIntegrator_t::preprocess(const renderContext_t& ctx) {
    listVR = ctx.volumeRegions;
    lights = ctx.lights;
    return true;
}

}  // namespace yafaray
