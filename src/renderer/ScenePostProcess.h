#pragma once

#include <string>

namespace korvane {

class RendererImage;
class Scene;

// Told how a post-processing run advances (the render view shows the status text). Every call
// arrives on the thread that runs applyPostProcessToRendererImage.
class ScenePostProcessProgressDelegate {
public:
    virtual ~ScenePostProcessProgressDelegate() = default;
    virtual void sceneDidStartPostProcess(const Scene& scene) = 0;
    // progress in 0…1: the share of the enabled effects already applied.
    virtual void sceneDidUpdatePostProcessProgress(const Scene& scene, const std::string& status,
                                                   float totalProgress) = 0;
    virtual void sceneDidEndPostProcess(const Scene& scene) = 0;
};

// The scene's post-processing applied to a render: the modified image is reset to the render, then
// each enabled effect (depth tint, far and near depth of field, bloom, vibrance, in that order)
// rewrites it with the scene's settings. Runs can repeat with new settings and never compound.
// Without any enabled effect the delegate hears nothing. delegate may be null. Runs synchronously
// on the calling thread (the effects use the shared pool); the image must not be rendered into
// meanwhile.
//
// This is the scene's applyPostProcessToRendererImage:withProgressDelegate:; it lives with the
// render image because the scene model does not depend on the renderer.
void applyPostProcessToRendererImage(const Scene& scene, RendererImage& image,
                                     ScenePostProcessProgressDelegate* delegate);

}  // namespace korvane
