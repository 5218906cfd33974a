#include "renderer/ImageRenderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "foundation/Bitmap.h"
#include "foundation/MainThreadDispatcher.h"
#include "foundation/UserDefaults.h"
#include "renderer/PreviewScene.h"
#include "renderer/TracingInterface.h"
#include "renderer/YafarayRenderer.h"
#include "scene/Scene.h"
#include "scene/layers/camera/CameraLayer.h"
#include "scene/layers/lighting/LightingLayer.h"
#include "scene/layers/preview/MaterialPreviewLayer.h"
#include "scene/layers/sky/SkyLayer.h"
#include "scene/layers/terrain/TerrainLayer.h"
#include "scene/layers/texture/TerrainTextureLayer.h"
#include "scene/materials/DiffuseMaterial.h"

namespace korvane {
namespace {

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

struct RecordingImageDelegate : ImageRendererDelegate {
    void imageRendererDidCompleteImage(ImageRenderer& imageRenderer, const Bitmap& image) override {
        ++completed;
        from = &imageRenderer;
        width = image.width();
        height = image.height();
        if (!image.empty()) {
            const uint8_t* centre = image.pixel(image.width() / 2, image.height() / 2);
            centreColour = {centre[0], centre[1], centre[2], centre[3]};
        }
    }
    void imageRendererDidFail(ImageRenderer&, const std::string& message) override { failure = message; }
    bool finished() const { return completed > 0 || !failure.empty(); }

    int completed = 0;
    const ImageRenderer* from = nullptr;
    int width = 0, height = 0;
    std::array<int, 4> centreColour{};
    std::string failure;
};

// Holds the render worker inside its append until released, so a test can act while a render runs.
class BlockingLayer final : public BaseSceneLayer {
public:
    std::string archiveClassName() const override { return "BlockingLayer"; }
    std::shared_ptr<BaseSceneLayer> copy() const override { return std::make_shared<BlockingLayer>(); }
    void appendToRenderer(BaseRenderer&) override {
        entered = true;
        while (!released) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    static void reset() {
        entered = false;
        released = false;
    }
    static inline std::atomic<bool> entered{false}, released{false};
};

// The material editor's preview: the swatch seen from above one of its corners, lit by the default
// sun under a soft sky.
std::vector<std::shared_ptr<BaseSceneLayer>> materialPreviewLayers(std::shared_ptr<BaseMaterial> material) {
    auto preview = std::make_shared<MaterialPreviewLayer>();
    preview->setMaterial(std::move(material));
    auto camera = std::make_shared<CameraLayer>();
    camera->setToPoint({0.5, 9.5});
    camera->setFromPoint({-0.5, 8.5});
    camera->setToPointHeight(0);
    camera->setFromPointHeight(1.25f);
    auto sky = std::make_shared<SkyLayer>();
    sky->setCircumsolarIntensity(1.0f);
    sky->setCircumsolarWidth(1.0f);
    return {preview, camera, std::make_shared<LightingLayer>(), sky};
}

std::shared_ptr<DiffuseMaterial> presetMaterial(const std::string& key) {
    auto material = std::make_shared<DiffuseMaterial>();
    material->configureWithPresetKey(key);
    return material;
}

TEST(ImageRendererTest, AbortingAnIdleImageRendererDoesNothing) {
    ImageRenderer imageRenderer;
    EXPECT_EQ(imageRenderer.imageSize(), (Size{256, 256}));
    EXPECT_TRUE(imageRenderer.layersToPreview().empty());
    imageRenderer.abort();
    EXPECT_EQ(imageRenderer.renderer(), nullptr);
    EXPECT_EQ(imageRenderer.delegate(), nullptr);
}

class ImageRenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        BlockingLayer::reset();
        setRendererCallTrace([this](const std::string& line) {
            std::lock_guard lock(traceMutex);
            trace.push_back(line);
        });
    }
    void TearDown() override {
        BlockingLayer::released = true;
        setRendererCallTrace({});
    }
    bool traced(const std::string& line) {
        std::lock_guard lock(traceMutex);
        return std::find(trace.begin(), trace.end(), line) != trace.end();
    }

    std::mutex traceMutex;
    std::vector<std::string> trace;
};

TEST_F(ImageRenderTest, ThumbnailQualityIgnoresTheUsersRenderSettings) {
    DefaultsDictionary lavish = YafarayRenderer::updateSettingsInDictionary(nullptr, 5, true);
    lavish["yafarayRendererType"] = 1;
    UserDefaults::standard().setDictionary("fullRenderSettings", lavish);
    UserDefaults::standard().setDictionary("previewRenderSettings", lavish);

    ImageRenderer imageRenderer;
    imageRenderer.setImageSize({12, 12});
    imageRenderer.setLayersToPreview(materialPreviewLayers(presetMaterial("redrocks3")));
    RecordingImageDelegate delegate;
    imageRenderer.startPreview(&delegate);
    const std::shared_ptr<YafarayRenderer> renderer = imageRenderer.renderer();
    ASSERT_TRUE(renderer);
    EXPECT_EQ(renderer->outputSize(), (Size{12, 12}));
    EXPECT_EQ(renderer->detailsMode(), 1);
    EXPECT_EQ(renderer->rendererType(), 0);
    EXPECT_EQ(renderer->pathSamples(), 12);
    EXPECT_EQ(renderer->pathBounces(), 2);
    EXPECT_EQ(renderer->aaSamples(), 2);
    EXPECT_EQ(renderer->aaPasses(), 1);
    EXPECT_FLOAT_EQ(renderer->volumeAccuracy(), 0.8f);
    EXPECT_EQ(renderer->rayDepth(), 8);
    EXPECT_EQ(renderer->lightSamples(), 10) << "left at the renderer's default";
    pumpUntil([&] { return delegate.finished(); });
    ASSERT_EQ(delegate.completed, 1) << delegate.failure;
    EXPECT_EQ(delegate.from, &imageRenderer);
    EXPECT_EQ(delegate.width, 12);
    EXPECT_EQ(delegate.height, 12);
    EXPECT_TRUE(traced("paramsSetString \"type\" \"directlighting\""));
    EXPECT_TRUE(traced("paramsSetInt \"raydepth\" 8"));
    EXPECT_TRUE(traced("paramsSetInt \"AA_minsamples\" 2"));
    EXPECT_TRUE(traced("paramsSetInt \"AA_passes\" 1"));
    EXPECT_EQ(imageRenderer.renderer(), renderer) << "the finished renderer is kept until the next start";
    UserDefaults::standard().removeObjectForKey("fullRenderSettings");
    UserDefaults::standard().removeObjectForKey("previewRenderSettings");
}

TEST_F(ImageRenderTest, ASecondStartAbortsTheFirstAndOnlyTheSecondReachesTheDelegate) {
    ImageRenderer imageRenderer;
    std::vector<std::shared_ptr<BaseSceneLayer>> blocked = materialPreviewLayers(presetMaterial("snow"));
    blocked.insert(blocked.begin(), std::make_shared<BlockingLayer>());
    imageRenderer.setLayersToPreview(blocked);
    imageRenderer.setImageSize({8, 8});
    RecordingImageDelegate first, second;
    imageRenderer.startPreview(&first);
    const std::shared_ptr<YafarayRenderer> firstRenderer = imageRenderer.renderer();
    pumpUntil([] { return BlockingLayer::entered.load(); });

    imageRenderer.setLayersToPreview(materialPreviewLayers(presetMaterial("snow")));
    imageRenderer.setImageSize({10, 6});
    imageRenderer.startPreview(&second);
    EXPECT_NE(imageRenderer.renderer(), firstRenderer);
    EXPECT_TRUE(firstRenderer->isAborted());
    EXPECT_EQ(firstRenderer->delegate(), nullptr);
    EXPECT_EQ(imageRenderer.delegate(), &second);
    BlockingLayer::released = true;
    pumpUntil([&] { return second.finished(); });
    ASSERT_EQ(second.completed, 1) << second.failure;
    EXPECT_EQ(second.width, 10);
    EXPECT_EQ(second.height, 6);
    EXPECT_EQ(first.completed, 0);
    EXPECT_TRUE(first.failure.empty());
    // Nothing is left queued for the first delegate.
    dispatcher().runPending();
    EXPECT_EQ(first.completed, 0);
    EXPECT_EQ(second.completed, 1);
}

TEST_F(ImageRenderTest, DroppingTheImageRendererAbortsItsRender) {
    RecordingImageDelegate delegate;
    std::shared_ptr<YafarayRenderer> renderer;
    {
        ImageRenderer imageRenderer;
        std::vector<std::shared_ptr<BaseSceneLayer>> layers = materialPreviewLayers(presetMaterial("snow"));
        layers.insert(layers.begin(), std::make_shared<BlockingLayer>());
        imageRenderer.setLayersToPreview(layers);
        imageRenderer.setImageSize({8, 8});
        imageRenderer.startPreview(&delegate);
        renderer = imageRenderer.renderer();
        pumpUntil([] { return BlockingLayer::entered.load(); });
    }
    EXPECT_TRUE(renderer->isAborted());
    BlockingLayer::released = true;
    // The worker ends without a completion: the next render of the process can start.
    ImageRenderer next;
    next.setLayersToPreview(materialPreviewLayers(presetMaterial("snow")));
    next.setImageSize({4, 4});
    RecordingImageDelegate nextDelegate;
    next.startPreview(&nextDelegate);
    pumpUntil([&] { return nextDelegate.finished(); });
    EXPECT_EQ(nextDelegate.completed, 1) << nextDelegate.failure;
    EXPECT_EQ(delegate.completed, 0);
    EXPECT_TRUE(delegate.failure.empty());
}

// A thumbnail owner drops its image renderer as soon as the image has arrived.
struct DroppingDelegate final : ImageRendererDelegate {
    void imageRendererDidCompleteImage(ImageRenderer&, const Bitmap& image) override {
        kept = image;  // copied before the render's image goes away
        owner.reset();
    }
    std::unique_ptr<ImageRenderer> owner;
    std::optional<Bitmap> kept;
};

TEST_F(ImageRenderTest, TheDelegateMayDropTheImageRendererFromItsCallback) {
    DroppingDelegate delegate;
    delegate.owner = std::make_unique<ImageRenderer>();
    delegate.owner->setImageSize({6, 6});
    delegate.owner->setLayersToPreview(materialPreviewLayers(presetMaterial("redrocks3")));
    delegate.owner->startPreview(&delegate);
    pumpUntil([&] { return !delegate.owner; });
    ASSERT_TRUE(delegate.kept.has_value());
    EXPECT_EQ(delegate.kept->width(), 6);
}

// The design delivers whatever the ray tracer made of an empty scene; ours refuses a scene without
// a camera, and the delegate hears why instead of receiving an image that was never rendered.
TEST_F(ImageRenderTest, AnEmptyLayerListFailsWithAReason) {
    ImageRenderer imageRenderer;
    imageRenderer.setImageSize({4, 4});
    RecordingImageDelegate delegate;
    imageRenderer.startPreview(&delegate);
    pumpUntil([&] { return delegate.finished(); });
    EXPECT_EQ(delegate.completed, 0);
    EXPECT_NE(delegate.failure.find("camera"), std::string::npos) << delegate.failure;
}

TEST_F(ImageRenderTest, MaterialSwatchesShowTheirMaterialsColour) {
    auto centreOf = [](const std::shared_ptr<BaseMaterial>& material) {
        ImageRenderer imageRenderer;
        imageRenderer.setImageSize({16, 16});
        imageRenderer.setLayersToPreview(materialPreviewLayers(material));
        RecordingImageDelegate delegate;
        imageRenderer.startPreview(&delegate);
        pumpUntil([&] { return delegate.finished(); });
        EXPECT_EQ(delegate.completed, 1) << delegate.failure;
        return delegate.centreColour;
    };
    const std::array<int, 4> rock = centreOf(presetMaterial("redrocks3"));
    const std::array<int, 4> snow = centreOf(presetMaterial("snow"));
    EXPECT_EQ(rock[3], 255);
    EXPECT_GT(rock[0], rock[2] + 20) << "red rocks are red";
    EXPECT_GT(snow[0] + snow[1] + snow[2], rock[0] + rock[1] + rock[2]) << "snow is brighter than rock";
    // The swatch's snow reflects a blue sky in its mirror share: bluish white, never cyan.
    EXPECT_LT(std::abs(snow[0] - snow[2]), 70) << "snow is nearly grey";
    EXPECT_GT(std::min({snow[0], snow[1], snow[2]}), 150) << "snow is white, not tinted";
}

// Notes, while the render builds, which terrain the terrain texture layer of the rendered scene
// dresses.
class TerrainProbeLayer final : public BaseSceneLayer {
public:
    std::string archiveClassName() const override { return "TerrainProbeLayer"; }
    std::shared_ptr<BaseSceneLayer> copy() const override { return std::make_shared<TerrainProbeLayer>(); }
    void appendToRenderer(BaseRenderer& renderer) override {
        for (const auto& layer : renderer.scene()->layersOfClass<TerrainTextureLayer>())
            dressedTerrain = layer->terrainLayer();
        probed = true;
    }
    static inline std::atomic<bool> probed{false};
    static inline std::atomic<const TerrainLayer*> dressedTerrain{nullptr};
};

TEST_F(ImageRenderTest, WithoutATerrainAmongTheLayersTheRenderedTexturesDressNone) {
    Scene document;
    auto terrain = std::make_shared<TerrainLayer>(&document);
    auto textures = std::make_shared<TerrainTextureLayer>(&document, terrain);
    document.addLayer(terrain);
    document.addLayer(textures);

    TerrainProbeLayer::probed = false;
    TerrainProbeLayer::dressedTerrain = terrain.get();
    ImageRenderer imageRenderer;
    imageRenderer.setImageSize({4, 4});
    imageRenderer.setLayersToPreview({textures, std::make_shared<TerrainProbeLayer>()});
    RecordingImageDelegate delegate;
    imageRenderer.startPreview(&delegate);
    pumpUntil([&] { return delegate.finished(); });
    ASSERT_TRUE(TerrainProbeLayer::probed);
    EXPECT_EQ(TerrainProbeLayer::dressedTerrain, nullptr) << "not the document's terrain";
}

// PreviewScene

TEST(PreviewSceneTest, CopiesReferToTheCopiedTerrainOrToNone) {
    Scene document;
    auto terrain = std::make_shared<TerrainLayer>(&document);
    auto textures = std::make_shared<TerrainTextureLayer>(&document, terrain);
    document.addLayer(terrain);
    document.addLayer(textures);

    std::shared_ptr<Scene> preview = makePreviewScene({terrain, textures});
    ASSERT_EQ(preview->layers().size(), 2u);
    const auto terrains = preview->layersOfClass<TerrainLayer>();
    const auto copiedTextures = preview->layersOfClass<TerrainTextureLayer>();
    ASSERT_EQ(terrains.size(), 1u);
    ASSERT_EQ(copiedTextures.size(), 1u);
    EXPECT_NE(terrains[0], terrain);
    EXPECT_NE(copiedTextures[0], textures);
    EXPECT_EQ(copiedTextures[0]->sharedTerrainLayer(), terrains[0]);
    for (const auto& layer : preview->layers()) EXPECT_EQ(layer->scene(), preview.get());
    // The originals are untouched.
    EXPECT_EQ(textures->sharedTerrainLayer(), terrain);
    EXPECT_EQ(textures->scene(), &document);
    EXPECT_EQ(document.layers().size(), 2u);

    // Without a terrain among the layers the copy refers to none, not to the document's terrain.
    std::shared_ptr<Scene> alone = makePreviewScene({textures});
    ASSERT_EQ(alone->layersOfClass<TerrainTextureLayer>().size(), 1u);
    EXPECT_EQ(alone->layersOfClass<TerrainTextureLayer>()[0]->sharedTerrainLayer(), nullptr);
}

TEST(PreviewSceneTest, TheLastTerrainWins) {
    auto first = std::make_shared<TerrainLayer>();
    auto second = std::make_shared<TerrainLayer>();
    auto textures = std::make_shared<TerrainTextureLayer>(nullptr, first);
    std::shared_ptr<Scene> preview = makePreviewScene({first, textures, second});
    const auto terrains = preview->layersOfClass<TerrainLayer>();
    ASSERT_EQ(terrains.size(), 2u);
    EXPECT_EQ(preview->layersOfClass<TerrainTextureLayer>()[0]->sharedTerrainLayer(), terrains[1]);
    EXPECT_TRUE(makePreviewScene({})->layers().empty());
}

}  // namespace
}  // namespace korvane
