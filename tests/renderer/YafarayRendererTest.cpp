#include "renderer/YafarayRenderer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "foundation/MainThreadDispatcher.h"
#include "renderer/RendererImage.h"
#include "renderer/TracingInterface.h"
#include "scene/Scene.h"

namespace korvane {
namespace {

// A layer that appends a ground quad, a camera looking down at it from `height` and a sun.
class TestSceneLayer : public BaseSceneLayer {
public:
    explicit TestSceneLayer(float height = 0.6f) : height_(height) {}
    std::string archiveClassName() const override { return "TestSceneLayer"; }
    std::string name() const override { return "Test Scene"; }
    std::shared_ptr<BaseSceneLayer> copy() const override {
        return std::make_shared<TestSceneLayer>(height_);
    }
    void appendToRenderer(BaseRenderer& renderer) override {
        if (!renderer.isYafarayRenderer()) return;
        yafaray::yafrayInterface_t& yi = *renderer.yafrayinterface();
        yi.paramsClearAll();
        yi.paramsSetString("type", "shinydiffusemat");
        yi.paramsSetColor("color", 0.8f, 0.6f, 0.4f, 1.f);
        yafaray::material_t* mat = yi.createMaterial("ground");
        unsigned int id = 0;
        yi.startTriMesh(id, 4, 2, false, false, 0);
        yi.addVertex(-5, -5, 0);
        yi.addVertex(5, -5, 0);
        yi.addVertex(5, 5, 0);
        yi.addVertex(-5, 5, 0);
        yi.addTriangle(0, 1, 2, mat);
        yi.addTriangle(0, 2, 3, mat);
        yi.endTriMesh();
        const Size size = renderer.outputSize();
        yi.paramsClearAll();
        yi.paramsSetString("type", "perspective");
        yi.paramsSetPoint("from", 0, 0, height_);
        yi.paramsSetPoint("to", 0, 0, 0);
        yi.paramsSetPoint("up", 0, 1, height_);
        yi.paramsSetInt("resx", int(size.width));
        yi.paramsSetInt("resy", int(size.height));
        yi.createCamera("camera");
        yi.paramsClearAll();
        yi.paramsSetString("type", "sunlight");
        yi.paramsSetPoint("direction", 0.2, 0.3, 1);
        yi.paramsSetColor("color", 1, 1, 1, 1);
        yi.paramsSetFloat("power", 1.0);
        yi.createLight("sun");
        ++appended;
    }
    static inline std::atomic<int> appended{0};

private:
    float height_;
};

// Stands for the sky layer: the renderer recognises it by its class name.
class TestSkyLayer final : public BaseSceneLayer {
public:
    std::string archiveClassName() const override { return "SkyLayer"; }
    std::shared_ptr<BaseSceneLayer> copy() const override { return std::make_shared<TestSkyLayer>(); }
};

class TestFogLayer final : public BaseSceneLayer, public RendererHazeSource {
public:
    explicit TestFogLayer(bool active) : active_(active) {}
    std::string archiveClassName() const override { return "FogLayer"; }
    std::shared_ptr<BaseSceneLayer> copy() const override { return std::make_shared<TestFogLayer>(active_); }
    bool hazeActive() const override { return active_; }
    float hazeStrength() const override { return 0.5f; }
    float hazeDistance() const override { return 40.0f; }

private:
    bool active_;
};

struct RecordingDelegate final : RendererDelegate {
    void rendererDidStart(BaseRenderer&) override { ++started; }
    void rendererDidUpdateImage(BaseRenderer&, RendererImage&) override { ++images; }
    void rendererDidUpdateProgress(BaseRenderer&, float p, const std::string& m) override {
        progress.push_back(p);
        messages.push_back(m);
    }
    void rendererDidComplete(BaseRenderer&, RendererImage& image) override {
        ++completed;
        alpha = image.image().pixel(image.width() / 2, image.height() / 2)[3];
        depth = image.depthAtPoint({double(image.width() / 2), double(image.height() / 2)});
        allOpaque = true;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) allOpaque &= image.image().pixel(x, y)[3] == 255;
    }
    void rendererDidFail(BaseRenderer&, const std::string& message) override { failure = message; }
    bool finished() const { return completed > 0 || !failure.empty(); }
    int started = 0, images = 0, completed = 0;
    std::vector<float> progress;
    std::vector<std::string> messages;
    std::string failure;
    int alpha = -1;
    float depth = 0;
    bool allOpaque = false;
};

SynchronousDispatcher& dispatcher() {
    return dynamic_cast<SynchronousDispatcher&>(MainThreadDispatcher::shared());
}

// Runs the main thread's queue until `done` holds (or a generous time has passed).
template <typename Condition>
void pumpUntil(Condition done) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done() && std::chrono::steady_clock::now() < until) {
        dispatcher().runPending();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    dispatcher().runPending();
}

std::shared_ptr<YafarayRenderer> smallRenderer() {
    auto renderer = YafarayRenderer::create();
    renderer->setOutputSize({24, 16});
    renderer->setThreads(2);
    return renderer;
}

// Kept first: it must run before any render of the process has made the shared interface.
TEST(YafarayRendererTest, AbortBeforeTheFirstRenderOnlyClearsTheDelegate) {
    auto renderer = smallRenderer();
    if (renderer->yafrayinterface()) GTEST_SKIP() << "another test made the shared interface first";
    renderer->abort();
    EXPECT_FALSE(renderer->isAborted());
    EXPECT_EQ(renderer->delegate(), nullptr);
}

TEST(YafarayRendererTest, LevelOneAndLevelThreeDefaults) {
    DefaultsDictionary one = YafarayRenderer::updateSettingsInDictionary(nullptr, 1, false);
    auto renderer = YafarayRenderer::create();
    renderer->configureFromSettingsDictionary(one);
    EXPECT_EQ(renderer->pathSamples(), 3);
    EXPECT_EQ(renderer->pathBounces(), 3);
    EXPECT_EQ(renderer->aaSamples(), 1);
    EXPECT_EQ(renderer->aaPasses(), 1);
    EXPECT_FLOAT_EQ(renderer->volumeAccuracy(), 0.25f);
    EXPECT_EQ(renderer->lightSamples(), 3);
    EXPECT_EQ(renderer->outputSize(), (Size{320, 240}));
    EXPECT_EQ(renderer->rendererType(), 0);
    // New settings roll highlights off; a stored 0 keeps the plain clip.
    EXPECT_TRUE(renderer->filmicToneMapping());
    DefaultsDictionary clipped = one;
    clipped[YafarayRenderer::kFilmicToneMappingKey] = 0;
    renderer->configureFromSettingsDictionary(YafarayRenderer::updateSettingsInDictionary(&clipped, 1, false));
    EXPECT_FALSE(renderer->filmicToneMapping());
    // The preview is shown as sampled and directly lit, full renders are denoised and bounce light.
    EXPECT_FALSE(renderer->denoise());
    EXPECT_FALSE(renderer->indirectBounce());
    renderer->configureFromSettingsDictionary(YafarayRenderer::updateSettingsInDictionary(nullptr, 3, false));
    EXPECT_TRUE(renderer->denoise());
    EXPECT_TRUE(renderer->indirectBounce());
    DefaultsDictionary noisy = YafarayRenderer::updateSettingsInDictionary(nullptr, 3, false);
    noisy[YafarayRenderer::kDenoiseKey] = 0;
    renderer->configureFromSettingsDictionary(YafarayRenderer::updateSettingsInDictionary(&noisy, 3, false));
    EXPECT_FALSE(renderer->denoise());
    renderer->configureFromSettingsDictionary(YafarayRenderer::updateSettingsInDictionary(nullptr, 3, false));
    EXPECT_EQ(renderer->pathSamples(), 15);
    EXPECT_EQ(renderer->pathBounces(), 5);
    EXPECT_EQ(renderer->aaSamples(), 1);
    EXPECT_EQ(renderer->aaPasses(), 3);
    EXPECT_FLOAT_EQ(renderer->volumeAccuracy(), 0.35f);
    EXPECT_EQ(renderer->lightSamples(), 5);
    DefaultsDictionary five = YafarayRenderer::updateSettingsInDictionary(nullptr, 5, false);
    EXPECT_EQ(five["yafarayPathSamples"].toInteger(), 27);
    EXPECT_EQ(five["yafarayAAPasses"].toInteger(), 4);
    EXPECT_EQ(YafarayRenderer::updateSettingsInDictionary(nullptr, 6, false)["yafarayAASamples"].toInteger(),
              2);
}

TEST(YafarayRendererTest, CompletingAFullDictionaryChangesNothingUnlessForced) {
    DefaultsDictionary stored = YafarayRenderer::updateSettingsInDictionary(nullptr, 5, false);
    stored["rendererOutputSizeWidth"] = 1920;
    stored["yafarayRendererType"] = 1;
    EXPECT_EQ(YafarayRenderer::updateSettingsInDictionary(&stored, 1, false), stored);
    DefaultsDictionary forced = YafarayRenderer::updateSettingsInDictionary(&stored, 1, true);
    EXPECT_EQ(forced["rendererOutputSizeWidth"].toInteger(), 320);
    EXPECT_EQ(forced["yafarayPathSamples"].toInteger(), 3);
    EXPECT_EQ(forced["yafarayRendererType"].toInteger(), 1) << "the defaults never write the type";
    // A missing key reads as 0.
    auto renderer = YafarayRenderer::create();
    renderer->configureFromSettingsDictionary({});
    EXPECT_EQ(renderer->outputSize(), (Size{0, 0}));
    EXPECT_EQ(renderer->aaPasses(), 0);
}

class YafarayRenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        setRendererCallTrace([this](const std::string& line) { trace.push_back(line); });
    }
    void TearDown() override { setRendererCallTrace({}); }

    void render(std::shared_ptr<YafarayRenderer> renderer, const std::shared_ptr<Scene>& scene,
                RecordingDelegate& delegate) {
        renderer->renderScene(scene, &delegate);
        pumpUntil([&] { return delegate.finished(); });
    }
    int indexOf(const std::string& line, int from = 0) const {
        for (size_t i = from; i < trace.size(); ++i)
            if (trace[i] == line) return int(i);
        return -1;
    }
    std::vector<std::string> trace;
};

TEST_F(YafarayRenderTest, SceneWithoutSkyTakesAlphaFromDepthAndFullRenderCompletes) {
    auto scene = std::make_shared<Scene>();
    scene->addLayer(std::make_shared<TestSceneLayer>(0.6f));
    RecordingDelegate delegate;
    render(smallRenderer(), scene, delegate);
    ASSERT_EQ(delegate.completed, 1) << delegate.failure;
    EXPECT_EQ(delegate.started, 1);
    EXPECT_NEAR(delegate.depth, 0.6f, 0.05f);
    EXPECT_NEAR(delegate.alpha, int(delegate.depth * 255), 1);
    ASSERT_FALSE(delegate.messages.empty());
    EXPECT_EQ(delegate.messages.front(), "Preparing…");
    EXPECT_EQ(delegate.messages.back(), "Rendering Pass 1 of 1…");
    EXPECT_EQ(delegate.progress.back(), 1.0f);
    EXPECT_GT(delegate.images, 0);
}

TEST_F(YafarayRenderTest, WithASkyLayerEveryAlphaIsOne) {
    auto scene = std::make_shared<Scene>();
    scene->addLayer(std::make_shared<TestSceneLayer>(0.6f));
    scene->addLayer(std::make_shared<TestSkyLayer>());
    RecordingDelegate delegate;
    render(smallRenderer(), scene, delegate);
    ASSERT_EQ(delegate.completed, 1) << delegate.failure;
    EXPECT_TRUE(delegate.allOpaque);
}

TEST_F(YafarayRenderTest, IntegratorsAndRenderParametersInTheirOrder) {
    auto scene = std::make_shared<Scene>();
    scene->addLayer(std::make_shared<TestSceneLayer>());
    scene->addLayer(std::make_shared<TestFogLayer>(false));
    RecordingDelegate delegate;
    auto renderer = smallRenderer();
    render(renderer, scene, delegate);
    ASSERT_EQ(delegate.completed, 1) << delegate.failure;
    const int surface = indexOf("paramsSetString \"type\" \"directlighting\"");
    ASSERT_GT(surface, 0);
    const std::vector<std::string> expected = {"paramsSetString \"type\" \"directlighting\"",
                                               "paramsSetBool \"transpShad\" true",
                                               "paramsSetInt \"raydepth\" 128",
                                               "paramsSetInt \"shadowDepth\" 5",
                                               "createIntegrator \"surfaceIntegrator\"",
                                               "paramsClearAll",
                                               "paramsSetString \"type\" \"FixedSingleScatterIntegrator\"",
                                               "paramsSetFloat \"stepSize\" 0.245000005",
                                               "paramsSetBool \"adaptive\" false",
                                               "paramsSetBool \"optimize\" true",
                                               "createIntegrator \"volumeIntegrator\"",
                                               "paramsClearAll",
                                               "paramsSetString \"camera_name\" \"camera\"",
                                               "paramsSetString \"integrator_name\" \"surfaceIntegrator\"",
                                               "paramsSetString \"volintegrator_name\" \"volumeIntegrator\"",
                                               "paramsSetInt \"AA_minsamples\" 1",
                                               "paramsSetInt \"AA_passes\" 1",
                                               "paramsSetString \"filter_type\" \",mitchell\"",
                                               "paramsSetInt \"width\" 24",
                                               "paramsSetInt \"height\" 16",
                                               "paramsSetInt \"threads\" 2",
                                               "paramsSetBool \"z_channel\" true",
                                               "paramsSetString \"tone_mapping\" \"clip\"",
                                               "paramsSetBool \"denoise\" false",
                                               "paramsSetString \"background_name\" \"world_background\"",
                                               "render",
                                               "clearAll"};
    ASSERT_GE(trace.size(), surface + expected.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(trace[surface + i], expected[i]) << i;
    EXPECT_EQ(trace[surface - 1], "paramsClearAll");
    // The mesh is summarised in one line.
    EXPECT_GE(
        indexOf("triMesh 2147483647 vertices 4 uvs 0 triangles 2 bounds -5 -5 0 5 5 0 materials \"ground\""),
        0);
}

TEST_F(YafarayRenderTest, ActiveHazeAddsItsParametersToTheVolumeIntegrator) {
    auto scene = std::make_shared<Scene>();
    scene->addLayer(std::make_shared<TestSceneLayer>());
    scene->addLayer(std::make_shared<TestFogLayer>(true));
    RecordingDelegate delegate;
    render(smallRenderer(), scene, delegate);
    const int optimize = indexOf("paramsSetBool \"optimize\" true");
    ASSERT_GT(optimize, 0);
    EXPECT_EQ(trace[optimize + 1], "paramsSetFloat \"hazeStrength\" 0.5");
    EXPECT_EQ(trace[optimize + 2], "paramsSetFloat \"hazeDistance\" 40");
    EXPECT_EQ(trace[optimize + 3], "createIntegrator \"volumeIntegrator\"");
}

TEST_F(YafarayRenderTest, WithoutAFogLayerTheVolumeIntegratorGetsNoHaze) {
    auto scene = std::make_shared<Scene>();
    scene->addLayer(std::make_shared<TestSceneLayer>());
    RecordingDelegate delegate;
    render(smallRenderer(), scene, delegate);
    ASSERT_EQ(delegate.completed, 1) << delegate.failure;
    const int optimize = indexOf("paramsSetBool \"optimize\" true");
    ASSERT_GT(optimize, 0);
    EXPECT_EQ(trace[optimize + 1], "createIntegrator \"volumeIntegrator\"");
}

// The last fog layer of the stack decides, even when an earlier one has its haze on.
TEST_F(YafarayRenderTest, TheLastFogLayerDecidesTheHaze) {
    auto scene = std::make_shared<Scene>();
    scene->addLayer(std::make_shared<TestSceneLayer>());
    scene->addLayer(std::make_shared<TestFogLayer>(true));
    scene->addLayer(std::make_shared<TestFogLayer>(false));
    RecordingDelegate delegate;
    render(smallRenderer(), scene, delegate);
    ASSERT_EQ(delegate.completed, 1) << delegate.failure;
    const int optimize = indexOf("paramsSetBool \"optimize\" true");
    ASSERT_GT(optimize, 0);
    EXPECT_EQ(trace[optimize + 1], "createIntegrator \"volumeIntegrator\"");
}

TEST_F(YafarayRenderTest, RendererTypeTwoSetsNoParametersAndTheRefusalReachesTheDelegate) {
    auto scene = std::make_shared<Scene>();
    scene->addLayer(std::make_shared<TestSceneLayer>());
    RecordingDelegate delegate;
    auto renderer = smallRenderer();
    renderer->setRendererType(2);
    render(renderer, scene, delegate);
    const int surface = indexOf("createIntegrator \"surfaceIntegrator\"");
    ASSERT_GT(surface, 0);
    EXPECT_EQ(trace[surface - 1], "paramsClearAll");
    EXPECT_EQ(delegate.completed, 0);
    EXPECT_NE(delegate.failure.find("surface integrator"), std::string::npos) << delegate.failure;
    EXPECT_EQ(indexOf("render"), -1);
}

TEST_F(YafarayRenderTest, ARenderTheRayTracerRefusesFailsInsteadOfCompletingWithoutAnImage) {
    auto scene = std::make_shared<Scene>();
    scene->addLayer(std::make_shared<TestSceneLayer>());
    RecordingDelegate delegate;
    auto renderer = smallRenderer();
    renderer->setOutputSize({0, 16});  // a frame of no pixels
    render(renderer, scene, delegate);
    EXPECT_EQ(delegate.completed, 0);
    EXPECT_NE(delegate.failure.find("did not render"), std::string::npos) << delegate.failure;
}

TEST_F(YafarayRenderTest, SceneWithoutCameraFailsWithAClearMessage) {
    auto scene = std::make_shared<Scene>();
    RecordingDelegate delegate;
    render(smallRenderer(), scene, delegate);
    EXPECT_EQ(delegate.completed, 0);
    EXPECT_NE(delegate.failure.find("camera"), std::string::npos);
}

// Blocks its append until released, so a test can abort while the geometry is being built.
class BlockingLayer final : public BaseSceneLayer {
public:
    std::string archiveClassName() const override { return "BlockingLayer"; }
    std::shared_ptr<BaseSceneLayer> copy() const override { return std::make_shared<BlockingLayer>(); }
    void appendToRenderer(BaseRenderer&) override {
        entered = true;
        while (!released) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    static inline std::atomic<bool> entered{false}, released{false};
};

TEST_F(YafarayRenderTest, AbortDuringTheBuildStopsAfterThatLayerAndTheNextRendererWaitsItsTurn) {
    BlockingLayer::entered = false;
    BlockingLayer::released = false;
    auto first = std::make_shared<Scene>();
    first->addLayer(std::make_shared<BlockingLayer>());
    first->addLayer(std::make_shared<TestSceneLayer>());
    RecordingDelegate firstDelegate, secondDelegate;
    auto firstRenderer = smallRenderer();
    firstRenderer->renderScene(first, &firstDelegate);
    // The second render starts once the first one's worker holds the render lock (the two workers
    // would otherwise race for it).
    pumpUntil([] { return BlockingLayer::entered.load(); });
    const int appendedBefore = TestSceneLayer::appended;
    auto second = std::make_shared<Scene>();
    second->addLayer(std::make_shared<TestSceneLayer>());
    auto secondRenderer = smallRenderer();
    secondRenderer->renderScene(second, &secondDelegate);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(TestSceneLayer::appended, appendedBefore)
        << "the second render waits while the first one builds";

    firstRenderer->abort();
    BlockingLayer::released = true;
    pumpUntil([&] { return secondDelegate.finished(); });
    EXPECT_EQ(secondDelegate.completed, 1) << secondDelegate.failure;
    EXPECT_EQ(firstDelegate.completed, 0);
    EXPECT_TRUE(firstDelegate.failure.empty());
    EXPECT_EQ(TestSceneLayer::appended, appendedBefore + 1) << "only the second scene's layer appended";
    // The second render emptied the interface before building its own scene.
    const int firstClear = indexOf("clearAll");
    ASSERT_GE(firstClear, 0);
    EXPECT_GT(indexOf("startScene 0", firstClear), firstClear);

    // A progress update after the render was dismantled carries its message but no image.
    const int images = secondDelegate.images;
    secondRenderer->progressUpdated(0.5f, "late");
    EXPECT_EQ(secondDelegate.images, images);
    EXPECT_EQ(secondDelegate.messages.back(), "late");
}

}  // namespace
}  // namespace korvane
