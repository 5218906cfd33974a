#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "raytracer/interface.h"
#include "scene/BaseRenderer.h"

namespace yafaray {

// The concrete type of the process-wide interface; it adds nothing but its destructor.
class myyafrayinterface_t : public yafrayInterface_t {
public:
    ~myyafrayinterface_t() override;
};

}  // namespace yafaray

namespace korvane {

class RendererImage;
class YafarayRenderer;

// A rectangle of whole pixels, [x0, x1) × [y0, y1), in the coordinates of the full frame (row 0 at
// the top).
struct PixelRegion {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    int width() const { return x1 - x0; }
    int height() const { return y1 - y0; }
    bool operator==(const PixelRegion&) const = default;
};

// The ray tracer's pixels into a RendererImage: colour and alpha (alpha from the depth channel
// when the scene has no sky), and the depth. Called from the render threads.
class outNSImage final : public yafaray::colorOutput_t {
public:
    // Only alphaFromDepth is kept; the size and the name are the ray tracer's business.
    outNSImage(int width, int height, const char* name, bool alphaFromDepth);
    ~outNSImage() override;
    // Not owned; null writes nothing.
    void setRendererImage(RendererImage* image) { rendererImage_ = image; }
    bool putPixel(int x, int y, const float* c, int channels) override;
    // A region render's film, kept in the RendererImage for the region's tile.
    void putFilm(const yafaray::rawFilm_t& film) override;
    // The image is read from the RendererImage directly.
    void flush() override {}
    void flushArea(int, int, int, int) override {}

private:
    RendererImage* rendererImage_ = nullptr;
    bool alphaFromDepth_;
};

// The ray tracer's progress turned into "Rendering Pass n of m…" updates for the renderer, which
// delivers them on the main thread. Calls come serialised from the render threads.
class DelegateProgressBar_t final : public yafaray::progressBar_t {
public:
    explicit DelegateProgressBar_t(YafarayRenderer* receiver) : receiver_(receiver) {}
    ~DelegateProgressBar_t() override;
    void init(int totalSteps) override;
    void update(int steps) override;
    // The end-of-pass update waits until the main thread has handled it.
    void done() override;
    void setNumberOfPasses(int passes) override;

    int totalSteps = 0;
    int doneSteps = 0;
    int numberOfPasses = 0;
    int currentPass = 0;

private:
    std::string message() const;
    YafarayRenderer* receiver_;  // not owned; outlives the render
};

// The only concrete renderer: builds a scene in the shared ray-tracer interface on a worker
// thread, renders it into a RendererImage and tells the delegate on the main thread. One
// renderer serves one render; make it with create() (the worker keeps it alive).
class YafarayRenderer : public BaseRenderer {
public:
    // Settings key: 1 maps the film's light through a filmic highlight roll-off that keeps hue,
    // 0 clips each channel.
    static constexpr const char* kFilmicToneMappingKey = "yafarayFilmicToneMapping";
    // Settings key: 1 has the ray tracer denoise the finished image (guided by the surfaces' albedo,
    // normal and depth), 0 keeps it as sampled.
    static constexpr const char* kDenoiseKey = "yafarayDenoise";
    // Settings key: 1 has the direct renderer add one diffuse bounce of light, so that shadowed
    // places are lit by the sunlit surfaces around them; 0 lights surfaces directly only.
    static constexpr const char* kIndirectBounceKey = "yafarayIndirectBounce";

    YafarayRenderer();  // init: the defaults below
    ~YafarayRenderer() override;
    static std::shared_ptr<YafarayRenderer> create() { return std::make_shared<YafarayRenderer>(); }

    // Settings dictionary: the output size, then the yafaray* keys (a missing key reads as 0).
    void configureFromSettingsDictionary(const DefaultsDictionary& settings) override;
    // The base class's keys, then the yafaray* keys at the formulas of quality level `level`,
    // each only where missing or when force is set.
    static DefaultsDictionary updateSettingsInDictionary(const DefaultsDictionary* settings, int level,
                                                         bool force);

    // Main thread. Takes a snapshot of the scene (copies of its layers), tells the delegate
    // rendererDidStart synchronously and starts the detached worker. The live scene may change
    // as soon as this returns.
    void renderScene(std::shared_ptr<const Scene> scene, RendererDelegate* delegate) override;
    // Main thread. No callback reaches the delegate afterwards; a running render stops soon.
    void abort() override;

    // Whether the image's alpha is taken from the depth channel (the output's alphaFromDepth):
    // when the scene has no sky layer.
    static bool alphaFromDepth(const Scene& scene);

    bool isYafarayRenderer() const override { return true; }
    // The process-wide interface (null before the first render has created it).
    yafaray::yafrayInterface_t* yafrayinterface() const override;
    bool isAborted() const { return isAborted_; }
    // Render workers that have not finished yet, aborted ones included. A program waits for none
    // before it ends (running the main thread's queue meanwhile, since a worker may wait on it):
    // a worker still running while the process's statics are destroyed would use them. Any thread.
    static int activeWorkerCount();

    int rendererType() const override { return rendererType_; }
    void setRendererType(int type) { rendererType_ = type; }
    int pathSamples() const { return pathSamples_; }
    void setPathSamples(int samples) { pathSamples_ = samples; }
    int pathBounces() const { return pathBounces_; }
    void setPathBounces(int bounces) { pathBounces_ = bounces; }
    int lightSamples() const override { return lightSamples_; }
    void setLightSamples(int samples) { lightSamples_ = samples; }
    int aaSamples() const { return aaSamples_; }
    void setAaSamples(int samples) { aaSamples_ = samples; }
    int aaPasses() const { return aaPasses_; }
    void setAaPasses(int passes) { aaPasses_ = passes; }
    bool filmicToneMapping() const { return filmicToneMapping_; }
    void setFilmicToneMapping(bool on) { filmicToneMapping_ = on; }
    bool denoise() const { return denoise_; }
    void setDenoise(bool on) { denoise_ = on; }
    bool indirectBounce() const { return indirectBounce_; }
    float volumeAccuracy() const { return volumeAccuracy_; }
    void setVolumeAccuracy(float accuracy) { volumeAccuracy_ = accuracy; }
    int rayDepth() const { return rayDepth_; }
    void setRayDepth(int depth) { rayDepth_ = depth; }
    bool useBackgroundAsLightSource() const { return useBackgroundAsLightSource_; }
    void setUseBackgroundAsLightSource(bool use) override { useBackgroundAsLightSource_ = use; }
    // Render threads; 0 (the default) means one per processor.
    int threads() const { return threads_; }
    void setThreads(int threads) { threads_ = threads; }
    // Only this rectangle of the output frame is rendered (the same camera, film and sampling as
    // the whole frame, so its pixels equal those of a full render); the RendererImage keeps the
    // frame's size and its other pixels stay as created. None (the default) renders everything.
    const std::optional<PixelRegion>& renderRegion() const { return renderRegion_; }
    void setRenderRegion(std::optional<PixelRegion> region) { renderRegion_ = region; }

    // Configures the integrators on `yi` (the surface integrator "surfaceIntegrator" and the
    // volume integrator "volumeIntegrator"). False, with the reason in `error`, when the ray
    // tracer refuses either. Worker thread.
    bool setupIntegrators(yafaray::yafrayInterface_t& yi, std::string* error);

    // Main thread: the update that the worker and the progress adapter post.
    void progressUpdated(float progress, const std::string& message);
    // Posts a progress update to the main thread; with `wait`, returns after it was handled.
    void postProgress(float progress, std::string message, bool wait = false);

private:
    static void startRender(std::shared_ptr<YafarayRenderer> self);
    static std::atomic<int>& liveWorkerCount();
    void constructGeometry();
    // The render parameters of the main map, in their fixed order.
    void setRenderParameters(yafaray::yafrayInterface_t& yi);

    std::unique_ptr<outNSImage> output_;
    std::shared_ptr<RendererImage> rendererImage_;
    std::atomic<bool> isAborted_{false};
    int rendererType_ = 0;
    int pathSamples_ = 10;
    int pathBounces_ = 2;
    int lightSamples_ = 10;
    int aaSamples_ = 1;
    int aaPasses_ = 1;
    bool filmicToneMapping_ = false;
    bool denoise_ = false;
    bool indirectBounce_ = false;
    float volumeAccuracy_ = 0.2f;
    int rayDepth_ = 128;
    std::atomic<bool> useBackgroundAsLightSource_{true};
    int threads_ = 0;
    std::optional<PixelRegion> renderRegion_;
    std::mutex abortLock_;
};

// The process-wide interface, created (with every plug-in registered) on first use by the render
// worker that holds the render lock. Exposed for the call trace and for tests.
yafaray::yafrayInterface_t& sharedYafrayInterface();

}  // namespace korvane
