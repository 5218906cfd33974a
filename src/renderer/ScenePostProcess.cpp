#include "renderer/ScenePostProcess.h"

#include <functional>
#include <vector>

#include "renderer/RendererImage.h"
#include "scene/Scene.h"

namespace korvane {

namespace {

struct PostProcessStep {
    bool enabled;
    const char* status;
    std::function<void()> apply;
};

}  // namespace

void applyPostProcessToRendererImage(const Scene& scene, RendererImage& image,
                                     ScenePostProcessProgressDelegate* delegate) {
    // Strengths are whole pixels: 0.9 in the scene applies as 0, which leaves the image alone.
    const int farStrength = static_cast<int>(scene.farDepthOfFieldMaximumStrength());
    const int nearStrength = static_cast<int>(scene.nearDepthOfFieldMaximumStrength());
    const std::vector<PostProcessStep> steps = {
        {scene.depthTint(), "Adding Depth Tint…",
         [&] {
             image.addDepthTint(scene.depthTintColor(), scene.depthTintStart(), scene.depthTintBias(),
                                scene.depthTintOpacity());
         }},
        {scene.farDepthOfField(), "Adding Far Depth of Field…",
         [&] {
             image.addDepthOfFieldWithFarFocusStart(scene.farDepthOfFieldStart(), scene.farDepthOfFieldBias(),
                                                    farStrength);
         }},
        {scene.nearDepthOfField(), "Adding Near Depth of Field…",
         [&] {
             image.addDepthOfFieldWithNearFocusEnd(scene.nearDepthOfFieldEnd(), scene.nearDepthOfFieldBias(),
                                                   nearStrength);
         }},
        {scene.bloomFilter(), "Adding Bloom Filter…",
         [&] { image.addBloom(scene.bloomRadius(), scene.bloomIntensity()); }},
        {scene.vibranceFilter(), "Adding Vibrance Filter…",
         [&] { image.addVibrance(scene.vibranceStrength()); }},
    };
    int enabled = 0;
    for (const PostProcessStep& step : steps) enabled += step.enabled ? 1 : 0;

    image.startModifiedImage();
    if (enabled > 0 && delegate) delegate->sceneDidStartPostProcess(scene);
    int applied = 0;
    for (const PostProcessStep& step : steps) {
        if (!step.enabled) continue;
        if (delegate)
            delegate->sceneDidUpdatePostProcessProgress(scene, step.status, float(applied) / float(enabled));
        step.apply();
        ++applied;
    }
    image.endModifiedImage();
    if (enabled > 0 && delegate) delegate->sceneDidEndPostProcess(scene);
}

}  // namespace korvane
