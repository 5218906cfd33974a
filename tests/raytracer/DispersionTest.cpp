#include <gtest/gtest.h>

#include <algorithm>

#include "EngineTestSupport.h"
#include "raytracer/materials/Dispersion.h"

namespace {

using enginetest::CapturedImage;
using enginetest::SceneBuilder;
using yafaray::color_t;

TEST(Dispersion, CauchysLawMeetsTheIorAtTheDLineAndTheDispersionPowerBetweenFAndC) {
    const yafaray::cauchyCoefficients_t c = yafaray::cauchyFromIor(1.5f, 0.02f);
    EXPECT_NEAR(c.ior(587.56f), 1.5f, 1e-5f);
    EXPECT_NEAR(c.ior(486.13f) - c.ior(656.27f), 0.02f, 1e-5f);
    EXPECT_GT(c.ior(400.f), c.ior(700.f));  // blue bends more than red
    const yafaray::cauchyCoefficients_t none = yafaray::cauchyFromIor(1.33f, 0.f);
    EXPECT_EQ(none.ior(400.f), 1.33f);
    EXPECT_EQ(none.ior(700.f), 1.33f);
}

TEST(Dispersion, TintsAreSpectralColoursThatAverageToWhite) {
    color_t sum(0.f);
    const int n = 3000;
    for (int i = 0; i < n; ++i) sum += yafaray::wavelengthTint(yafaray::wavelengthFromSample((i + 0.5f) / n));
    EXPECT_NEAR(sum.R / n, 1.f, 0.01f);
    EXPECT_NEAR(sum.G / n, 1.f, 0.01f);
    EXPECT_NEAR(sum.B / n, 1.f, 0.01f);
    const color_t red = yafaray::wavelengthTint(650.f), blue = yafaray::wavelengthTint(450.f);
    EXPECT_GT(red.R, red.B);
    EXPECT_GT(blue.B, blue.R);
    // The samples drawn from hit points spread over the whole range.
    float lo = 1.f, hi = 0.f;
    for (int i = 0; i < 200; ++i) {
        const float xi = yafaray::dispersionSample({0.01f * i, 0.3f, 0.f}, {0.f, 0.f, 1.f});
        ASSERT_GE(xi, 0.f);
        ASSERT_LT(xi, 1.f);
        lo = std::min(lo, xi), hi = std::max(hi, xi);
    }
    EXPECT_LT(lo, 0.1f);
    EXPECT_GT(hi, 0.9f);
}

CapturedImage renderGlassWedge(float dispersionPower) {
    SceneBuilder s;
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "glass");
    s.yi.paramsSetFloat("IOR", 1.5);
    s.yi.paramsSetFloat("dispersion_power", dispersionPower);
    auto* mat = s.yi.createMaterial("prism");
    s.yi.startGeometry();
    // A wedge of glass: two tilted faces refract the white background behind it.
    s.quad({-1, -1, 0.5f}, {2, 0, 0.6f}, {0, 2, 0}, mat);
    s.quad({-1, -1, -0.5f}, {0, 2, 0}, {2, 0, -0.6f}, mat);
    s.yi.endGeometry();
    s.camera("orthographic", {0, 0, 5}, {0, 0, 0}, {0, 1, 5}, 24, 24, [&] { s.yi.paramsSetFloat("scale", 1.5); });
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "constant");
    s.yi.paramsSetColor("color", 1, 1, 1, 1);
    s.yi.createBackground("world_background");
    s.directLighting();
    SceneBuilder::RenderOptions o;
    o.background = "world_background";
    return s.render(24, 24, o);
}

TEST(Dispersion, GlassWithDispersionSplitsWhiteLightIntoColoursWithTheSameMean) {
    const CapturedImage plain = renderGlassWedge(0.f), split = renderGlassWedge(0.05f);
    double plainSum = 0, splitSum = 0, plainSpread = 0, splitSpread = 0;
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 24; ++x) {
            const float pr = plain.r(x, y), pg = plain.channel(x, y, 1), pb = plain.channel(x, y, 2);
            const float sr = split.r(x, y), sg = split.channel(x, y, 1), sb = split.channel(x, y, 2);
            plainSum += pr + pg + pb, splitSum += sr + sg + sb;
            plainSpread = std::max<double>(plainSpread, std::max({pr, pg, pb}) - std::min({pr, pg, pb}));
            splitSpread = std::max<double>(splitSpread, std::max({sr, sg, sb}) - std::min({sr, sg, sb}));
        }
    }
    EXPECT_LT(plainSpread, 1e-4);  // without dispersion white stays grey
    EXPECT_GT(splitSpread, 0.2);   // with it, pixels take spectral colours
    EXPECT_NEAR(splitSum / plainSum, 1.0, 0.1);
}

}  // namespace
