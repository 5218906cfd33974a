#include <gtest/gtest.h>

#include "EngineTestSupport.h"

// The soft lights' sampling routines, checked against the integrals they estimate: the mean of
// color·cos θ over a light's samples is the irradiance in the engine's convention (BSDFs
// without 1/π), so it must match the closed forms.

namespace {

using enginetest::SceneBuilder;
using yafaray::light_t;
using yafaray::lightSample_t;
using yafaray::point3d_t;
using yafaray::vector3d_t;

constexpr float kPi = 3.14159265358979323846f;

// Mean of f(sample) over a stratified n×n grid of sample numbers.
template <typename F>
double gridMean(const light_t& light, const point3d_t& p, int n, F f) {
    double sum = 0.0;
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            lightSample_t ls;
            if (light.illuminate(p, (i + 0.5f) / n, (j + 0.5f) / n, ls)) sum += f(ls);
        }
    }
    return sum / (double(n) * n);
}

light_t* makeLight(SceneBuilder& s, const char* type, const std::function<void()>& params) {
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", type);
    s.yi.paramsSetColor("color", 1, 1, 1, 1);
    s.yi.paramsSetFloat("power", 2.0);
    params();
    return s.yi.createLight(type);
}

TEST(LightSampling, SunSamplesAreUniformInSolidAngleInsideItsCone) {
    SceneBuilder s;
    light_t* sun = makeLight(s, "sunlight", [&] {
        s.yi.paramsSetPoint("direction", 0, 0, 1);
        s.yi.paramsSetFloat("angle", 10.0);
        s.yi.paramsSetInt("samples", 16);
    });
    ASSERT_NE(sun, nullptr);
    EXPECT_EQ(sun->nSamples(), 16);
    const float cosAlpha = std::cos(10.f * kPi / 180.f);
    double minCos = 1.0;
    const double meanCos = gridMean(*sun, {0, 0, 0}, 64, [&](const lightSample_t& ls) {
        minCos = std::min(minCos, double(ls.wi.z));
        EXPECT_NEAR(ls.color.R, 2.f, 1e-6f);  // each sample carries c·P: the cone pdf cancels
        EXPECT_LT(ls.distance, 0.f);
        return ls.wi.z;
    });
    EXPECT_GE(minCos, cosAlpha - 1e-5);
    // Uniform in solid angle: cos θ is uniform on [cos α, 1].
    EXPECT_NEAR(meanCos, (1.0 + cosAlpha) / 2.0, 1e-4);
}

TEST(LightSampling, SphereLightSamplesGiveTheIrradianceOfItsDisc) {
    SceneBuilder s;
    const float r = 1.f, d = 4.f;
    light_t* sphere = makeLight(s, "spherelight", [&] {
        s.yi.paramsSetPoint("from", 0, 0, d);
        s.yi.paramsSetFloat("radius", r);
    });
    ASSERT_NE(sphere, nullptr);
    const double e = gridMean(*sphere, {0, 0, 0}, 128,
                              [](const lightSample_t& ls) { return ls.color.R * std::max(0.f, ls.wi.z); });
    // Radiance c·P over a cap of half-angle α, divided by π: c·P·sin²α.
    EXPECT_NEAR(e, 2.0 * (r * r) / (d * d), 2e-3);
    lightSample_t inside;
    EXPECT_FALSE(sphere->illuminate({0, 0, d}, 0.5f, 0.5f, inside));
}

TEST(LightSampling, AreaLightSamplesGiveTheIrradianceOfTheParallelogram) {
    SceneBuilder s;
    const float h = 2.f, a = 1.f;
    // A square of side 2a centred above the origin, facing down.
    light_t* area = makeLight(s, "arealight", [&] {
        s.yi.paramsSetPoint("corner", -a, -a, h);
        s.yi.paramsSetPoint("point1", -a, a, h);
        s.yi.paramsSetPoint("point2", a, -a, h);
    });
    ASSERT_NE(area, nullptr);
    const double e = gridMean(*area, {0, 0, 0}, 128,
                              [](const lightSample_t& ls) { return ls.color.R * std::max(0.f, ls.wi.z); });
    // The square (side 2a) has radiance π·c·P; on its axis the form factor is
    // F = (4/π)·q·atan(q) with q = a/√(a²+h²), the irradiance π·L·F, and divided by π: π·c·P·F.
    const double q = a / std::sqrt(a * a + h * h);
    const double formFactor = (4.0 / kPi) * q * std::atan(q);
    const double expected = kPi * 2.0 * formFactor;
    EXPECT_NEAR(e, expected, expected * 0.01);
    // Single-sided: nothing reaches a point above it.
    lightSample_t above;
    EXPECT_FALSE(area->illuminate({0, 0, 2 * h}, 0.5f, 0.5f, above));
}

TEST(LightSampling, SpotLightFadesSmoothlyBetweenItsCones) {
    SceneBuilder s;
    light_t* spot = makeLight(s, "spotlight", [&] {
        s.yi.paramsSetPoint("from", 0, 0, 1);
        s.yi.paramsSetPoint("to", 0, 0, 0);
        s.yi.paramsSetFloat("cone_angle", 30.0);
        s.yi.paramsSetFloat("blend", 0.5);
    });
    ASSERT_NE(spot, nullptr);
    auto at = [&](float deg) {
        lightSample_t ls;
        const float x = std::tan(deg * kPi / 180.f);
        if (!spot->illuminate({x, 0, 0}, 0.5f, 0.5f, ls)) return 0.f;
        return ls.color.R * (ls.distance * ls.distance);  // undo the inverse square
    };
    EXPECT_NEAR(at(5.f), 2.f, 1e-4f);
    EXPECT_EQ(at(35.f), 0.f);
    EXPECT_GT(at(20.f), 0.1f);
    EXPECT_LT(at(20.f), 1.9f);
    EXPECT_GT(at(17.f), at(23.f));
}

}  // namespace
