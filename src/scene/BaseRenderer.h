#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "foundation/Geometry.h"
#include "foundation/UserDefaults.h"

namespace yafaray {
class yafrayInterface_t;
}

namespace korvane {

class Scene;
class BaseRenderer;
class RendererImage;

// Receives a renderer's callbacks, always on the main thread.
class RendererDelegate {
public:
    virtual ~RendererDelegate() = default;
    // Synchronously inside renderScene, before the worker starts.
    virtual void rendererDidStart(BaseRenderer& renderer) = 0;
    // With every progress update while the render's output exists; the image is being filled.
    virtual void rendererDidUpdateImage(BaseRenderer& renderer, RendererImage& image) = 0;
    // progress in 0…1, or −1 when it cannot be told.
    virtual void rendererDidUpdateProgress(BaseRenderer& renderer, float progress,
                                           const std::string& message) = 0;
    // Once, after a render that was not aborted.
    virtual void rendererDidComplete(BaseRenderer& renderer, RendererImage& image) = 0;
    // Once, instead of the completion, when the scene could not be rendered (the ray tracer
    // refused an integrator, no layer made a camera); the message says why, for the user.
    virtual void rendererDidFail(BaseRenderer& renderer, const std::string& message) {
        (void)renderer, (void)message;
    }
};

// What the renderer reads of the fog layer when it sets up the volume integrator. The fog layer
// implements it; the renderer takes the last layer of the stack that does.
class RendererHazeSource {
public:
    virtual ~RendererHazeSource() = default;
    virtual bool hazeActive() const = 0;
    virtual float hazeStrength() const = 0;
    virtual float hazeDistance() const = 0;
};

// The abstract renderer, as the layers see it while they append themselves: they read the detail
// level, the output size and the scene, and the ray-tracer specific accessors, which answer
// neutral values for renderers that are not ray tracers. The concrete YafarayRenderer lives in
// src/renderer; this header is all that the scene model needs of it.
class BaseRenderer : public std::enable_shared_from_this<BaseRenderer> {
public:
    BaseRenderer() = default;
    virtual ~BaseRenderer() = default;
    BaseRenderer(const BaseRenderer&) = delete;
    BaseRenderer& operator=(const BaseRenderer&) = delete;

    // Stores the scene and the delegate (neither owned); the base class does nothing else.
    virtual void renderScene(std::shared_ptr<const Scene> scene, RendererDelegate* delegate) {
        scene_ = std::move(scene);
        delegate_ = delegate;
    }
    // Does nothing in the base class.
    virtual void abort() {}
    // outputSize from "rendererOutputSizeWidth" × "rendererOutputSizeHeight" (integer values).
    virtual void configureFromSettingsDictionary(const DefaultsDictionary& settings);
    // A copy of settings (empty when absent) with the output size keys set to 320 × 240 where
    // missing, or always when force is set.
    static DefaultsDictionary updateSettingsInDictionary(const DefaultsDictionary* settings, int level,
                                                         bool force);

    // Read as one unit: another thread may set it while a render reads it.
    Size outputSize() const {
        std::lock_guard lock(outputSizeMutex_);
        return outputSize_;
    }
    void setOutputSize(Size size) {
        std::lock_guard lock(outputSizeMutex_);
        outputSize_ = size;
    }
    // 0 full render, 2 preview quality, 1 small previews; layers map it to their detail steps.
    int detailsMode() const { return detailsMode_; }
    void setDetailsMode(int mode) { detailsMode_ = mode; }
    // The scene being rendered; null before renderScene.
    const Scene* scene() const { return scene_.get(); }
    const std::shared_ptr<const Scene>& sceneReference() const { return scene_; }
    RendererDelegate* delegate() const { return delegate_; }

    // True for YafarayRenderer and its subclasses: the only renderers layers append themselves to.
    virtual bool isYafarayRenderer() const { return false; }
    // The process-wide ray-tracer interface object (null for other renderers and before the first
    // render has created it).
    virtual yafaray::yafrayInterface_t* yafrayinterface() const { return nullptr; }
    // 0 direct lighting, 1 path tracing.
    virtual int rendererType() const { return 0; }
    // Samples for lights and the sky.
    virtual int lightSamples() const { return 1; }
    // Path tracing only; the sky layer sets it while appending itself.
    virtual void setUseBackgroundAsLightSource(bool) {}

protected:
    // abort clears the delegate, so that no later callback reaches it. Main thread.
    void setDelegate(RendererDelegate* delegate) { delegate_ = delegate; }
    // Gives up the renderer's reference to the scene and hands it to the caller (the worker, at
    // the end of a render).
    std::shared_ptr<const Scene> takeScene() { return std::move(scene_); }

private:
    mutable std::mutex outputSizeMutex_;
    Size outputSize_{640, 480};
    std::atomic<int> detailsMode_{0};
    std::shared_ptr<const Scene> scene_;
    RendererDelegate* delegate_ = nullptr;
};

}  // namespace korvane
