#include <gtest/gtest.h>

#include <cmath>

#include "EngineTestSupport.h"
#include "raytracer/backgrounds/DarkSky.h"

namespace {

using enginetest::SceneBuilder;
using yafaray::color_t;
using yafaray::vector3d_t;

// The application's default sky: turbidity 3.5, horizon brightness 2.4, circumsolar 30/30, the sun
// about 40° up.
const yafaray::background_t* defaultSky(SceneBuilder& s, float exposure) {
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "darksky");
    s.yi.paramsSetPoint("from", -0.4, -0.4, 0.4343);
    s.yi.paramsSetFloat("turbidity", 3.5);
    s.yi.paramsSetFloat("a_var", 2.4);
    s.yi.paramsSetFloat("c_var", 30);
    s.yi.paramsSetFloat("d_var", 30);
    s.yi.paramsSetFloat("exposure", exposure);
    return s.yi.createBackground("world_background");
}

vector3d_t awayFromTheSun(double elevationDeg) {
    const double e = elevationDeg * M_PI / 180.0;
    return vector3d_t(float(0.7071 * std::cos(e)), float(0.7071 * std::cos(e)), float(std::sin(e)));
}

TEST(SkyExposure, TheDefaultDaylightSkyIsBlueAndNotWashedOutAboveTheHorizon) {
    SceneBuilder s;
    const yafaray::background_t* sky = defaultSky(s, 1.f);
    ASSERT_NE(sky, nullptr);
    for (double elevation : {20.0, 45.0, 90.0}) {
        const color_t c = sky->eval(awayFromTheSun(elevation));
        EXPECT_LT(c.R, 0.97f) << elevation;
        EXPECT_GT(c.B, c.R) << elevation;
    }
    // Brighter towards the horizon, as a clear sky is.
    EXPECT_GT(sky->eval(awayFromTheSun(10)).energy(), sky->eval(awayFromTheSun(80)).energy());
}

TEST(SkyExposure, ExposureBrightensADimSkyWithoutReachingWhite) {
    SceneBuilder low, high;
    const yafaray::background_t* dim = defaultSky(low, 0.5f);
    const yafaray::background_t* bright = defaultSky(high, 4.f);
    ASSERT_NE(dim, nullptr);
    ASSERT_NE(bright, nullptr);
    const vector3d_t zenith(0, 0, 1);
    EXPECT_GT(bright->eval(zenith).energy(), dim->eval(zenith).energy());
    EXPECT_LT(bright->eval(zenith).R, 1.f);
}

}  // namespace
