#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "EngineTestSupport.h"
#include "raytracer/backgrounds/DarkSky.h"
#include "raytracer/lights/BackgroundLight.h"

namespace {

using enginetest::SceneBuilder;
using yafaray::color_t;
using yafaray::vector3d_t;

// Preetham's daylight model written out independently of the engine: zenith luminance
// (cd/m²) and Perez's distribution for the luminance coefficients, angles in radians.
struct ReferenceSky {
    double T, thetaSun;
    double A, B, C, D, E;

    ReferenceSky(double turbidity, double sunElevationDeg, const double mult[5])
        : T(turbidity), thetaSun((90.0 - sunElevationDeg) * M_PI / 180.0) {
        A = (0.1787 * T - 1.4630) * mult[0];
        B = (-0.3554 * T + 0.4275) * mult[1];
        C = (-0.0227 * T + 5.3251) * mult[2];
        D = (0.1206 * T - 2.5771) * mult[3];
        E = (-0.0670 * T + 0.3703) * mult[4];
    }
    double zenith() const {
        const double chi = (4.0 / 9.0 - T / 120.0) * (M_PI - 2.0 * thetaSun);
        return ((4.0453 * T - 4.9710) * std::tan(chi) - 0.2155 * T + 2.4192) * 1000.0;
    }
    double F(double theta, double gamma) const {
        return (1.0 + A * std::exp(B / std::cos(theta))) *
               (1.0 + C * std::exp(D * gamma) + E * std::cos(gamma) * std::cos(gamma));
    }
    // Luminance at zenith angle theta, azimuth dphi away from the sun.
    double luminance(double theta, double dphi) const {
        const double cosGamma =
            std::cos(theta) * std::cos(thetaSun) + std::sin(theta) * std::sin(thetaSun) * std::cos(dphi);
        const double gamma = std::acos(std::clamp(cosGamma, -1.0, 1.0));
        return zenith() * F(theta, gamma) / F(0.0, thetaSun);
    }
};

vector3d_t direction(double theta, double phi) {
    return vector3d_t(float(std::sin(theta) * std::cos(phi)), float(std::sin(theta) * std::sin(phi)),
                      float(std::cos(theta)));
}

const yafaray::darkSkyBackground_t* makeSky(SceneBuilder& s, const vector3d_t& from, float turbidity,
                                            const float mult[5], bool light = false) {
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "darksky");
    s.yi.paramsSetPoint("from", from.x, from.y, from.z);
    s.yi.paramsSetFloat("power", 1.0);
    s.yi.paramsSetFloat("turbidity", turbidity);
    const char* keys[5] = {"a_var", "b_var", "c_var", "d_var", "e_var"};
    for (int k = 0; k < 5; ++k) s.yi.paramsSetFloat(keys[k], mult[k]);
    s.yi.paramsSetBool("night", false);
    if (light) {
        s.yi.paramsSetBool("background_light", true);
        s.yi.paramsSetInt("light_samples", 10);
    }
    return dynamic_cast<const yafaray::darkSkyBackground_t*>(s.yi.createBackground("world_background"));
}

class SkyLuminance : public ::testing::TestWithParam<std::array<float, 5>> {};

TEST_P(SkyLuminance, ZenithAndNearHorizonMatchTheClosedFormForASunFortyDegreesUp) {
    const std::array<float, 5> m = GetParam();
    const double mult[5] = {m[0], m[1], m[2], m[3], m[4]};
    const ReferenceSky ref(3.5, 40.0, mult);
    SceneBuilder s;
    // The sun 40° above the horizon, azimuth along +x.
    const double elev = 40.0 * M_PI / 180.0;
    const vector3d_t sun(float(std::cos(elev)), 0.f, float(std::sin(elev)));
    const auto* sky = makeSky(s, sun, 3.5f, m.data());
    ASSERT_NE(sky, nullptr);
    const yafaray::DarkSkyModel& model = sky->model();

    const double zenith = model.luminance(vector3d_t(0.f, 0.f, 1.f));
    EXPECT_NEAR(zenith / ref.zenith(), 1.0, 0.02);
    for (double elevationDeg : {2.0, 5.0, 10.0}) {
        for (double dphiDeg : {0.0, 90.0, 180.0}) {
            const double theta = (90.0 - elevationDeg) * M_PI / 180.0, dphi = dphiDeg * M_PI / 180.0;
            const double expected = ref.luminance(theta, dphi);
            const double got = model.luminance(direction(theta, dphi));
            EXPECT_NEAR(got / expected, 1.0, 0.02) << "elevation " << elevationDeg << " azimuth " << dphiDeg;
        }
    }
}

// Plain multipliers, and the sky layer's defaults (bright horizon, tight circumsolar region).
INSTANTIATE_TEST_SUITE_P(Multipliers, SkyLuminance,
                         ::testing::Values(std::array<float, 5>{1, 1, 1, 1, 1},
                                           std::array<float, 5>{2.4f, 1, 30, 30, 1}));

TEST(DarkSky, SunAtTheZenithGivesAnAzimuthSymmetricSky) {
    SceneBuilder s;
    const float mult[5] = {2.4f, 1, 30, 30, 1};
    const auto* sky = makeSky(s, {0, 0, 1}, 3.5f, mult);
    ASSERT_NE(sky, nullptr);
    for (double elevationDeg : {3.0, 20.0, 60.0}) {
        const double theta = (90.0 - elevationDeg) * M_PI / 180.0;
        const color_t c0 = sky->eval(direction(theta, 0.0));
        const double l0 = sky->model().luminance(direction(theta, 0.0));
        for (int k = 1; k < 12; ++k) {
            const vector3d_t d = direction(theta, k * M_PI / 6.0);
            EXPECT_NEAR(sky->model().luminance(d) / l0, 1.0, 1e-4);
            const color_t c = sky->eval(d);
            EXPECT_NEAR(c.R, c0.R, 1e-4f);
            EXPECT_NEAR(c.G, c0.G, 1e-4f);
            EXPECT_NEAR(c.B, c0.B, 1e-4f);
        }
    }
}

TEST(DarkSky, ColoursAreDisplayEncodedAndBrighterTowardsTheSun) {
    SceneBuilder s;
    const float mult[5] = {1, 1, 1, 1, 1};
    const auto* sky = makeSky(s, vector3d_t(0.6f, 0.f, 0.8f), 3.5f, mult);
    ASSERT_NE(sky, nullptr);
    const color_t nearSun = sky->eval(vector3d_t(0.5f, 0.f, 0.866f).normalized());
    const color_t away = sky->eval(vector3d_t(-0.5f, 0.f, 0.866f).normalized());
    EXPECT_GT(nearSun.luminance(), away.luminance());
    for (const color_t& c : {nearSun, away}) {
        for (float v : {c.R, c.G, c.B}) {
            EXPECT_GE(v, 0.f);
            EXPECT_LE(v, 1.f);
        }
    }
    // A clear daylight sky away from the sun is bluer than it is red.
    EXPECT_GT(away.B, away.R);
}

// Display encoding brightens the sky but keeps the model's hue: the channel ratios are those of
// the linear colour of its chromaticity, so a clear zenith stays as blue as the model makes it.
TEST(DarkSky, EncodingKeepsTheHueOfTheModelsChromaticity) {
    SceneBuilder s;
    const float mult[5] = {1, 1, 1, 1, 1};
    const auto* sky = makeSky(s, vector3d_t(0.6f, 0.f, 0.8f), 3.5f, mult);
    ASSERT_NE(sky, nullptr);
    for (const vector3d_t& d : {vector3d_t(0.f, 0.f, 1.f), vector3d_t(-0.7f, 0.f, 0.714f).normalized(),
                                vector3d_t(0.f, 0.98f, 0.2f).normalized()}) {
        double x = 0, y = 0;
        sky->model().chromaticity(d, x, y);
        // Linear RGB of (x, y) at unit luminance, with the equal-energy white point's primaries.
        const double X = x / y, Z = (1.0 - x - y) / y;
        const double r = 2.3706743 * X - 0.9000405 - 0.4706338 * Z;
        const double g = -0.5138850 * X + 1.4253036 + 0.0885814 * Z;
        const double b = 0.0052982 * X - 0.0146949 + 1.0093968 * Z;
        const color_t c = sky->eval(d);
        ASSERT_GT(c.G, 0.f);
        EXPECT_NEAR(c.R / c.G, r / g, 0.01 * r / g);
        EXPECT_NEAR(c.B / c.G, b / g, 0.01 * b / g);
    }
    // The clear zenith is plainly blue, not the pale cyan of channels encoded one by one.
    const color_t zenith = sky->eval(vector3d_t(0.f, 0.f, 1.f));
    EXPECT_GT(zenith.B, 1.3f * zenith.R);
}

TEST(DarkSky, HostileParametersGiveFiniteColours) {
    SceneBuilder s;
    const float wild[5] = {-50, -50, 1000, 1000, -50};
    const auto* sky = makeSky(s, vector3d_t(0.f, 0.3f, -0.9f), 0.f, wild);
    ASSERT_NE(sky, nullptr);
    for (int k = 0; k < 64; ++k) {
        const color_t c = sky->eval(direction(k * M_PI / 63.0, k * 0.7));
        EXPECT_TRUE(std::isfinite(c.R) && std::isfinite(c.G) && std::isfinite(c.B));
        EXPECT_GE(c.R, 0.f);
    }
}

TEST(DarkSky, BackgroundLightAddsOneLightOnlyWhenAsked) {
    SceneBuilder s;
    const float mult[5] = {1, 1, 1, 1, 1};
    makeSky(s, {0, 0, 1}, 3.5f, mult, false);
    EXPECT_EQ(s.yi.getRenderEnvironment()->lights().size(), 0u);
    s.yi.clearAll();
    enginetest::LogCapture log;
    makeSky(s, {0, 0, 1}, 3.5f, mult, true);
    ASSERT_EQ(s.yi.getRenderEnvironment()->lights().size(), 1u);
    EXPECT_EQ(s.yi.getRenderEnvironment()->lights()[0]->nSamples(), 10);
    EXPECT_EQ(log.count("unused parameter"), 0);
}

// The sun "add_sun" adds, seen from the origin: its direction and its colour × power.
bool addedSun(const vector3d_t& from, float sunPower, bool night, yafaray::lightSample_t& ls) {
    SceneBuilder s;
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "darksky");
    s.yi.paramsSetPoint("from", from.x, from.y, from.z);
    s.yi.paramsSetFloat("turbidity", 3.5);
    s.yi.paramsSetBool("add_sun", true);
    s.yi.paramsSetFloat("sun_power", sunPower);
    s.yi.paramsSetBool("night", night);
    s.yi.createBackground("world_background");
    const auto& lights = s.yi.getRenderEnvironment()->lights();
    if (lights.empty()) return false;
    EXPECT_EQ(lights.size(), 1u);
    return lights[0]->illuminate({0, 0, 0}, 0.5f, 0.5f, ls);
}

TEST(DarkSky, AddSunAddsASunlightThatReddensTowardsTheHorizon) {
    yafaray::lightSample_t high, low, doubled, night, below;
    ASSERT_TRUE(addedSun({0, 0, 1}, 1.f, false, high));
    ASSERT_TRUE(addedSun({1, 0, 0.05f}, 1.f, false, low));
    ASSERT_TRUE(addedSun({0, 0, 1}, 2.f, false, doubled));
    ASSERT_TRUE(addedSun({0, 0, 1}, 1.f, true, night));
    EXPECT_FALSE(addedSun({1, 0, -0.5f}, 1.f, false, below)) << "a sun far below the horizon adds no light";
    // Inside the sun's half-degree cone around "from".
    EXPECT_GT(high.wi.z, 0.9999f);
    EXPECT_GT(dot(low.wi, vector3d_t(1, 0, 0.05f).normalized()), 0.999f);
    // High up the sun is nearly white, blue a little weaker; at the horizon blue is mostly gone.
    EXPECT_GT(high.color.B, 0.7f);
    EXPECT_GE(high.color.R, high.color.G);
    EXPECT_GE(high.color.G, high.color.B);
    EXPECT_LT(low.color.B / low.color.R, 0.5f * high.color.B / high.color.R);
    EXPECT_NEAR(doubled.color.G, 2.f * high.color.G, 1e-5f);
    // At night the sun's power is halved and tinted (0.8, 0.8, 1).
    EXPECT_NEAR(night.color.R, 0.4f * high.color.R, 1e-5f);
    EXPECT_NEAR(night.color.B, 0.5f * high.color.B, 1e-5f);
}

// A test background with a bright cap around one direction over a dim uniform rest.
class CappedBackground : public yafaray::background_t {
public:
    color_t eval(const vector3d_t& dir) const override {
        return dot(dir, vector3d_t(0.6f, 0.f, 0.8f)) > 0.95f ? color_t(20.f) : color_t(0.5f);
    }
};

TEST(BackgroundLight, SampledDensityAgreesWithItsEvaluation) {
    const CappedBackground bg;
    const yafaray::backgroundLight_t light(&bg, 8);
    double integralOne = 0, integralL = 0;
    constexpr int kN = 200000;
    uint32_t rng = 12345;
    auto uniform = [&] {
        rng = rng * 1664525u + 1013904223u;
        return (rng >> 8) * (1.f / 16777216.f);
    };
    for (int i = 0; i < kN; ++i) {
        float pdf = 0.f;
        const vector3d_t d = light.sampleDirection(uniform(), uniform(), pdf);
        ASSERT_GT(pdf, 0.f);
        // Rounding may put a sample on the far side of a cell edge, where the density steps.
        EXPECT_NEAR(light.pdf(d) / pdf, 1.f, 3e-2f);
        integralOne += 1.0 / pdf;
        integralL += bg.eval(d).R / pdf;
    }
    // ∫ dω = 4π, and ∫ L dω = 0.5·4π + 19.5·(cap solid angle 2π(1 − 0.95)).
    EXPECT_NEAR(integralOne / kN / (4.0 * M_PI), 1.0, 0.02);
    const double expectedL = 0.5 * 4.0 * M_PI + 19.5 * 2.0 * M_PI * 0.05;
    EXPECT_NEAR(integralL / kN / expectedL, 1.0, 0.02);

    // The samples' colours (tabulated per cell) average to (1/π)·∫ L dω. Media take the light's
    // mean illumination instead of sampling: the same over the sky above the horizon only.
    yafaray::color_t mean;
    ASSERT_TRUE(light.meanIllumination(mean));
    const double expectedAbove = 0.5 * 2.0 * M_PI + 19.5 * 2.0 * M_PI * 0.05;
    EXPECT_NEAR(mean.R / (expectedAbove / M_PI), 1.0, 0.02);
    double sampled = 0;
    for (int i = 0; i < kN; ++i) {
        yafaray::lightSample_t ls;
        ASSERT_TRUE(light.illuminate({0, 0, 0}, uniform(), uniform(), ls));
        sampled += ls.color.R;
    }
    EXPECT_NEAR(sampled / kN / (expectedL / M_PI), 1.0, 0.02);
}

TEST(BackgroundLight, UniformSkyOnAWhiteLambertSurfaceGivesTheSkyRadiance) {
    class Uniform : public yafaray::background_t {
    public:
        color_t eval(const vector3d_t&) const override { return color_t(0.7f); }
    };
    const Uniform bg;
    const yafaray::backgroundLight_t light(&bg, 16);
    // White Lambert k_d = 1 facing +z: the mean of f·L·cosθ / pdf over the upper hemisphere.
    double sum = 0;
    constexpr int kN = 100;
    for (int i = 0; i < kN; ++i) {
        for (int j = 0; j < kN; ++j) {
            yafaray::lightSample_t ls;
            if (!light.illuminate({0, 0, 0}, (i + 0.5f) / kN, (j + 0.5f) / kN, ls)) continue;
            if (ls.wi.z > 0.f) sum += ls.color.R * ls.wi.z;
        }
    }
    EXPECT_NEAR(sum / (kN * kN), 0.7, 0.7 * 0.01);
}

TEST(BackgroundLight, SkyLitPlaneRendersBrightAndEven) {
    SceneBuilder s;
    const float mult[5] = {1, 1, 1, 1, 1};
    auto* white = s.diffuse("white");
    s.yi.startGeometry();
    s.quad({-50, -50, 0}, {100, 0, 0}, {0, 100, 0}, white);
    s.yi.endGeometry();
    s.topCamera(5.f, 24, 24);
    makeSky(s, {0, 0, 1}, 3.5f, mult, true);
    s.directLighting();
    SceneBuilder::RenderOptions o;
    o.background = "world_background";
    const auto img = s.render(24, 24, o);
    float lo = 1e9f, hi = 0.f;
    for (int y = 8; y < 16; ++y) {
        for (int x = 8; x < 16; ++x) {
            lo = std::min(lo, img.r(x, y));
            hi = std::max(hi, img.r(x, y));
        }
    }
    EXPECT_GT(lo, 0.05f);
    // Ten importance-sampled directions per pixel keep the noise of a sun-at-zenith sky small.
    EXPECT_LT((hi - lo) / hi, 0.45f);
}

}  // namespace
