#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "EngineTestSupport.h"

namespace {

using enginetest::CapturedImage;
using enginetest::SceneBuilder;
using yafaray::point3d_t;

// The water of a landscape: a closed glass box from just below the ground up to the water
// level, the ground passing through it, and a fog box around both.
CapturedImage waterUnderFog(bool fog, int size) {
    SceneBuilder s;
    auto* ground = s.diffuse("ground", 0.8f, 0.7f, 0.5f);
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "glass");
    s.yi.paramsSetFloat("IOR", 1.33);
    s.yi.paramsSetColor("absorption", 0.6f, 0.8f, 0.9f, 1.f);
    s.yi.paramsSetFloat("absorption_dist", 0.5);
    s.yi.paramsSetBool("fake_shadows", true);
    auto* water = s.yi.createMaterial("water");
    EXPECT_NE(water, nullptr);

    s.yi.startGeometry();
    s.quad({-3, -3, 0}, {6, 0, 0}, {0, 6, 0}, ground);
    const point3d_t lo(-1, -1, -0.01f), hi(1, 1, 0.3f);
    const float dx = hi.x - lo.x, dy = hi.y - lo.y, dz = hi.z - lo.z;
    s.quad(lo, {0, dy, 0}, {dx, 0, 0}, water);
    s.quad({lo.x, lo.y, hi.z}, {dx, 0, 0}, {0, dy, 0}, water);
    s.quad(lo, {dx, 0, 0}, {0, 0, dz}, water);
    s.quad({lo.x, hi.y, lo.z}, {0, 0, dz}, {dx, 0, 0}, water);
    s.quad(lo, {0, 0, dz}, {0, dy, 0}, water);
    s.quad({hi.x, lo.y, lo.z}, {0, dy, 0}, {0, 0, dz}, water);
    s.yi.endGeometry();

    s.sun({0.4f, -0.6f, 1.f});
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "constant");
    s.yi.paramsSetColor("color", 0.5f, 0.6f, 0.8f, 1.f);
    s.yi.createBackground("world_background");
    s.camera("perspective", {0.3f, -3.5f, 1.6f}, {0, 0, 0}, {0.3f, -3.5f, 2.6f}, size, size);

    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "directlighting");
    s.yi.paramsSetBool("transpShad", true);
    s.yi.paramsSetInt("raydepth", 8);
    s.yi.createIntegrator("surfaceIntegrator");
    s.yi.paramsClearAll();
    if (fog) {
        s.yi.paramsSetString("type", "SingleScatterIntegrator");
        s.yi.paramsSetFloat("stepSize", 0.1);
        s.yi.createIntegrator("volumeIntegrator");
        s.yi.paramsClearAll();
        s.yi.paramsSetString("type", "ExpDensityVolume");
        s.yi.paramsSetFloat("minX", -4);
        s.yi.paramsSetFloat("minY", -4);
        s.yi.paramsSetFloat("minZ", -0.01);
        s.yi.paramsSetFloat("maxX", 4);
        s.yi.paramsSetFloat("maxY", 4);
        s.yi.paramsSetFloat("maxZ", 3);
        s.yi.paramsSetFloat("sigma_a", 0.05);
        s.yi.paramsSetFloat("sigma_s", 0.1);
        s.yi.paramsSetFloat("a", 1.0);
        s.yi.paramsSetFloat("b", 0.5);
        s.yi.createVolumeRegion("fog");
    } else {
        s.yi.paramsSetString("type", "none");
        s.yi.createIntegrator("volumeIntegrator");
    }
    SceneBuilder::RenderOptions o;
    o.background = "world_background";
    return s.render(size, size, o);
}

TEST(GlassInVolume, WaterBoxUnderFogRendersWithoutBlackSeams) {
    constexpr int kSize = 48;
    const CapturedImage clear = waterUnderFog(false, kSize);
    const CapturedImage foggy = waterUnderFog(true, kSize);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const float c = clear.r(x, y) + clear.channel(x, y, 1) + clear.channel(x, y, 2);
            const float f = foggy.r(x, y) + foggy.channel(x, y, 1) + foggy.channel(x, y, 2);
            // Every direction ends on lit ground, lit water or the sky: nothing may be black.
            EXPECT_GT(c, 0.1f) << "without fog at " << x << ", " << y;
            EXPECT_GT(f, 0.1f) << "with fog at " << x << ", " << y;
            // Thin fog dims and brightens a little; a seam would drop a pixel far below its clear value.
            EXPECT_GT(f, 0.6f * c) << "with fog at " << x << ", " << y;
            EXPECT_LT(f, 1.6f * c + 0.1f) << "with fog at " << x << ", " << y;
        }
    }
}

}  // namespace
