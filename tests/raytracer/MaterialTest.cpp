#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include "EngineTestSupport.h"

namespace {

using enginetest::CapturedImage;
using enginetest::SceneBuilder;
using yafaray::point3d_t;

void constantBackground(SceneBuilder& s, float value) {
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "constant");
    s.yi.paramsSetColor("color", value, value, value, 1.f);
    s.yi.createBackground("world_background");
}

// Looking straight down over x, y ∈ [-2, 2]: pixel column c sees x = (c + ½)/w·4 − 2.
void orthographicTopCamera(SceneBuilder& s, int w, int h) {
    s.camera("orthographic", {0, 0, 5}, {0, 0, 0}, {0, 1, 5}, w, h, [&] { s.yi.paramsSetFloat("scale", 4.0); });
}

yafaray::material_t* glass(SceneBuilder& s, const char* name, float ior, const yafaray::color_t& absorption,
                           float distance) {
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "glass");
    s.yi.paramsSetFloat("IOR", ior);
    s.yi.paramsSetColor("absorption", absorption.R, absorption.G, absorption.B, 1.f);
    s.yi.paramsSetFloat("absorption_dist", distance);
    s.yi.paramsSetBool("fake_shadows", true);
    return s.yi.createMaterial(name);
}

// A closed axis-aligned box of one material, faces wound outwards.
void box(SceneBuilder& s, const point3d_t& lo, const point3d_t& hi, const yafaray::material_t* mat) {
    const float dx = hi.x - lo.x, dy = hi.y - lo.y, dz = hi.z - lo.z;
    s.quad(lo, {0, dy, 0}, {dx, 0, 0}, mat);                   // bottom, facing −z
    s.quad({lo.x, lo.y, hi.z}, {dx, 0, 0}, {0, dy, 0}, mat);   // top, +z
    s.quad(lo, {dx, 0, 0}, {0, 0, dz}, mat);                   // front, −y
    s.quad({lo.x, hi.y, lo.z}, {0, 0, dz}, {dx, 0, 0}, mat);   // back, +y
    s.quad(lo, {0, 0, dz}, {0, dy, 0}, mat);                   // left, −x
    s.quad({hi.x, lo.y, lo.z}, {0, dy, 0}, {0, 0, dz}, mat);   // right, +x
}

TEST(Glass, SlabTransmitsTheBeerLambertFractionOfTheLightBehindIt) {
    // IOR 1 has no Fresnel reflection, so what comes through is e^(−σd) of the background
    // with σ = −ln(absorption)/absorption_dist per channel.
    const float thickness = 0.6f, distance = 0.8f;
    const yafaray::color_t absorption(0.5f, 0.7f, 0.9f);
    SceneBuilder s;
    auto* slab = glass(s, "slab", 1.f, absorption, distance);
    ASSERT_NE(slab, nullptr);
    s.yi.startGeometry();
    box(s, {-1.5f, -1.5f, 0.f}, {1.5f, 1.5f, thickness}, slab);
    s.yi.endGeometry();
    orthographicTopCamera(s, 16, 16);
    constantBackground(s, 1.f);
    s.directLighting();
    SceneBuilder::RenderOptions o;
    o.background = "world_background";
    const CapturedImage img = s.render(16, 16, o);
    const float channels[3] = {absorption.R, absorption.G, absorption.B};
    for (int k = 0; k < 3; ++k) {
        const float expected = std::pow(channels[k], thickness / distance);
        for (int y = 4; y < 12; ++y) {
            for (int x = 4; x < 12; ++x) {
                EXPECT_NEAR(img.channel(x, y, k), expected, 0.01f * expected) << x << ", " << y << " channel " << k;
            }
        }
        // Outside the slab the background arrives unchanged.
        EXPECT_NEAR(img.channel(0, 0, k), 1.f, 1e-5f);
    }
}

// A lake bed under absorbing water: sunlight is dimmed on its way down as the view is on its
// way up, whichever way the water body's faces are wound.
TEST(Glass, SunlightReachesAnUnderwaterFloorDimmedByTheWaterAboveIt) {
    const float depth = 0.4f, distance = 0.8f;
    const yafaray::color_t absorption(0.5f, 0.7f, 0.9f);
    for (bool outwards : {true, false}) {
        SceneBuilder s;
        auto* water = glass(s, "water", 1.f, absorption, distance);
        auto* bed = s.diffuse("bed");
        s.yi.startGeometry();
        s.quad({-2, -2, 0}, {4, 0, 0}, {0, 4, 0}, bed);
        if (outwards) {
            box(s, {-1.5f, -1.5f, -0.5f}, {1.5f, 1.5f, depth}, water);
        } else {
            // The same box with every face wound inwards.
            const point3d_t lo(-1.5f, -1.5f, -0.5f);
            const float dx = 3.f, dy = 3.f, dz = depth + 0.5f;
            s.quad(lo, {dx, 0, 0}, {0, dy, 0}, water);
            s.quad({lo.x, lo.y, depth}, {0, dy, 0}, {dx, 0, 0}, water);
            s.quad(lo, {0, 0, dz}, {dx, 0, 0}, water);
            s.quad({lo.x, -lo.y, lo.z}, {dx, 0, 0}, {0, 0, dz}, water);
            s.quad(lo, {0, dy, 0}, {0, 0, dz}, water);
            s.quad({-lo.x, lo.y, lo.z}, {0, 0, dz}, {0, dy, 0}, water);
        }
        s.yi.endGeometry();
        s.sun({0, 0, 1}, 1.f, 0.f, 1);
        s.directLighting(true);
        orthographicTopCamera(s, 16, 16);
        const CapturedImage img = s.render(16, 16);
        const float channels[3] = {absorption.R, absorption.G, absorption.B};
        for (int k = 0; k < 3; ++k) {
            const float expected = std::pow(channels[k], 2.f * depth / distance);
            EXPECT_NEAR(img.channel(8, 8, k), expected, 0.01f * expected) << "channel " << k << " outwards " << outwards;
        }
    }
}

TEST(Glass, RefractiveSlabLosesTheFresnelShareAtBothFaces) {
    // Head-on at IOR 1.5 each face reflects ((n − 1)/(n + 1))² = 4 %; with a black background
    // above, what reaches the camera from the white background below is 0.96² (inter-reflections
    // add 0.04²·0.96², well below the tolerance).
    SceneBuilder s;
    auto* clear = glass(s, "clear", 1.5f, {1.f, 1.f, 1.f}, 1.f);
    s.yi.startGeometry();
    box(s, {-1.5f, -1.5f, 0.f}, {1.5f, 1.5f, 0.5f}, clear);
    s.yi.endGeometry();
    orthographicTopCamera(s, 16, 16);
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "gradientback");
    s.yi.paramsSetColor("zenith_color", 0, 0, 0, 1);
    s.yi.paramsSetColor("horizon_color", 0, 0, 0, 1);
    s.yi.paramsSetColor("zenith_ground_color", 1, 1, 1, 1);
    s.yi.paramsSetColor("horizon_ground_color", 1, 1, 1, 1);
    s.yi.createBackground("world_background");
    s.directLighting();
    SceneBuilder::RenderOptions o;
    o.background = "world_background";
    const CapturedImage img = s.render(16, 16, o);
    EXPECT_NEAR(img.r(8, 8), 0.96f * 0.96f, 0.005f);
}

yafaray::material_t* transparentMaterial(SceneBuilder& s, const char* name, float transparency,
                                         float transmitFilter, const yafaray::color_t& c = {1.f, 1.f, 1.f}) {
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "shinydiffusemat");
    s.yi.paramsSetColor("color", c.R, c.G, c.B, 1.f);
    s.yi.paramsSetFloat("transparency", transparency);
    s.yi.paramsSetFloat("transmit_filter", transmitFilter);
    return s.yi.createMaterial(name);
}

TEST(ShinyDiffuse, TransparencyOneHidesTheSurfaceFromCameraRays) {
    auto scene = [](bool withVeil) {
        SceneBuilder s;
        auto* ground = s.diffuse("ground", 0.9f, 0.6f, 0.3f);
        auto* veil = transparentMaterial(s, "veil", 1.f, 0.f, {0.1f, 0.9f, 0.1f});
        s.yi.startGeometry();
        s.quad({-1, -1, 0}, {2, 0, 0}, {0, 2, 0}, ground);
        if (withVeil) s.quad({-1.5f, -1.5f, 1}, {3, 0, 0}, {0, 3, 0}, veil);
        s.yi.endGeometry();
        s.sun({0.3f, 0.2f, 1.f});
        s.directLighting(true);
        orthographicTopCamera(s, 32, 32);
        return s.render(32, 32);
    };
    const CapturedImage bare = scene(false), veiled = scene(true);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            for (int k = 0; k < 4; ++k) ASSERT_NEAR(veiled.channel(x, y, k), bare.channel(x, y, k), 1e-5f);
        }
    }
    // The veil reaches beyond the ground: there the image stays transparent black.
    EXPECT_EQ(veiled.a(1, 1), 0.f);
    EXPECT_GT(veiled.r(16, 16), 0.5f);
}

TEST(ShinyDiffuse, BumpShaderChangesShadingButNotTheSilhouette) {
    auto scene = [](bool bumped) {
        SceneBuilder s;
        s.yi.paramsClearAll();
        s.yi.paramsSetString("type", "clouds");
        s.yi.paramsSetFloat("size", 4.0);
        s.yi.createTexture("bumps");
        s.yi.paramsClearAll();
        s.yi.paramsSetString("type", "shinydiffusemat");
        s.yi.paramsSetColor("color", 1, 1, 1, 1);
        if (bumped) {
            s.yi.paramsPushList();
            s.yi.paramsSetString("element", "shader_node");
            s.yi.paramsSetString("type", "texture_mapper");
            s.yi.paramsSetString("name", "bump");
            s.yi.paramsSetString("texco", "uv");
            s.yi.paramsSetString("texture", "bumps");
            s.yi.paramsSetFloat("bump_strength", 40.0);
            s.yi.paramsEndList();
            s.yi.paramsSetString("bump_shader", "bump");
        }
        auto* mat = s.yi.createMaterial("surface");
        s.yi.startGeometry();
        s.quad({-1, -1, 0}, {2, 0, 0}, {0, 2, 0}, mat);
        s.yi.endGeometry();
        s.sun({1.f, 0.5f, 1.f});
        s.directLighting();
        s.topCamera(5.f, 48, 48);
        return s.render(48, 48);
    };
    const CapturedImage flat = scene(false), bumpy = scene(true);
    int covered = 0, changed = 0;
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 48; ++x) {
            ASSERT_EQ(bumpy.a(x, y), flat.a(x, y)) << x << ", " << y;
            ASSERT_EQ(bumpy.z(x, y), flat.z(x, y)) << x << ", " << y;
            if (flat.a(x, y) == 1.f) {
                ++covered;
                changed += std::fabs(bumpy.r(x, y) - flat.r(x, y)) > 0.02f;
            }
        }
    }
    ASSERT_GT(covered, 200);
    EXPECT_GT(changed, covered / 3);
}

// An uncompressed 24-bit TGA 2.0, rows top first.
void writeTga(const std::filesystem::path& path, int w, int h, const std::vector<uint8_t>& grey) {
    std::ofstream out(path, std::ios::binary);
    const uint8_t header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, uint8_t(w), uint8_t(w >> 8), uint8_t(h),
                                uint8_t(h >> 8), 24, 0x20};
    out.write(reinterpret_cast<const char*>(header), sizeof header);
    for (uint8_t g : grey) {
        const char bgr[3] = {char(g), char(g), char(g)};
        out.write(bgr, 3);
    }
    // The TGA 2.0 footer (no extension or developer area), which Qt's reader asks for.
    const char footer[26] = "\0\0\0\0\0\0\0\0TRUEVISION-XFILE.";
    out.write(footer, sizeof footer);
}

// The ground and a horizontal blade at height 1 over x ∈ [-½, ½], y ∈ [-1, 1]; the sun from +x
// at 45° throws the blade's shadow one unit towards −x.
CapturedImage bladeShadow(const std::function<yafaray::material_t*(SceneBuilder&)>& bladeMaterial,
                          bool transpShad) {
    SceneBuilder s;
    auto* ground = s.diffuse("ground");
    auto* blade = bladeMaterial(s);
    EXPECT_NE(blade, nullptr);
    s.yi.startGeometry();
    s.quad({-2, -2, 0}, {4, 0, 0}, {0, 4, 0}, ground);
    s.quad({-0.5f, -1, 1}, {1, 0, 0}, {0, 2, 0}, blade);
    s.yi.endGeometry();
    s.sun({1, 0, 1}, 1.f, 0.1f, 1);
    s.directLighting(transpShad);
    orthographicTopCamera(s, 64, 64);
    return s.render(64, 64);
}

TEST(TransparentShadows, AlphaTexturedBladeCastsABladeShapedShadow) {
    // Transparency map: opaque (black) over the columns u ∈ [6/16, 10/16], clear elsewhere.
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("blade-" + std::to_string(::getpid()) + ".tga");
    std::vector<uint8_t> grey(16 * 16, 255);
    for (int y = 0; y < 16; ++y) {
        for (int x = 6; x < 10; ++x) grey[y * 16 + x] = 0;
    }
    writeTga(file, 16, 16, grey);
    auto alphaBlade = [&](SceneBuilder& s) {
        s.yi.paramsClearAll();
        s.yi.paramsSetString("type", "image");
        s.yi.paramsSetString("filename", file.string().c_str());
        s.yi.paramsSetString("interpolate", "none");
        EXPECT_NE(s.yi.createTexture("blade alpha"), nullptr);
        s.yi.paramsClearAll();
        s.yi.paramsSetString("type", "shinydiffusemat");
        s.yi.paramsSetFloat("transmit_filter", 0.0);
        s.yi.paramsPushList();
        s.yi.paramsSetString("element", "shader_node");
        s.yi.paramsSetString("type", "texture_mapper");
        s.yi.paramsSetString("name", "alpha");
        s.yi.paramsSetString("texco", "uv");
        s.yi.paramsSetString("texture", "blade alpha");
        s.yi.paramsEndList();
        s.yi.paramsSetString("transparency_shader", "alpha");
        return s.yi.createMaterial("blade");
    };
    const CapturedImage shaped = bladeShadow(alphaBlade, true);
    const CapturedImage solid = bladeShadow(alphaBlade, false);
    std::filesystem::remove(file);

    // The opaque strip x ∈ [-⅛, ⅛] shadows x ∈ [-1⅛, -⅞]: columns 14–17. The clear parts of
    // the blade (columns 8–13 and 18–23) let the sun through; rows 20–43 lie well inside y ∈ [-1, 1].
    const float lit = std::sqrt(0.5f);
    for (int y = 20; y < 44; ++y) {
        for (int x = 8; x < 24; ++x) {
            const bool inStrip = x >= 14 && x <= 17;
            EXPECT_NEAR(shaped.r(x, y), inStrip ? 0.f : lit, 3e-3f) << x << ", " << y;
            // Without transparent shadows the whole blade blocks the sun.
            EXPECT_EQ(solid.r(x, y), 0.f) << x << ", " << y;
        }
    }
}

TEST(TransparentShadows, PartlyTransparentSurfaceTintsItsShadowByItsFilterColour) {
    const yafaray::color_t green(0.2f, 0.8f, 0.3f);
    const CapturedImage img = bladeShadow(
        [&](SceneBuilder& s) { return transparentMaterial(s, "tinted", 0.5f, 1.f, green); }, true);
    // Shadow transmission = transparency · (filter·C + 1 − filter) = ½·C. The 0.1° sun cone
    // moves cos θ by about 0.1 %, hence the tolerances.
    const float lit = std::sqrt(0.5f);
    for (int y = 20; y < 44; y += 4) {
        for (int x = 9; x < 23; x += 3) {
            EXPECT_NEAR(img.channel(x, y, 0), lit * 0.5f * green.R, 1e-3f);
            EXPECT_NEAR(img.channel(x, y, 1), lit * 0.5f * green.G, 1e-3f);
            EXPECT_NEAR(img.channel(x, y, 2), lit * 0.5f * green.B, 1e-3f);
        }
    }
}

TEST(TransparentShadows, GlassWithFakeShadowsLetsLightThroughOnlyUnderTransparentShadows) {
    for (bool transpShad : {false, true}) {
        const CapturedImage img = bladeShadow(
            [](SceneBuilder& s) { return glass(s, "pane", 1.f, {1.f, 1.f, 1.f}, 1.f); }, transpShad);
        EXPECT_NEAR(img.r(16, 32), transpShad ? std::sqrt(0.5f) : 0.f, 3e-3f) << transpShad;
    }
}

}  // namespace

namespace {

// Shadow rays answer opaque geometry with a plain occlusion test and walk only the instances that
// may transmit: a mesh mixing glass and opaque triangles, and glass stacked over an opaque blade,
// must still shade exactly as a walk through everything would.
// With one sun sample the shadow rays are traced one by one; with several, towards the narrow
// sun, they are traced together: both must see the same surfaces.
TEST(TransparentShadows, MixedMeshesAndStackedSurfacesKeepTheirShadows) {
    for (int samples : {1, 6}) {
        SCOPED_TRACE(samples);
        SceneBuilder s;
        auto* ground = s.diffuse("ground");
        auto* wall = s.diffuse("wall");
        auto* pane = glass(s, "pane", 1.f, {1.f, 1.f, 1.f}, 1.f);
        s.yi.startGeometry();
        s.quad({-2, -2, 0}, {4, 0, 0}, {0, 4, 0}, ground);
        // One mesh at height 1: glass over x ∈ [-½, 0], opaque over x ∈ [0, ½].
        unsigned int id = 0;
        s.yi.startTriMesh(id, 6, 4, false, false, 0);
        for (float x : {-0.5f, 0.f, 0.5f}) {
            s.yi.addVertex(x, -1, 1);
            s.yi.addVertex(x, 1, 1);
        }
        s.yi.addTriangle(0, 2, 3, pane);
        s.yi.addTriangle(0, 3, 1, pane);
        s.yi.addTriangle(2, 4, 5, wall);
        s.yi.addTriangle(2, 5, 3, wall);
        s.yi.endTriMesh();
        // Glass at height 2 over x ∈ [-1, 1]: every ray above also crosses it.
        s.quad({-1, -1, 2}, {2, 0, 0}, {0, 2, 0}, pane);
        s.yi.endGeometry();
        s.sun({1, 0, 1}, 1.f, 0.1f, samples);
        s.directLighting(true);
        orthographicTopCamera(s, 64, 64);
        const CapturedImage img = s.render(64, 64);
        // The sun at 45° from +x shifts a shadow at height h by −h. Column c sees x = (c + ½)/16 − 2.
        // Columns 9–14 (x ∈ [-1.4, -1.1]): through both panes; 17–22 (x ∈ [-0.9, -0.6]): the opaque
        // half; 2–5 (x ∈ [-1.8, -1.6]): through the upper pane only.
        const float lit = std::sqrt(0.5f);
        for (int y = 20; y < 44; y += 3) {
            for (int x = 9; x <= 14; ++x) EXPECT_NEAR(img.r(x, y), lit, 3e-3f) << x << ", " << y;
            for (int x = 17; x <= 22; ++x) EXPECT_EQ(img.r(x, y), 0.f) << x << ", " << y;
            for (int x = 2; x <= 5; ++x) EXPECT_NEAR(img.r(x, y), lit, 3e-3f) << x << ", " << y;
        }
    }
}

}  // namespace
