// The render `make demo` makes, phase by phase: the first sample scene at quality level 3 and
// 640×400, split into the geometry build, each render pass and the post-processing, from the
// renderer's own progress messages. The same scene at quality level 1 is measured in the same run
// as the baseline the ratios refer to.
// Usage: build/bench/demo_render_bench [SCENE.korvane]   (default: the first bundled sample)
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "foundation/MainThreadDispatcher.h"
#include "renderer/RendererImage.h"
#include "renderer/ScenePostProcess.h"
#include "renderer/YafarayRenderer.h"
#include "scene/SceneFile.h"

using namespace korvane;

namespace {

using Clock = std::chrono::steady_clock;

// Times the progress messages of one render; each new message text starts a new phase.
struct PhaseTimer final : RendererDelegate {
    void rendererDidStart(BaseRenderer&) override { start = Clock::now(); }
    void rendererDidUpdateImage(BaseRenderer&, RendererImage&) override {}
    void rendererDidUpdateProgress(BaseRenderer&, float, const std::string& message) override {
        const std::string phase = message.substr(0, message.find(" (") == std::string::npos
                                                         ? message.size()
                                                         : message.find(" ("));
        if (phases.empty() || phases.back().first != phase) phases.emplace_back(phase, Clock::now());
    }
    void rendererDidComplete(BaseRenderer&, RendererImage& rendered) override {
        end = Clock::now();
        image = &rendered;
        done = true;
    }
    void rendererDidFail(BaseRenderer&, const std::string& message) override {
        failure = message;
        done = true;
    }

    Clock::time_point start, end;
    std::vector<std::pair<std::string, Clock::time_point>> phases;
    RendererImage* image = nullptr;
    bool done = false;
    std::string failure;
};

double seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

struct Measured {
    double total = 0;
    double postProcess = 0;
    std::vector<std::pair<std::string, double>> phases;
};

bool measure(const std::shared_ptr<Scene>& scene, int level, Measured* out) {
    auto& dispatcher = dynamic_cast<SynchronousDispatcher&>(MainThreadDispatcher::shared());
    auto renderer = YafarayRenderer::create();
    DefaultsDictionary settings = YafarayRenderer::updateSettingsInDictionary(nullptr, level, true);
    settings["rendererOutputSizeWidth"] = 640;
    settings["rendererOutputSizeHeight"] = 400;
    renderer->configureFromSettingsDictionary(settings);
    PhaseTimer timer;
    renderer->renderScene(scene, &timer);
    while (!timer.done) {
        if (dispatcher.runPending() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!timer.failure.empty() || !timer.image) {
        std::fprintf(stderr, "demo_render_bench: the render failed: %s\n", timer.failure.c_str());
        return false;
    }
    for (size_t i = 0; i < timer.phases.size(); ++i) {
        const Clock::time_point next = i + 1 < timer.phases.size() ? timer.phases[i + 1].second : timer.end;
        out->phases.emplace_back(timer.phases[i].first, seconds(timer.phases[i].second, next));
    }
    const Clock::time_point post = Clock::now();
    applyPostProcessToRendererImage(*scene, *timer.image, nullptr);
    out->postProcess = seconds(post, Clock::now());
    out->total = seconds(timer.start, timer.end) + out->postProcess;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : KORVANE_SOURCE_DIR "/resources/samples/Alpine Lake.korvane";
    SceneReadResult read = readSceneFile(path);
    if (!read.scene) {
        std::fprintf(stderr, "demo_render_bench: %s: %s\n", path.c_str(), read.error.c_str());
        return 1;
    }
    Measured baseline, demo;
    if (!measure(read.scene, 1, &baseline) || !measure(read.scene, 3, &demo)) return 1;
    std::printf("scene %s, 640x400, %u threads\n", path.c_str(), std::thread::hardware_concurrency());
    std::printf("baseline: quality level 1 in %.2f s\n", baseline.total);
    std::printf("quality level 3 in %.2f s (%.2fx the baseline)\n", demo.total, demo.total / baseline.total);
    for (const auto& [phase, time] : demo.phases)
        std::printf("  %-28s %7.2f s  %5.1f%% of the render\n", phase.c_str(), time, 100 * time / demo.total);
    std::printf("  %-28s %7.2f s  %5.1f%% of the render\n", "post-processing", demo.postProcess,
                100 * demo.postProcess / demo.total);
    return 0;
}
