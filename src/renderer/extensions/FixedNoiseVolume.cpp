#include "renderer/extensions/FixedNoiseVolume.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>

#include "raytracer/core/Environment.h"
#include "raytracer/core/Log.h"

namespace yafaray {
namespace {

std::string describe(const color_t& c) {
    std::ostringstream out;
    out << "(" << c.R << ", " << c.G << ", " << c.B << ")";
    return out.str();
}

}  // namespace

FixedNoiseVolume::FixedNoiseVolume(const volumeRegionParams_t& params, const texture_t* texture,
                                   float sharpness, float cover, float density, int edgeMode)
    : DensityVolume(params.sigmaA, params.sigmaS, params.emission, params.g, params.pmin, params.pmax,
                    params.attgridScale),
      texture_(texture),
      sharpness2_(sharpness * sharpness),
      cover_(cover),
      density_(density),
      edgeMode_(edgeMode) {}

float FixedNoiseVolume::Density(const point3d_t& p) const {
    if (!texture_) return 0.f;
    switch (edgeMode_) {
        case box:
            return coverage(p) * density_;
        case ellipsoid: {
            // The falloff comes first: outside the ellipsoid the texture is not sampled at all.
            const float e = ellipsoidFalloff(p);
            return e > 0.f ? coverage(p) * density_ * e : 0.f;
        }
        default:
            return 0.f;
    }
}

float FixedNoiseVolume::ellipsoidFalloff(const point3d_t& p) const {
    const point3d_t c = bBox.center();
    const float hx = 0.5f * bBox.longX(), hy = 0.5f * bBox.longY(), hz = 0.5f * bBox.longZ();
    if (!(hx > 0.f && hy > 0.f && hz > 0.f)) return 0.f;
    const float dx = std::fabs(c.x - p.x) / hx, dy = std::fabs(c.y - p.y) / hy,
                dz = std::fabs(c.z - p.z) / hz;
    return 1.f - std::sqrt(dx * dx + dy * dy + dz * dz);
}

float FixedNoiseVolume::textureMean(const point3d_t& p) const {
    const colorA_t c = texture_->getColor(p * kTextureScale);
    return (c.R + c.G + c.B) * (1.f / 3.f);
}

float FixedNoiseVolume::logistic(float mean) const {
    return 1.f / (1.f + std::exp(sharpness2_ * ((1.f - cover_) - mean)));
}

float FixedNoiseVolume::coverage(const point3d_t& p) const {
    return logistic(textureMean(p));
}

float FixedNoiseVolume::marchedDensity(const point3d_t& p, float step) const {
    const meanGrid_t* grid = texture_ ? meanGrid(step) : nullptr;
    if (!grid) return Density(p);
    float falloff = 1.f;
    if (edgeMode_ == ellipsoid) {
        falloff = ellipsoidFalloff(p);
        if (!(falloff > 0.f)) return 0.f;
    } else if (edgeMode_ != box) {
        return 0.f;
    }
    // The threshold is applied to the interpolated mean, so that cloud edges stay as sharp.
    return logistic(grid->at(p - bBox.a)) * density_ * falloff;
}

const FixedNoiseVolume::meanGrid_t* FixedNoiseVolume::meanGrid(float step) const {
    std::call_once(gridMade_, [&] {
        const float spacing = 0.25f * step;
        if (!(spacing > 0.f)) return;
        auto count = [&](float length) { return static_cast<double>(std::ceil(length / spacing)) + 1.0; };
        const double points = count(bBox.longX()) * count(bBox.longY()) * count(bBox.longZ());
        if (!(points <= double(kMaxGridPoints))) return;
        auto grid = std::make_unique<meanGrid_t>();
        grid->spacing = spacing;
        grid->nx = int(count(bBox.longX()));
        grid->ny = int(count(bBox.longY()));
        grid->nz = int(count(bBox.longZ()));
        grid->mean.resize(size_t(points));
        size_t i = 0;
        for (int z = 0; z < grid->nz; ++z) {
            for (int y = 0; y < grid->ny; ++y) {
                for (int x = 0; x < grid->nx; ++x) {
                    const point3d_t p(bBox.a.x + x * spacing, bBox.a.y + y * spacing, bBox.a.z + z * spacing);
                    grid->mean[i++] = textureMean(p);
                }
            }
        }
        grid_ = std::move(grid);
    });
    return grid_.get();
}

float FixedNoiseVolume::meanGrid_t::at(const point3d_t& fromCorner) const {
    auto locate = [&](float c, int n, int& i, float& f) {
        const float u = std::clamp(c / spacing, 0.f, float(n - 1));
        i = std::min(static_cast<int>(u), std::max(0, n - 2));
        f = u - float(i);
    };
    int x, y, z;
    float fx, fy, fz;
    locate(fromCorner.x, nx, x, fx);
    locate(fromCorner.y, ny, y, fy);
    locate(fromCorner.z, nz, z, fz);
    // A grid one point thick along an axis repeats that point.
    const size_t dx = nx > 1 ? 1 : 0, dy = ny > 1 ? size_t(nx) : 0, dz = nz > 1 ? size_t(nx) * size_t(ny) : 0;
    const float* m = &mean[(size_t(z) * size_t(ny) + size_t(y)) * size_t(nx) + size_t(x)];
    auto lerp = [](float a, float b, float f) { return a + (b - a) * f; };
    const float y0 = lerp(lerp(m[0], m[dx], fx), lerp(m[dy], m[dy + dx], fx), fy);
    const float y1 = lerp(lerp(m[dz], m[dz + dx], fx), lerp(m[dz + dy], m[dz + dy + dx], fx), fy);
    return lerp(y0, y1, fz);
}

VolumeRegion* fixedNoiseVolumeFactory(paraMap_t& params, renderEnvironment_t& env) {
    float sharpness = 1.f, density = 1.f, cover = 1.f;
    int edgeMode = FixedNoiseVolume::ellipsoid;
    std::string textureName;
    params.getParam("sharpness", sharpness);
    params.getParam("density", density);
    params.getParam("cover", cover);
    params.getParam("edgeMode", edgeMode);
    params.getParam("textureName", textureName);
    const volumeRegionParams_t common = readVolumeRegionParams(params, volumeRegionParams_t());
    const texture_t* texture = env.getTexture(textureName);
    if (!texture) logMessage(logLevel_t::warning, "mytex not found");

    std::ostringstream line;
    line << "FixedNoiseVolume vol: sigma_a " << describe(common.sigmaA) << " sigma_s "
         << describe(common.sigmaS) << " l_e " << describe(common.emission) << " sharpness " << sharpness
         << " cover " << cover << " density " << density << " attgridScale " << common.attgridScale;
    logMessage(logLevel_t::info, line.str());
    return new FixedNoiseVolume(common, texture, sharpness, cover, density, edgeMode);
}

void registerFixedNoiseVolume(renderEnvironment_t& env) {
    env.registerFactory("FixedNoiseVolume", &fixedNoiseVolumeFactory);
}

}  // namespace yafaray
