// `korvane render FILE -o OUT …`: renders a scene document through the ray tracer with the settings
// of a quality level, applies the scene's post-processing and writes the image, its format chosen by
// the file name. Optionally writes the depth map and the trace of every ray-tracer call. With
// --region it renders one rectangle of the frame into a tile file instead, for `korvane merge`.
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <optional>
#include <span>
#include <thread>

#include "cli/CommandArguments.h"
#include "cli/Commands.h"
#include "cli/EngineDiagnostics.h"
#include "cli/RenderProgress.h"
#include "document/Document.h"
#include "foundation/FileIO.h"
#include "foundation/ImageCodecs.h"
#include "foundation/MainThreadDispatcher.h"
#include "renderer/DepthMapTiff.h"
#include "renderer/RenderTile.h"
#include "renderer/RenderedImageFile.h"
#include "renderer/RendererImage.h"
#include "renderer/ScenePostProcess.h"
#include "renderer/TracingInterface.h"
#include "renderer/YafarayRenderer.h"

namespace korvane::cli {

namespace {

constexpr int kDefaultQuality = 3;
// The preview render view renders at quality level 1 with the preview detail level.
constexpr int kPreviewQuality = 1;
constexpr int kPreviewDetailsMode = 2;
constexpr int kFullDetailsMode = 0;
constexpr int kMaxQuality = 100;
constexpr int kMaxThreads = 1024;
constexpr auto kPumpInterval = std::chrono::milliseconds(5);
// The volume accuracy of the level formula (L/20 + 0.2) grows past the point where the volume step
// (0.3 - 0.275 accuracy) reaches zero from level 18 on; the render settings sheet's slider ends at
// 1, and so do the levels here, so that every level renders.
constexpr double kMaxVolumeAccuracy = 1.0;
constexpr const char* kVolumeAccuracyKey = "yafarayVolumeAccuracy";
// The file a --region render writes (src/renderer/RenderTile.h).
constexpr const char* kTileExtension = ".kvtile";

struct RenderOptions {
    std::string input;
    std::string output;
    std::string depthOutput;
    std::string traceOutput;
    std::optional<int> quality;
    std::optional<int> width;
    std::optional<int> height;
    bool preview = false;
    std::optional<int> rendererType;
    int threads = 0;  // one per processor
    bool postProcess = true;
    bool fullGeometryTrace = false;
    std::optional<PixelRegion> region;  // render a tile of the frame
    RenderedImageFormat format = RenderedImageFormat::PNG;
};

// The value after `option` as a whole number in [minimum, maximum]; prints what was wrong otherwise.
// "X0,Y0,X1,Y1": whole, non-negative pixel coordinates of a non-empty rectangle.
std::optional<PixelRegion> parseRegion(const std::string& text) {
    std::optional<std::vector<double>> corners = parseNumberList(text, 4);
    if (!corners) return std::nullopt;
    for (double corner : *corners)
        if (corner != std::floor(corner) || corner < 0 || corner > kMaxImageSide) return std::nullopt;
    const PixelRegion region{int((*corners)[0]), int((*corners)[1]), int((*corners)[2]), int((*corners)[3])};
    if (region.x0 >= region.x1 || region.y0 >= region.y1) return std::nullopt;
    return region;
}

// The options, or none after a usage error was printed.
std::optional<RenderOptions> parseOptions(const std::vector<std::string>& args, std::ostream& err) {
    ArgumentCursor cursor(args, "render", err);
    RenderOptions options;
    std::optional<std::string> traceGeometry;
    while (!cursor.done()) {
        const std::string argument = cursor.take();
        auto text = [&](std::string& target) {
            std::optional<std::string> value = cursor.value(argument);
            if (value) target = *value;
            return value.has_value();
        };
        bool ok = true;
        if (argument == "-o") {
            ok = text(options.output);
        } else if (argument == "--quality") {
            ok = (options.quality = cursor.integer(argument, 1, kMaxQuality)).has_value();
        } else if (argument == "--width") {
            ok = (options.width = cursor.integer(argument, 1, kMaxImageSide)).has_value();
        } else if (argument == "--height") {
            ok = (options.height = cursor.integer(argument, 1, kMaxImageSide)).has_value();
        } else if (argument == "--preview") {
            options.preview = true;
        } else if (argument == "--renderer") {
            std::string name;
            ok = text(name);
            if (ok && name == "direct") {
                options.rendererType = 0;
            } else if (ok && name == "path") {
                options.rendererType = 1;
            } else if (ok) {
                cursor.fail("--renderer: '" + name + "' is neither direct nor path");
                ok = false;
            }
        } else if (argument == "--threads") {
            std::optional<int> threads = cursor.integer(argument, 1, kMaxThreads);
            ok = threads.has_value();
            options.threads = threads.value_or(0);
        } else if (argument == "--region") {
            std::string corners;
            ok = text(corners);
            if (ok) options.region = parseRegion(corners);
            if (ok && !options.region) {
                cursor.fail("--region: '" + corners +
                            "' is not X0,Y0,X1,Y1 in whole pixels with X0 < X1 and Y0 < Y1");
                ok = false;
            }
        } else if (argument == "--no-post") {
            options.postProcess = false;
        } else if (argument == "--depth") {
            ok = text(options.depthOutput);
        } else if (argument == "--trace") {
            ok = text(options.traceOutput);
        } else if (argument == "--trace-geometry") {
            std::string mode;
            ok = text(mode);
            if (ok && mode != "full" && mode != "summary") {
                cursor.fail("--trace-geometry: '" + mode + "' is neither full nor summary");
                ok = false;
            }
            if (ok) traceGeometry = mode;
        } else if (!argument.empty() && argument[0] == '-') {
            cursor.fail("unknown option '" + argument + "'");
            ok = false;
        } else if (options.input.empty()) {
            options.input = argument;
        } else {
            cursor.fail("more than one scene file ('" + options.input + "', '" + argument + "')");
            ok = false;
        }
        if (!ok) return std::nullopt;
    }
    auto usage = [&](const std::string& message) -> std::optional<RenderOptions> {
        cursor.fail(message);
        return std::nullopt;
    };
    if (options.input.empty()) return usage("no scene file given");
    if (options.output.empty()) return usage("no output image given (-o OUT)");
    if (traceGeometry && options.traceOutput.empty()) return usage("--trace-geometry needs --trace");
    options.fullGeometryTrace = traceGeometry == "full";
    if (options.region && !options.depthOutput.empty())
        return usage("a tile holds its depths: --depth cannot go with --region");
    if (options.depthOutput == options.output || options.traceOutput == options.output ||
        (!options.depthOutput.empty() && options.depthOutput == options.traceOutput))
        return usage("the image, the depth map and the trace need different files");
    if (options.region) {
        if (!hasExtension(options.output, kTileExtension))
            return usage("--region writes a tile: '" + options.output + "' must end in " + kTileExtension);
    } else {
        std::optional<RenderedImageFormat> format = imageFormatForOutput(options.output);
        if (!format) return usage(unknownImageFormatReason(options.output));
        options.format = *format;
    }
    if (!options.depthOutput.empty() && imageFormatForOutput(options.depthOutput) != RenderedImageFormat::TIFF)
        return usage("--depth writes a TIFF: '" + options.depthOutput + "' must end in .tif or .tiff");
    return options;
}

// The render settings the command renders with: the defaults of the quality level, with the output
// size and the renderer type given on the command line.
DefaultsDictionary renderSettings(const RenderOptions& options) {
    const int level = options.quality.value_or(options.preview ? kPreviewQuality : kDefaultQuality);
    DefaultsDictionary settings = YafarayRenderer::updateSettingsInDictionary(nullptr, level, true);
    if (options.width) settings["rendererOutputSizeWidth"] = *options.width;
    if (options.height) settings["rendererOutputSizeHeight"] = *options.height;
    if (options.rendererType) settings["yafarayRendererType"] = *options.rendererType;
    if (settings.at(kVolumeAccuracyKey).toDouble() > kMaxVolumeAccuracy) settings[kVolumeAccuracyKey] = kMaxVolumeAccuracy;
    return settings;
}

// The settings a tile was rendered with, as a fingerprint that tiles of one frame must share.
uint64_t settingsFingerprint(const DefaultsDictionary& settings, int detailsMode) {
    std::string text = "detailsMode=" + std::to_string(detailsMode);
    for (const auto& [key, value] : settings) {
        char number[40];
        std::snprintf(number, sizeof number, "%.17g", value.toDouble());
        text += ";" + key + "=" + number;
    }
    return fingerprintOf({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}

// Receives the render on the main thread, post-processes the finished image and keeps what is to be
// written; shows the progress of both.
class CommandLineRenderDelegate final : public RendererDelegate, public ScenePostProcessProgressDelegate {
public:
    CommandLineRenderDelegate(const Scene& scene, const RenderOptions& options, RenderProgress& progress)
        : scene_(scene), options_(options), progress_(progress) {}

    void rendererDidStart(BaseRenderer&) override {}
    void rendererDidUpdateImage(BaseRenderer&, RendererImage&) override {}
    void rendererDidUpdateProgress(BaseRenderer&, float progress, const std::string& message) override {
        progress_.update(progress, message);
    }
    void rendererDidComplete(BaseRenderer&, RendererImage& image) override {
        // The image lives only as long as this call: keep copies of what is to be saved.
        finished_ = true;
        if (options_.region) {
            // The region's film: merge denoises, resolves and post-processes the frame once.
            tile_ = renderTileOf(image);
            if (!tile_) failure_ = "the ray tracer handed over no film for the region";
            return;
        }
        if (options_.postProcess) applyPostProcessToRendererImage(scene_, image, this);
        image_ = image.modifiedImage();
        if (!options_.depthOutput.empty()) depthMap_ = image.depthMap();
    }
    void rendererDidFail(BaseRenderer&, const std::string& message) override {
        failure_ = message;
        finished_ = true;
    }

    void sceneDidStartPostProcess(const Scene&) override {}
    void sceneDidUpdatePostProcessProgress(const Scene&, const std::string& status, float progress) override {
        progress_.update(progress, status);
    }
    void sceneDidEndPostProcess(const Scene&) override {}

    bool finished() const { return finished_; }
    const std::string& failure() const { return failure_; }
    const Bitmap& image() const { return image_; }
    const std::vector<float>& depthMap() const { return depthMap_; }
    std::optional<RenderTile>& tile() { return tile_; }

private:
    const Scene& scene_;
    const RenderOptions& options_;
    RenderProgress& progress_;
    bool finished_ = false;
    std::string failure_;
    Bitmap image_;
    std::vector<float> depthMap_;
    std::optional<RenderTile> tile_;
};

// The dispatcher whose queue this thread runs while the render works: the installed one when this
// is its main thread, otherwise a new one made for this thread.
SynchronousDispatcher& dispatcherForThisThread() {
    auto* current = dynamic_cast<SynchronousDispatcher*>(&MainThreadDispatcher::shared());
    if (current && current->isMainThread()) return *current;
    MainThreadDispatcher::setShared(nullptr);
    return dynamic_cast<SynchronousDispatcher&>(MainThreadDispatcher::shared());
}

bool writeOrReport(const std::string& path, std::span<const uint8_t> bytes, std::ostream& err) {
    std::string error;
    if (writeFileAtomically(path, bytes, &error)) return true;
    err << "korvane: " << path << ": " << error << "\n";
    return false;
}

}  // namespace

int runRender(const std::vector<std::string>& args, Console& console) {
    std::ostream& err = console.err;
    std::optional<RenderOptions> options = parseOptions(args, err);
    if (!options) return kUsageError;
    const DefaultsDictionary settings = renderSettings(*options);
    const int64_t pixels = settings.at("rendererOutputSizeWidth").toInteger() *
                           settings.at("rendererOutputSizeHeight").toInteger();
    if (pixels > kMaxImagePixels) {
        err << "korvane: render: an image of " << pixels << " pixels is larger than the " << kMaxImagePixels
            << " pixels allowed\n";
        return 2;
    }
    const int frameWidth = int(settings.at("rendererOutputSizeWidth").toInteger());
    const int frameHeight = int(settings.at("rendererOutputSizeHeight").toInteger());
    if (options->region && (options->region->x1 > frameWidth || options->region->y1 > frameHeight)) {
        err << "korvane: render: the region reaches beyond the " << frameWidth << " x " << frameHeight
            << " frame\n";
        return 2;
    }

    // Every output is checked before the render starts, rather than found unwritable after it.
    for (const std::string* output : {&options->output, &options->depthOutput, &options->traceOutput}) {
        if (output->empty()) continue;
        if (std::optional<std::string> reason = unwritableReason(*output)) {
            err << "korvane: " << *output << ": " << *reason << "\n";
            return kFailure;
        }
    }
    std::vector<uint8_t> documentBytes;
    Document document;
    if (!openDocument(options->input, document, err, &documentBytes)) return kFailure;
    // Tiles name the document they were rendered from, so that merge refuses tiles of another one.
    const uint64_t sceneFingerprint = fingerprintOf(documentBytes);

    auto renderer = YafarayRenderer::create();
    renderer->configureFromSettingsDictionary(settings);
    renderer->setDetailsMode(options->preview ? kPreviewDetailsMode : kFullDetailsMode);
    renderer->setThreads(options->threads);
    renderer->setRenderRegion(options->region);

    std::string trace;
    if (!options->traceOutput.empty()) {
        // Calls come from the render worker one at a time; the trace is read only after tracing stopped.
        setRendererCallTrace([&trace](const std::string& line) { trace.append(line).push_back('\n'); },
                             options->fullGeometryTrace);
    }

    std::ostream discard(nullptr);
    RenderProgress progress(console.quiet() ? discard : err, &err == &std::cerr && ::isatty(STDERR_FILENO));
    CommandLineRenderDelegate delegate(document.scene(), *options, progress);
    SynchronousDispatcher& dispatcher = dispatcherForThisThread();
    {
        // The renderer's and the engine's notes go to standard error with --verbose, else nowhere.
        StandardOutputDiversion diversion(console.verbose());
        EngineLog engineLog(console.verbose());
        renderer->renderScene(document.sharedScene(), &delegate);
        while (!delegate.finished()) {
            if (dispatcher.runPending() == 0) std::this_thread::sleep_for(kPumpInterval);
            engineLog.flush(err);
        }
        progress.finish();
        engineLog.finish(err);
    }

    if (!options->traceOutput.empty()) {
        setRendererCallTrace({});  // waits until the worker has emptied the interface
        dispatcher.runPending();
        const auto* bytes = reinterpret_cast<const uint8_t*>(trace.data());
        if (!writeOrReport(options->traceOutput, {bytes, trace.size()}, err)) return 1;
    }
    if (!delegate.failure().empty()) {
        err << "korvane: " << options->input << ": " << delegate.failure() << "\n";
        return 1;
    }

    if (options->region) {
        RenderTile& tile = *delegate.tile();
        tile.sceneFingerprint = sceneFingerprint;
        tile.settingsFingerprint = settingsFingerprint(settings, renderer->detailsMode());
        if (!writeOrReport(options->output, encodeRenderTile(tile), err)) return 1;
        console.wrote(options->output);
        return 0;
    }

    const std::vector<uint8_t> image =
        encodeRenderedImage(delegate.image(), options->format);
    if (image.empty()) {
        err << "korvane: " << options->output << ": the rendered image could not be encoded\n";
        return 1;
    }
    std::vector<uint8_t> depth;
    if (!options->depthOutput.empty()) {
        depth = encodeDepthMapTiff(delegate.image().width(), delegate.image().height(), delegate.depthMap());
        if (depth.empty()) {
            err << "korvane: " << options->depthOutput << ": the depth map could not be encoded\n";
            return 1;
        }
    }
    if (!writeOrReport(options->output, image, err)) return 1;
    if (!depth.empty() && !writeOrReport(options->depthOutput, depth, err)) return 1;
    console.wrote(options->output);
    if (!depth.empty()) console.wrote(options->depthOutput);
    return 0;
}

}  // namespace korvane::cli
