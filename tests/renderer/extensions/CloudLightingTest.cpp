#include <gtest/gtest.h>

#include <string>

#include "ExtensionTestSupport.h"
#include "raytracer/core/Environment.h"
#include "raytracer/core/RenderContext.h"
#include "raytracer/core/Volume.h"

// How the application's volume integrator lights a cloud: a cloud lit from the side must show a
// sunlit face and a darker far side and base, as the clouds layer sends it (its absorption,
// scattering, cover, sharpness and density) and with the attenuation grids on and off.

namespace {

using extensiontest::ExtensionScene;
using yafaray::color_t;
using yafaray::colorA_t;
using yafaray::point3d_t;
using yafaray::ray_t;
using yafaray::vector3d_t;

// A texture of mid grey everywhere: with the layer's cover and sharpness the cloud is then a
// uniform medium fading towards the ellipsoid inscribed in its box, so that only the light varies.
class midGreyTexture_t : public yafaray::texture_t {
public:
    colorA_t getColor(const point3d_t&) const override { return colorA_t(color_t(0.5f), 1.f); }
};

yafaray::texture_t* midGreyTextureFactory(yafaray::paraMap_t&, yafaray::renderEnvironment_t&) {
    return new midGreyTexture_t();
}

// The sun stands low on the −x side.
const point3d_t kTowardsSun(-1.f, 0.f, 0.25f);

// A cloud over x, y ∈ [0, 4], z ∈ [2, 3], lit by the sun and, if asked, by a sky that lights it
// too; camera rays cross it along +y.
class SideLitCloud {
public:
    SideLitCloud(bool optimize, bool withSky) {
        s_.env().registerFactory("mid_grey_texture", &midGreyTextureFactory);
        s_.yi.startGeometry();
        s_.yi.endGeometry();
        s_.yi.paramsClearAll();
        s_.yi.paramsSetString("type", "mid_grey_texture");
        s_.yi.createTexture("cloudNoise");
        s_.yi.paramsClearAll();
        s_.yi.paramsSetString("type", "FixedNoiseVolume");
        for (const auto& [key, value] : {std::pair{"minX", 0.0}, {"minY", 0.0}, {"minZ", 2.0}, {"maxX", 4.0},
                                         {"maxY", 4.0}, {"maxZ", 3.0}, {"sigma_a", 0.05}, {"sigma_s", 0.5},
                                         {"cover", 0.8}, {"sharpness", 7.0}, {"density", 3.2}})
            s_.yi.paramsSetFloat(key, value);
        s_.yi.paramsSetInt("attgridScale", 2);
        s_.yi.paramsSetInt("edgeMode", 0);
        s_.yi.paramsSetString("textureName", "cloudNoise");
        s_.yi.createVolumeRegion("cloud");
        s_.sun(kTowardsSun, 1.f, 1.f, 5);
        if (withSky) {
            s_.yi.paramsClearAll();
            s_.yi.paramsSetString("type", "darksky");
            s_.yi.paramsSetPoint("from", kTowardsSun.x, kTowardsSun.y, kTowardsSun.z);
            s_.yi.paramsSetFloat("turbidity", 3.5);
            s_.yi.paramsSetBool("background_light", true);
            s_.yi.paramsSetInt("light_samples", 5);
            ctx_.background = s_.yi.createBackground("sky");
        }
        s_.yi.paramsClearAll();
        s_.yi.paramsSetString("type", "FixedSingleScatterIntegrator");
        s_.yi.paramsSetFloat("stepSize", 0.2);
        s_.yi.paramsSetBool("optimize", optimize);
        vi_ = dynamic_cast<yafaray::volumeIntegrator_t*>(s_.yi.createIntegrator("volumeIntegrator"));
        ctx_.scene = &s_.yi.scene();
        ctx_.volumeIntegrator = vi_;
        for (auto* l : s_.env().lights()) ctx_.lights.push_back(l);
        ctx_.volumeRegions = s_.env().volumeRegions();
        vi_->preprocess(ctx_);
    }

    // The mean light scattered towards the camera along rays through (x, ·, z), across the
    // whole cloud (y from −1 to 5).
    float seenAt(float x, float z) {
        const int rays = 16;
        float sum = 0.f;
        for (int k = 0; k < rays; ++k) {
            yafaray::renderState_t state;
            state.rngState = 1000u + uint32_t(k);
            ray_t r;
            r.from = point3d_t(x, -1.f, z);
            r.dir = vector3d_t(0.f, 1.f, 0.f);
            r.tmax = 6.f;
            const colorA_t l = vi_->integrate(ctx_, state, r);
            sum += (l.R + l.G + l.B) / 3.f;
        }
        return sum / rays;
    }

private:
    ExtensionScene s_;
    yafaray::renderContext_t ctx_;
    yafaray::volumeIntegrator_t* vi_ = nullptr;
};

TEST(CloudLighting, TheSunlitFaceOutshinesTheFarSideAndTheBase) {
    for (bool optimize : {true, false}) {
        SCOPED_TRACE(optimize ? "with attenuation grids" : "marched");
        // Rays at x = 0.6 and 3.4 (and, below, z = 2.15 and 2.85) cross equal amounts of the
        // cloud, so that only what lights them differs.
        SideLitCloud sunOnly(optimize, false);
        const float face = sunOnly.seenAt(0.6f, 2.5f), farSide = sunOnly.seenAt(3.4f, 2.5f);
        EXPECT_GT(face, 0.f);
        // The sun reaches the near face through a little of the cloud, the far side through all.
        EXPECT_GT(face, 2.f * farSide) << face << " " << farSide;

        SideLitCloud sunAndSky(optimize, true);
        const float skyFace = sunAndSky.seenAt(0.6f, 2.5f), skyFar = sunAndSky.seenAt(3.4f, 2.5f);
        const float top = sunAndSky.seenAt(2.f, 2.85f), base = sunAndSky.seenAt(2.f, 2.15f);
        // The sky lights both sides alike; the sun still sets the near face apart.
        EXPECT_GT(skyFace, skyFar * 1.1f) << skyFace << " " << skyFar;
        // The sky's light reaches the base only through the cloud above it.
        EXPECT_GT(top, 1.5f * base) << top << " " << base;
        EXPECT_GT(skyFace, 1.5f * base) << skyFace << " " << base;
    }
}

}  // namespace
