#include "renderer/YafarayRenderer.h"

#include <algorithm>
#include <cstdio>
#include <thread>

#include "foundation/MainThreadDispatcher.h"
#include "raytracer/core/Film.h"
#include "raytracer/plugins.h"
#include "renderer/RendererExtensions.h"
#include "renderer/RendererImage.h"
#include "renderer/TracingInterface.h"
#include "scene/Scene.h"

namespace yafaray {
myyafrayinterface_t::~myyafrayinterface_t() = default;
}  // namespace yafaray

namespace korvane {

namespace {

constexpr const char* kSkyLayerClassName = "SkyLayer";
// The volume step size falls linearly with the accuracy: 0.2 gives 0.245, 0.35 gives 0.20375.
constexpr float kStepSizePerAccuracy = -0.275f;
constexpr float kStepSizeAtZeroAccuracy = 0.3f;
constexpr int kShadowDepth = 5;

// The render lock: at most one render uses the shared interface at any time.
std::mutex& renderLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

std::atomic<TracingInterface*>& sharedInterfacePointer() {
    static std::atomic<TracingInterface*> pointer{nullptr};
    return pointer;
}

void logLine(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

using PluginRegistration = void (*)(yafaray::renderEnvironment_t&);

// The ray tracer's stock plug-ins, in registration order.
constexpr PluginRegistration kStockPlugins[] = {
    yafaray::registerPlugin_arealight,
    yafaray::registerPlugin_directional,
    yafaray::registerPlugin_pointlight,
    yafaray::registerPlugin_spherelight,
    yafaray::registerPlugin_spotlight,
    yafaray::registerPlugin_sunlight,
    yafaray::registerPlugin_bidirpath,
    yafaray::registerPlugin_directlight,
    yafaray::registerPlugin_emissionintegrator,
    yafaray::registerPlugin_pathtracer,
    yafaray::registerPlugin_photonintegr,
    yafaray::registerPlugin_singlescatterintegrator,
    yafaray::registerPlugin_blendmat,
    yafaray::registerPlugin_coatedglossy,
    yafaray::registerPlugin_glass,
    yafaray::registerPlugin_glossymat,
    yafaray::registerPlugin_shinydiff,
    yafaray::registerPlugin_simplemats,
    yafaray::registerPlugin_basicnodes,
    yafaray::registerPlugin_basictex,
    yafaray::registerPlugin_expdensityvolume,
    yafaray::registerPlugin_gridvolume,
    yafaray::registerPlugin_noisevolume,
    yafaray::registerPlugin_skyvolume,
    yafaray::registerPlugin_uniformvolume,
    yafaray::registerPlugin_darksky,
    yafaray::registerPlugin_gradientback,
    yafaray::registerPlugin_sunky,
};

// Creates the shared interface with every registration, once per process. Caller holds the
// render lock (or is the only thread that can reach the interface yet).
TracingInterface& createSharedInterfaceLocked() {
    TracingInterface* existing = sharedInterfacePointer().load();
    if (existing) return *existing;
    auto* created = new TracingInterface;  // lives until the process ends
    yafaray::renderEnvironment_t& env = *created->getRenderEnvironment();
    for (PluginRegistration registration : kStockPlugins) registration(env);
    registerRendererExtensions(env);
    sharedInterfacePointer().store(created);
    return *created;
}

}  // namespace

yafaray::yafrayInterface_t& sharedYafrayInterface() {
    if (TracingInterface* existing = sharedInterfacePointer().load()) return *existing;
    std::lock_guard lock(renderLock());
    return createSharedInterfaceLocked();
}

void setRendererCallTrace(TracingInterface::Sink sink, bool fullGeometry) {
    std::lock_guard lock(renderLock());  // never between the calls of a render
    createSharedInterfaceLocked().setSink(std::move(sink), fullGeometry);
}

// outNSImage

outNSImage::outNSImage(int, int, const char*, bool alphaFromDepth) : alphaFromDepth_(alphaFromDepth) {}
outNSImage::~outNSImage() = default;

bool outNSImage::putPixel(int x, int y, const float* c, int channels) {
    if (!rendererImage_ || !c || channels < 3) return true;
    const Point point{double(x), double(y)};
    const float alpha = alphaFromDepth_ ? (channels >= 5 ? c[4] : 1.0f) : 1.0f;
    rendererImage_->setPixelAtPoint(point, c[0], c[1], c[2], alpha);
    if (channels >= 5) rendererImage_->setDepth(c[4], point);
    return true;
}

void outNSImage::putFilm(const yafaray::rawFilm_t& film) {
    if (rendererImage_) rendererImage_->setRegionFilm(std::make_shared<const yafaray::rawFilm_t>(film));
}

// DelegateProgressBar_t

DelegateProgressBar_t::~DelegateProgressBar_t() = default;

void DelegateProgressBar_t::init(int total) {
    totalSteps = total;
    doneSteps = 0;
}

void DelegateProgressBar_t::setNumberOfPasses(int passes) {
    numberOfPasses = passes;
    currentPass = 0;
}

std::string DelegateProgressBar_t::message() const {
    return "Rendering Pass " + std::to_string(currentPass + 1) + " of " + std::to_string(numberOfPasses) +
           "…";
}

void DelegateProgressBar_t::update(int steps) {
    doneSteps += steps;
    if (!receiver_) return;
    // An abort that arrived before the ray tracer started its render was cleared by its start;
    // it is passed on again here so that the render still stops within a tile.
    if (receiver_->isAborted()) {
        if (auto* yi = receiver_->yafrayinterface()) yi->abort();
    }
    const float progress = totalSteps > 0 ? float(doneSteps) / float(totalSteps) : 0.0f;
    receiver_->postProgress(progress, message());
}

void DelegateProgressBar_t::done() {
    if (receiver_) receiver_->postProgress(1.0f, message(), true);
    currentPass += 1;
}

// YafarayRenderer

YafarayRenderer::YafarayRenderer() = default;
YafarayRenderer::~YafarayRenderer() = default;

void YafarayRenderer::configureFromSettingsDictionary(const DefaultsDictionary& settings) {
    BaseRenderer::configureFromSettingsDictionary(settings);
    auto number = [&](const char* key) -> const DefaultsValue* {
        auto found = settings.find(key);
        return found == settings.end() ? nullptr : &found->second;
    };
    auto integer = [&](const char* key) { return number(key) ? int(number(key)->toInteger()) : 0; };
    pathSamples_ = integer("yafarayPathSamples");
    pathBounces_ = integer("yafarayPathBounces");
    lightSamples_ = integer("yafarayLightSamples");
    aaSamples_ = integer("yafarayAASamples");
    aaPasses_ = integer("yafarayAAPasses");
    volumeAccuracy_ =
        number("yafarayVolumeAccuracy") ? float(number("yafarayVolumeAccuracy")->toDouble()) : 0;
    rendererType_ = integer("yafarayRendererType");
    filmicToneMapping_ = integer(kFilmicToneMappingKey) != 0;
    denoise_ = integer(kDenoiseKey) != 0;
    indirectBounce_ = integer(kIndirectBounceKey) != 0;
}

DefaultsDictionary YafarayRenderer::updateSettingsInDictionary(const DefaultsDictionary* settings, int level,
                                                               bool force) {
    DefaultsDictionary updated = BaseRenderer::updateSettingsInDictionary(settings, level, force);
    auto set = [&](const char* key, DefaultsValue value) {
        if (force || !updated.contains(key)) updated[key] = std::move(value);
    };
    const float L = float(level);
    set("yafarayPathSamples", 6 * level - 3);
    set("yafarayPathBounces", int((0.25f * L + 1.0f) * 3.0f));
    set("yafarayAASamples", level < 4 ? 1 : (level - 4) / 2 + 1);
    set("yafarayAAPasses", int(L / 1.5f + 1.0f));
    set("yafarayVolumeAccuracy", double(L / 20.0f + 0.2f));
    set("yafarayLightSamples", int(L / 1.5f + 3.0f));
    // Highlights roll off instead of clipping per channel; settings that lack the key get it on.
    set(kFilmicToneMappingKey, 1);
    // Full renders are denoised; the quick preview (level 1) shows its samples as they are.
    set(kDenoiseKey, level >= 2 ? 1 : 0);
    // Full renders light their shadows by one bounce (its noise is the denoiser's to remove); the
    // preview keeps to direct light.
    set(kIndirectBounceKey, level >= 2 ? 1 : 0);
    return updated;
}

bool YafarayRenderer::alphaFromDepth(const Scene& scene) {
    return std::none_of(scene.layers().begin(), scene.layers().end(),
                        [](const auto& layer) { return layer->archiveClassName() == kSkyLayerClassName; });
}

yafaray::yafrayInterface_t* YafarayRenderer::yafrayinterface() const {
    return sharedInterfacePointer().load();
}

void YafarayRenderer::renderScene(std::shared_ptr<const Scene> scene, RendererDelegate* delegate) {
    // The worker builds from copies of the layers, so the main thread may edit the scene (or
    // restart a preview) while the build runs.
    std::shared_ptr<Scene> snapshot;
    if (scene) {
        snapshot = std::make_shared<Scene>();
        snapshot->setSize(scene->size());
        snapshot->setMaxTerrainHeight(scene->maxTerrainHeight());
        snapshot->setSizeOverflow(scene->sizeOverflow());
        for (const auto& layer : scene->layers()) {
            std::shared_ptr<BaseSceneLayer> copy = layer->copy();
            if (!copy) continue;
            copy->setScene(snapshot.get());
            snapshot->addLayer(std::move(copy));
        }
    }
    BaseRenderer::renderScene(std::move(snapshot), delegate);
    // Cleared here rather than by the worker, so an abort right after this call is not lost.
    isAborted_ = false;
    if (delegate) delegate->rendererDidStart(*this);
    auto self = std::static_pointer_cast<YafarayRenderer>(shared_from_this());
    liveWorkerCount().fetch_add(1);
    std::thread([self]() mutable {
        startRender(std::move(self));  // the worker's reference ends inside
        liveWorkerCount().fetch_sub(1);
    }).detach();
}

std::atomic<int>& YafarayRenderer::liveWorkerCount() {
    static std::atomic<int>* count = new std::atomic<int>(0);
    return *count;
}

int YafarayRenderer::activeWorkerCount() { return liveWorkerCount().load(); }

void YafarayRenderer::abort() {
    setDelegate(nullptr);
    yafaray::yafrayInterface_t* yi = yafrayinterface();
    if (yi && !isAborted_.exchange(true)) yi->abort();
}

void YafarayRenderer::postProgress(float progress, std::string message, bool wait) {
    auto self = std::static_pointer_cast<YafarayRenderer>(shared_from_this());
    auto task = [self, progress, message = std::move(message)] { self->progressUpdated(progress, message); };
    if (wait) {
        MainThreadDispatcher::shared().postAndWait(std::move(task));
    } else {
        MainThreadDispatcher::shared().post(std::move(task));
    }
}

void YafarayRenderer::progressUpdated(float progress, const std::string& message) {
    std::lock_guard lock(abortLock_);
    if (output_ && rendererImage_ && delegate()) delegate()->rendererDidUpdateImage(*this, *rendererImage_);
    if (delegate()) delegate()->rendererDidUpdateProgress(*this, progress, message);
}

void YafarayRenderer::startRender(std::shared_ptr<YafarayRenderer> self) {
    std::unique_lock render(renderLock());
    self->postProgress(-1, "Preparing…");
    TracingInterface* existing = sharedInterfacePointer().load();
    if (existing) existing->clearAll();
    yafaray::yafrayInterface_t& yi = existing ? *existing : createSharedInterfaceLocked();

    const Size size = self->outputSize();
    auto image = std::make_shared<RendererImage>(size);
    auto output =
        std::make_unique<outNSImage>(image->width(), image->height(), "", alphaFromDepth(*self->scene()));
    output->setRendererImage(image.get());
    {
        std::lock_guard lock(self->abortLock_);
        self->rendererImage_ = image;
        self->output_ = std::move(output);
    }
    DelegateProgressBar_t progressBar(self.get());
    progressBar.numberOfPasses = self->aaPasses_;
    progressBar.currentPass = 0;

    std::string error;
    if (self->isAborted_) {
        logLine("ABORTED");
    } else {
        yi.startScene(0);
        self->postProgress(-1, "Constructing Geometry…");
        yi.startGeometry();
        self->constructGeometry();
        yi.endGeometry();
        if (self->isAborted_) {
            logLine("ABORTED");
        } else if (self->setupIntegrators(yi, &error)) {
            self->setRenderParameters(yi);
            if (!yi.getRenderEnvironment()->getCamera("camera")) {
                error = "the scene has no camera (no layer made the camera \"camera\")";
            } else {
                self->postProgress(-1, "Starting Render…");
                yi.render(*self->output_, &progressBar);
                // The ray tracer announces every pass to the progress adapter; a render that returns
                // without one, and was not aborted, was refused (it logs why), so there is no image.
                if (!self->isAborted_ && progressBar.totalSteps == 0)
                    error = "the ray tracer did not render the scene (its log above says why)";
            }
        }
    }

    std::lock_guard lock(self->abortLock_);
    if (!self->isAborted_) {
        MainThreadDispatcher::shared().post([self, image, error] {
            RendererDelegate* delegate = self->delegate();
            if (!delegate) return;
            if (error.empty()) {
                delegate->rendererDidComplete(*self, *image);
            } else {
                delegate->rendererDidFail(*self, error);
            }
        });
    }
    self->isAborted_ = true;
    yi.clearAll();
    // The snapshot is destroyed on the main thread, where its layers were made.
    MainThreadDispatcher::shared().post([scene = self->takeScene()] {});
    self->output_.reset();
    self->rendererImage_.reset();
    render.unlock();
}

void YafarayRenderer::constructGeometry() {
    logLine("Begin Construct Geometry");
    for (const auto& layer : scene()->layers()) {
        std::shared_ptr<BaseSceneLayer> held = layer;
        logLine("Appending Layer " + held->name());
        held->appendToRenderer(*this);
        held.reset();
        if (isAborted_) break;
    }
    logLine("Done Construct Geometry");
}

bool YafarayRenderer::setupIntegrators(yafaray::yafrayInterface_t& yi, std::string* error) {
    const float stepSize = volumeAccuracy_ * kStepSizePerAccuracy + kStepSizeAtZeroAccuracy;
    yi.paramsClearAll();
    switch (rendererType_) {
        case 0:
            yi.paramsSetString("type", "directlighting");
            yi.paramsSetBool("transpShad", true);
            yi.paramsSetInt("raydepth", rayDepth_);
            yi.paramsSetInt("shadowDepth", kShadowDepth);
            if (indirectBounce_) yi.paramsSetBool("indirect_bounce", true);
            break;
        case 1:
            yi.paramsSetString("type", "pathtracing");
            yi.paramsSetBool("transpShad", true);
            yi.paramsSetBool("use_background", useBackgroundAsLightSource_);
            yi.paramsSetInt("raydepth", rayDepth_);
            yi.paramsSetInt("shadowDepth", kShadowDepth);
            yi.paramsSetInt("bounces", pathBounces_);
            yi.paramsSetInt("path_samples", pathSamples_);
            break;
        default:
            break;
    }
    if (!yi.createIntegrator("surfaceIntegrator")) {
        if (error)
            *error = "the ray tracer refused the surface integrator (renderer type " +
                     std::to_string(rendererType_) + ")";
        return false;
    }

    const RendererHazeSource* fog = nullptr;
    if (scene()) {
        for (const auto& layer : scene()->layers()) {
            if (auto* haze = dynamic_cast<const RendererHazeSource*>(layer.get())) fog = haze;
        }
    }
    yi.paramsClearAll();
    yi.paramsSetString("type", "FixedSingleScatterIntegrator");
    yi.paramsSetFloat("stepSize", stepSize);
    yi.paramsSetBool("adaptive", false);
    yi.paramsSetBool("optimize", true);
    if (fog && fog->hazeActive()) {
        yi.paramsSetFloat("hazeStrength", fog->hazeStrength());
        yi.paramsSetFloat("hazeDistance", fog->hazeDistance());
    }
    if (!yi.createIntegrator("volumeIntegrator")) {
        if (error) *error = "the ray tracer refused the volume integrator \"FixedSingleScatterIntegrator\"";
        return false;
    }
    return true;
}

void YafarayRenderer::setRenderParameters(yafaray::yafrayInterface_t& yi) {
    const Size size = outputSize();
    const int threads = threads_ > 0 ? threads_ : int(std::max(1u, std::thread::hardware_concurrency()));
    yi.paramsClearAll();
    yi.paramsSetString("camera_name", "camera");
    yi.paramsSetString("integrator_name", "surfaceIntegrator");
    yi.paramsSetString("volintegrator_name", "volumeIntegrator");
    yi.paramsSetInt("AA_minsamples", aaSamples_);
    yi.paramsSetInt("AA_passes", aaPasses_);
    yi.paramsSetString("filter_type", ",mitchell");
    yi.paramsSetInt("width", int(size.width));
    yi.paramsSetInt("height", int(size.height));
    yi.paramsSetInt("threads", threads);
    yi.paramsSetBool("z_channel", true);
    yi.paramsSetString("tone_mapping", filmicToneMapping_ ? "filmic" : "clip");
    yi.paramsSetBool("denoise", denoise_);
    yi.paramsSetString("background_name", "world_background");
    if (renderRegion_) {
        yi.paramsSetInt("region_x0", renderRegion_->x0);
        yi.paramsSetInt("region_y0", renderRegion_->y0);
        yi.paramsSetInt("region_x1", renderRegion_->x1);
        yi.paramsSetInt("region_y1", renderRegion_->y1);
    }
}

}  // namespace korvane
