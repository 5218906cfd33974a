#include <gtest/gtest.h>

#include <cmath>

#include "EngineTestSupport.h"
#include "raytracer/core/ToneCurve.h"

namespace {

using enginetest::CapturedImage;
using enginetest::SceneBuilder;

TEST(ToneCurve, FilmicCurveIsMonotoneKeepsMidTonesAndNeverReachesOne) {
    EXPECT_EQ(yafaray::filmicCurve(0.f), 0.f);
    EXPECT_EQ(yafaray::filmicCurve(0.5f), 0.5f);
    float previous = -1.f;
    for (float x = 0.f; x < 50.f; x += 0.01f) {
        const float y = yafaray::filmicCurve(x);
        // Strictly increasing while single precision can tell the values apart, never above 1.
        if (x < 3.f) {
            ASSERT_GT(y, previous) << x;
            ASSERT_LT(y, 1.f) << x;
        }
        ASSERT_GE(y, previous) << x;
        ASSERT_LE(y, 1.f) << x;
        previous = y;
    }
    // The shoulder still separates bright values: twice as bright stays visibly brighter.
    EXPECT_GT(yafaray::filmicCurve(2.f) - yafaray::filmicCurve(1.f), 0.02f);
}

TEST(ToneCurve, FilmicMappingKeepsHueAndBlackAndNeverClips) {
    const float colours[][3] = {{0.f, 0.f, 0.f}, {0.3f, 0.5f, 0.7f}, {0.9f, 1.9f, 2.6f}, {40.f, 2.f, 0.f}};
    for (const auto& c : colours) {
        float m[3] = {c[0], c[1], c[2]};
        yafaray::filmicToneMap(m);
        for (int k = 0; k < 3; ++k) {
            EXPECT_LE(m[k], 1.f);
            EXPECT_GE(m[k], 0.f);
        }
        // The channels keep their order and the hue its angle: a bright blue sky stays blue.
        auto hue = [](const float* v) {
            return std::atan2(std::sqrt(3.f) * (v[1] - v[2]), 2.f * v[0] - v[1] - v[2]);
        };
        if (c[0] != c[1] || c[1] != c[2]) {
            EXPECT_NEAR(hue(m), hue(c), 1e-3f);
            for (int a = 0; a < 3; ++a) {
                for (int b = 0; b < 3; ++b) {
                    if (c[a] < c[b]) {
                        EXPECT_LE(m[a], m[b]);
                    }
                }
            }
        }
    }
    // Colours just above white keep most of their saturation; far above, they fade to white.
    float sky[3] = {0.5f, 0.8f, 1.2f}, glare[3] = {20.f, 24.f, 30.f};
    yafaray::filmicToneMap(sky);
    yafaray::filmicToneMap(glare);
    EXPECT_GT(sky[2] - sky[0], 0.25f);
    EXPECT_LT(glare[2] - glare[0], 0.02f);
    float nan[3] = {NAN, 0.f, 0.f};
    yafaray::filmicToneMap(nan);
    EXPECT_TRUE(std::isfinite(nan[0]));
}

TEST(ToneCurve, FilmRollsOffHighlightsOnlyWhenAsked) {
    // A white plane under a power-3 sun: 3 with the default clip mode (the output clips it),
    // below 1 and brighter than a power-1 sun's plane with the filmic curve.
    auto plane = [](float power, const char* toneMapping) {
        SceneBuilder s;
        auto* white = s.diffuse("white");
        s.yi.startGeometry();
        s.quad({-3, -3, 0}, {6, 0, 0}, {0, 6, 0}, white);
        s.yi.endGeometry();
        s.topCamera(5.f, 20, 20);
        s.sun({0, 0, 1}, power, 0.27f, 4);
        s.directLighting();
        SceneBuilder::RenderOptions o;
        o.toneMapping = toneMapping;
        return s.render(20, 20, o).r(10, 10);
    };
    EXPECT_NEAR(plane(3.f, nullptr), 3.f, 0.03f);
    EXPECT_EQ(plane(3.f, "clip"), plane(3.f, nullptr));
    const float rolled = plane(3.f, "filmic");
    EXPECT_LT(rolled, 1.f);
    EXPECT_GT(rolled, plane(1.f, "filmic"));
    // Mid-tones are the same either way.
    EXPECT_FLOAT_EQ(plane(0.5f, "filmic"), plane(0.5f, nullptr));
}

}  // namespace
