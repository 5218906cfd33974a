#pragma once

// What the renderer benches share: a small terrain scene built in code and a timed render of it
// through YafarayRenderer, driven on this thread as the command line drives it.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "foundation/MainThreadDispatcher.h"
#include "renderer/YafarayRenderer.h"
#include "scene/Scene.h"
#include "scene/layers/camera/CameraLayer.h"
#include "scene/layers/lighting/LightingLayer.h"
#include "scene/layers/sky/SkyLayer.h"
#include "scene/layers/terrain/TerrainLayer.h"

namespace korvane::bench {

// A 10 × 10 terrain of rolling hills, the sun, a sky and a camera looking across the hills.
inline std::shared_ptr<Scene> terrainScene() {
    auto scene = std::make_shared<Scene>();
    scene->setSize({10.0, 10.0});
    scene->setMaxTerrainHeight(3.0f);
    auto terrain = std::make_shared<TerrainLayer>(scene.get());
    Bitmap* heightmap = terrain->heightmapImageRep();
    for (int y = 0; y < heightmap->height(); ++y) {
        for (int x = 0; x < heightmap->width(); ++x) {
            const double u = x / double(heightmap->width()), v = y / double(heightmap->height());
            const double hills =
                0.5 + 0.25 * std::sin(9 * u) * std::cos(7 * v) + 0.2 * std::sin(23 * u + 17 * v);
            heightmap->setGray16(x, y, uint16_t(65535 * std::clamp(hills, 0.0, 1.0)));
        }
    }
    scene->addLayer(terrain);
    scene->addLayer(std::make_shared<LightingLayer>(scene.get()));
    scene->addLayer(std::make_shared<SkyLayer>(scene.get()));
    auto camera = std::make_shared<CameraLayer>(scene.get());
    camera->setFromPoint({1.0, 1.0});
    camera->setFromPointHeight(1.0f);
    camera->setToPoint({6.0, 6.0});
    camera->setToPointHeight(0.2f);
    scene->addLayer(camera);
    return scene;
}

// Renders `scene` through a YafarayRenderer that `configure` sets up, driven on this thread as the
// command line drives it (through the process's SynchronousDispatcher), and answers the seconds it
// took; negative, with the reason in `failure`, when it fails. `completed`, when given, sees the
// finished image.
inline double renderAndWait(const std::shared_ptr<Scene>& scene,
                            const std::function<void(YafarayRenderer&)>& configure, std::string* failure,
                            const std::function<void(RendererImage&)>& completed = {}) {
    struct WaitingDelegate final : RendererDelegate {
        void rendererDidStart(BaseRenderer&) override {}
        void rendererDidUpdateImage(BaseRenderer&, RendererImage&) override {}
        void rendererDidUpdateProgress(BaseRenderer&, float, const std::string&) override {}
        void rendererDidComplete(BaseRenderer&, RendererImage& image) override {
            if (completed) completed(image);
            done = true;
        }
        void rendererDidFail(BaseRenderer&, const std::string& message) override {
            failure = message;
            done = true;
        }
        std::function<void(RendererImage&)> completed;
        bool done = false;
        std::string failure;
    };
    auto& dispatcher = dynamic_cast<SynchronousDispatcher&>(MainThreadDispatcher::shared());
    auto renderer = YafarayRenderer::create();
    configure(*renderer);
    WaitingDelegate delegate;
    delegate.completed = completed;
    const auto start = std::chrono::steady_clock::now();
    renderer->renderScene(scene, &delegate);
    while (!delegate.done) {
        if (dispatcher.runPending() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    dispatcher.runPending();
    *failure = delegate.failure;
    return delegate.failure.empty() ? seconds : -1;
}

// The same with `settings` (and only `region` of the frame, when given).
inline double renderAndWait(const std::shared_ptr<Scene>& scene, const DefaultsDictionary& settings,
                            std::optional<PixelRegion> region, std::string* failure) {
    return renderAndWait(
        scene,
        [&](YafarayRenderer& renderer) {
            renderer.configureFromSettingsDictionary(settings);
            renderer.setRenderRegion(region);
        },
        failure);
}

// Seconds for one render of `scene` with the defaults of quality level `level` (320 × 240), of the
// whole frame or only `region`; negative, with the reason in `failure`, when it fails.
inline double timeRender(const std::shared_ptr<Scene>& scene, int level, std::optional<PixelRegion> region,
                         std::string* failure) {
    return renderAndWait(scene, YafarayRenderer::updateSettingsInDictionary(nullptr, level, true), region,
                         failure);
}

}  // namespace korvane::bench
