// `korvane merge FILE TILE… -o OUT`: puts the films of the tiles rendered with `korvane render
// --region` together into the whole frame's, denoises and resolves it once into pixels (so the
// denoiser reads across the tile borders as in a direct render), applies the scene's
// post-processing once on it (so do blurs and blooms) and writes the image like `korvane render`.
#include <algorithm>
#include <optional>
#include <vector>

#include "cli/CommandArguments.h"
#include "cli/Commands.h"
#include "cli/EngineDiagnostics.h"
#include "document/Document.h"
#include "foundation/FileIO.h"
#include "foundation/ImageCodecs.h"
#include "renderer/DepthMapTiff.h"
#include "renderer/RenderTile.h"
#include "renderer/RenderedImageFile.h"
#include "renderer/RendererImage.h"
#include "renderer/ScenePostProcess.h"
#include "renderer/YafarayRenderer.h"

namespace korvane::cli {

namespace {

// A tile holds at most kRenderTileBytesPerPixel per pixel plus its header; the largest frame
// bounds the largest tile.
constexpr size_t kMaxTileBytes = size_t(kMaxImagePixels) * kRenderTileBytesPerPixel + 4096;

struct MergeOptions {
    std::string scene;
    std::vector<std::string> tiles;
    std::string output;
    std::string depthOutput;
    bool postProcess = true;
    RenderedImageFormat format = RenderedImageFormat::PNG;
};

std::optional<MergeOptions> parseOptions(const std::vector<std::string>& args, std::ostream& err) {
    ArgumentCursor cursor(args, "merge", err);
    MergeOptions options;
    while (!cursor.done()) {
        const std::string argument = cursor.take();
        if (argument == "-o" || argument == "--depth") {
            std::optional<std::string> value = cursor.value(argument);
            if (!value) return std::nullopt;
            (argument == "-o" ? options.output : options.depthOutput) = *value;
        } else if (argument == "--no-post") {
            options.postProcess = false;
        } else if (!argument.empty() && argument[0] == '-') {
            cursor.fail("unknown option '" + argument + "'");
            return std::nullopt;
        } else if (options.scene.empty()) {
            options.scene = argument;
        } else {
            options.tiles.push_back(argument);
        }
    }
    auto usage = [&](const std::string& message) -> std::optional<MergeOptions> {
        cursor.fail(message);
        return std::nullopt;
    };
    if (options.scene.empty()) return usage("no scene file given");
    if (options.tiles.empty()) return usage("no tiles given");
    if (options.output.empty()) return usage("no output image given (-o OUT)");
    if (options.depthOutput == options.output)
        return usage("the image and the depth map need different files");
    std::optional<RenderedImageFormat> format = imageFormatForOutput(options.output);
    if (!format) return usage(unknownImageFormatReason(options.output));
    options.format = *format;
    if (!options.depthOutput.empty() && imageFormatForOutput(options.depthOutput) != RenderedImageFormat::TIFF)
        return usage("--depth writes a TIFF: '" + options.depthOutput + "' must end in .tif or .tiff");
    return options;
}

std::string frameText(int width, int height) {
    return std::to_string(width) + " x " + std::to_string(height);
}

// Whether the two films turn into pixels alike (tiles' settings fingerprints say so too).
bool resolvedAlike(const yafaray::rawFilm_t& a, const yafaray::rawFilm_t& b) {
    return a.gamma == b.gamma && a.toneMapping == b.toneMapping && a.channels == b.channels &&
           a.guides.empty() == b.guides.empty();
}

}  // namespace

int runMerge(const std::vector<std::string>& args, Console& console) {
    std::ostream& err = console.err;
    std::optional<MergeOptions> options = parseOptions(args, err);
    if (!options) return kUsageError;
    auto failure = [&](const std::string& file, const std::string& reason) {
        err << "korvane: " << file << ": " << reason << "\n";
        return 1;
    };

    for (const std::string* output : {&options->output, &options->depthOutput}) {
        if (output->empty()) continue;
        if (std::optional<std::string> reason = unwritableReason(*output)) return failure(*output, *reason);
    }
    std::string error;
    std::vector<uint8_t> documentBytes;
    Document document;
    if (!openDocument(options->scene, document, err, &documentBytes)) return kFailure;
    const uint64_t sceneFingerprint = fingerprintOf(documentBytes);

    // Each tile is checked against the first and pasted into the frame's film as it is read, so
    // that only one tile's film is held beside the frame's. Every pixel of the frame must come
    // from exactly one tile.
    uint64_t settingsFingerprint = 0;
    yafaray::rawFilm_t frame;
    std::vector<int> owner;
    for (size_t t = 0; t < options->tiles.size(); ++t) {
        const std::string& path = options->tiles[t];
        std::optional<std::vector<uint8_t>> bytes = readFileContents(path, kMaxTileBytes, &error);
        if (!bytes) return failure(path, error);
        std::optional<RenderTile> tile = decodeRenderTile(*bytes, &error);
        if (!tile) return failure(path, error);
        bytes.reset();
        const yafaray::rawFilm_t& film = tile->film;
        if (tile->sceneFingerprint != sceneFingerprint)
            return failure(path, "rendered from another scene document than " + options->scene);
        if (t == 0) {
            if (int64_t(film.frameWidth) * film.frameHeight > kMaxImagePixels)
                return failure(
                    path, "its frame of " + frameText(film.frameWidth, film.frameHeight) + " is too large");
            frame = frameFilmFor(*tile);
            owner.assign(size_t(film.frameWidth) * film.frameHeight, -1);
            settingsFingerprint = tile->settingsFingerprint;
        } else {
            if (film.frameWidth != frame.frameWidth || film.frameHeight != frame.frameHeight)
                return failure(path, "its frame of " + frameText(film.frameWidth, film.frameHeight) +
                                         " differs from the " +
                                         frameText(frame.frameWidth, frame.frameHeight) + " of " +
                                         options->tiles.front());
            if (tile->settingsFingerprint != settingsFingerprint || !resolvedAlike(film, frame))
                return failure(path, "rendered with other settings than " + options->tiles.front());
        }
        for (int y = film.y0; y < film.y1; ++y) {
            for (int x = film.x0; x < film.x1; ++x) {
                int& pixelOwner = owner[size_t(y) * frame.frameWidth + x];
                if (pixelOwner >= 0)
                    return failure(path, "overlaps " + options->tiles[size_t(pixelOwner)] + " at pixel (" +
                                             std::to_string(x) + ", " + std::to_string(y) + ")");
                pixelOwner = int(t);
            }
        }
        pasteRenderTile(*tile, frame);
    }
    const int width = frame.frameWidth, height = frame.frameHeight;
    const auto gap = std::find(owner.begin(), owner.end(), -1);
    if (gap != owner.end()) {
        const long index = long(gap - owner.begin());
        const long missing = long(std::count(owner.begin(), owner.end(), -1));
        return failure(options->scene, "the tiles leave " + std::to_string(missing) + " pixels of the " +
                                           frameText(width, height) + " frame uncovered, the first at (" +
                                           std::to_string(index % width) + ", " +
                                           std::to_string(index / width) + ")");
    }

    RendererImage image(Size{double(width), double(height)});
    {
        // The engine's notes (the denoiser's time) go to standard error with --verbose, else nowhere.
        EngineLog engineLog(console.verbose());
        resolveFrameFilm(frame, YafarayRenderer::alphaFromDepth(document.scene()), image);
        engineLog.finish(err);
    }
    if (options->postProcess) applyPostProcessToRendererImage(document.scene(), image, nullptr);

    const std::vector<uint8_t> encoded =
        encodeRenderedImage(image.modifiedImage(), options->format);
    if (encoded.empty()) return failure(options->output, "the merged image could not be encoded");
    std::vector<uint8_t> depth;
    if (!options->depthOutput.empty()) {
        depth = encodeDepthMapTiff(width, height, image.depthMap());
        if (depth.empty()) return failure(options->depthOutput, "the depth map could not be encoded");
    }
    if (!writeFileAtomically(options->output, encoded, &error)) return failure(options->output, error);
    if (!depth.empty() && !writeFileAtomically(options->depthOutput, depth, &error))
        return failure(options->depthOutput, error);
    console.notes() << "wrote " << options->output << " from " << options->tiles.size() << " tiles\n";
    return 0;
}

}  // namespace korvane::cli
