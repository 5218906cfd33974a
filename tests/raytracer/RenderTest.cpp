#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "EngineTestSupport.h"
#include "raytracer/core/Environment.h"

namespace {

using enginetest::CapturedImage;
using enginetest::LogCapture;
using enginetest::RecordingProgress;
using enginetest::SceneBuilder;

// A lit ground with a soft shadow and an edge: exercises sampling, filtering and adaptive passes.
void softShadowScene(SceneBuilder& s) {
    auto* white = s.diffuse("white");
    auto* red = s.diffuse("red", 1.f, 0.2f, 0.1f);
    s.yi.startGeometry();
    s.quad({-3, -3, 0}, {6, 0, 0}, {0, 6, 0}, white);
    s.quad({-0.5f, -0.5f, 1.f}, {1, 0, 0}, {0, 1, 0}, red);
    s.yi.endGeometry();
    s.topCamera(5.f, 64, 48);
    s.sun({1, 0.3f, 1}, 1.f, 3.f, 8);
    s.directLighting();
}

TEST(Render, OneAndTwoThreadsGiveIdenticalImages) {
    SceneBuilder::RenderOptions o;
    o.minSamples = 2;
    o.passes = 3;
    o.filter = ",mitchell";
    std::vector<float> images[2];
    for (int threads : {1, 2}) {
        SceneBuilder s;
        softShadowScene(s);
        o.threads = threads;
        images[threads - 1] = s.render(64, 48, o).data;
    }
    ASSERT_EQ(images[0].size(), images[1].size());
    EXPECT_TRUE(images[0] == images[1]);
}

TEST(Render, ProgressIsReportedPerTileAndPerPass) {
    SceneBuilder s;
    softShadowScene(s);
    RecordingProgress progress;
    SceneBuilder::RenderOptions o;
    o.passes = 3;
    o.threshold = 0.0;  // every pixel in every pass
    const CapturedImage img = s.render(64, 48, o, &progress);
    EXPECT_EQ(progress.announcedPasses, 3);
    EXPECT_EQ(progress.inits, 3);
    EXPECT_EQ(progress.dones, 3);
    EXPECT_EQ(progress.lastTotal, 64 * 48);
    for (long steps : progress.stepsAtDone) EXPECT_EQ(steps, 64 * 48);
    EXPECT_EQ(progress.updates, 3 * 2 * 2);  // 32-pixel tiles
    EXPECT_EQ(img.lastChannels, 5);
}

// Returns white right of column 16 and black left of it, and counts its calls.
std::atomic<long> gIntegrateCalls{0};
class halfImageIntegrator_t : public yafaray::surfaceIntegrator_t {
public:
    yafaray::colorA_t integrate(const yafaray::renderContext_t&, yafaray::renderState_t& state,
                                const yafaray::ray_t&, float& depth) const override {
        ++gIntegrateCalls;
        depth = 1.f;
        return yafaray::colorA_t(yafaray::color_t(state.pixelX >= 16 ? 1.f : 0.f), 1.f);
    }
};
yafaray::integrator_t* halfImageFactory(yafaray::paraMap_t&, yafaray::renderEnvironment_t&) {
    return new halfImageIntegrator_t();
}

long callsFor(int passes) {
    SceneBuilder s;
    s.yi.getRenderEnvironment()->registerFactory("half", &halfImageFactory);
    s.yi.startGeometry();
    s.yi.endGeometry();
    s.topCamera(5.f, 32, 32);
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "half");
    s.yi.createIntegrator("surfaceIntegrator");
    SceneBuilder::RenderOptions o;
    o.passes = passes;
    o.minSamples = 1;
    gIntegrateCalls = 0;
    s.render(32, 32, o);
    return gIntegrateCalls.load();
}

TEST(Render, LaterPassesResampleOnlyHighContrastPixels) {
    const long first = callsFor(1);
    EXPECT_EQ(first, 32 * 32);
    const long second = callsFor(2) - first;
    // Only the two columns at the edge (and their diagonal neighbours) differ from a neighbour.
    EXPECT_GE(second, 2 * 31);
    EXPECT_LE(second, 4 * 32);
}

TEST(Render, UniformSceneStaysUniformUnderTheMitchellFilter) {
    SceneBuilder s;
    auto* white = s.diffuse("white");
    s.yi.startGeometry();
    s.quad({-30, -30, 0}, {60, 0, 0}, {0, 60, 0}, white);
    s.yi.endGeometry();
    s.topCamera(5.f, 40, 30);
    s.sun({0, 0, 1}, 1.f, 0.f, 1);
    s.directLighting();
    LogCapture log;
    SceneBuilder::RenderOptions o;
    o.filter = ",mitchell";
    o.minSamples = 4;
    const CapturedImage img = s.render(40, 30, o);
    EXPECT_EQ(log.count("filter_type"), 0);  // the leading comma names Mitchell
    for (int y = 0; y < 30; y += 29) {
        for (int x = 0; x < 40; ++x) EXPECT_NEAR(img.r(x, y), 1.f, 1e-4f) << x << "," << y;
    }
}

TEST(Render, AbortEndsALongRenderPromptly) {
    SceneBuilder s;
    softShadowScene(s);
    RecordingProgress progress;
    SceneBuilder::RenderOptions o;
    o.minSamples = 4096;  // far longer than the watchdog below if abort were ignored
    o.passes = 4;
    auto render = std::async(std::launch::async, [&] { return s.render(640, 480, o, &progress); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    s.yi.abort();
    ASSERT_EQ(render.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    EXPECT_EQ(progress.dones, 0);
}

TEST(Render, RenderRefusesMissingObjectsAndHostileSizes) {
    SceneBuilder s;
    softShadowScene(s);
    LogCapture log;
    s.yi.paramsClearAll();
    s.yi.paramsSetString("camera_name", "nosuchcamera");
    s.yi.paramsSetString("integrator_name", "surfaceIntegrator");
    CapturedImage img;
    s.yi.render(img, nullptr);
    EXPECT_EQ(img.puts, 0);
    EXPECT_GE(log.count("nosuchcamera"), 1);

    s.yi.paramsClearAll();
    s.yi.paramsSetString("camera_name", "camera");
    s.yi.paramsSetString("integrator_name", "surfaceIntegrator");
    s.yi.paramsSetInt("width", 1000000);
    s.yi.paramsSetInt("height", 1000000);
    s.yi.render(img, nullptr);
    EXPECT_EQ(img.puts, 0);
    EXPECT_GE(log.count("cannot be rendered"), 1);
}

}  // namespace
