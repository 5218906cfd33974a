// `korvane import-3ds IN.3ds OUT`: reads a 3DS file with lib3ds, renders the object's thumbnails and
// writes it as a single-object archive. The application runs it as a child process, so that a file
// that crashes lib3ds ends only this process.
#include <chrono>
#include <filesystem>
#include <thread>

#include "cli/CommandArguments.h"
#include "cli/Commands.h"
#include "cli/EngineDiagnostics.h"
#include "foundation/MainThreadDispatcher.h"
#include "renderer/MeshThumbnails.h"
#include "scene/SceneLayerRegistry.h"
#include "scene/layers/mesh/MeshObject.h"
#include "scene/layers/mesh/MeshObjectFile.h"

namespace korvane::cli {

namespace {

constexpr auto kPumpInterval = std::chrono::milliseconds(2);

// Renders both thumbnails into the object, running this thread's main-thread queue until the
// renders have reported. A failed render leaves that thumbnail out (the thumbnailer says why).
void renderThumbnails(const std::shared_ptr<MeshObject>& object) {
    auto* dispatcher = dynamic_cast<SynchronousDispatcher*>(&MainThreadDispatcher::shared());
    if (!dispatcher || !dispatcher->isMainThread()) {
        MainThreadDispatcher::setShared(nullptr);
        dispatcher = dynamic_cast<SynchronousDispatcher*>(&MainThreadDispatcher::shared());
    }
    MeshObjectThumbnailer thumbnailer(object);
    thumbnailer.generateAllThumbnails();
    while (thumbnailer.isGenerating(MeshThumbnailKind::TopDown) ||
           thumbnailer.isGenerating(MeshThumbnailKind::Isometric)) {
        if (dispatcher->runPending() == 0) std::this_thread::sleep_for(kPumpInterval);
    }
}

}  // namespace

int runImport3ds(const std::vector<std::string>& args, Console& console) {
    std::ostream& err = console.err;
    ArgumentCursor cursor(args, "import-3ds", err);
    for (const std::string& arg : args) {
        if (arg.starts_with("-")) return cursor.fail("unknown option '" + arg + "'");
    }
    if (args.size() != 2) return cursor.fail(args.size() < 2 ? "IN.3ds and OUT are needed" : "too many arguments");
    const std::string& input = args[0];
    const std::string& output = args[1];
    // lib3ds only tells that it failed; a missing file is named as such.
    if (std::optional<std::string> reason = unreadableReason(input)) {
        err << "korvane: " << input << ": " << *reason << "\n";
        return kFailure;
    }
    if (std::optional<std::string> reason = unwritableReason(output)) {
        err << "korvane: " << output << ": " << *reason << "\n";
        return kFailure;
    }
    registerSceneClasses();
    auto object = std::make_shared<MeshObject>();
    if (!object->load3DSFile(input)) {
        err << "korvane: " << input << ": lib3ds cannot read the file\n";
        return 1;
    }
    object->setUserName(std::filesystem::path(input).stem().string());
    {
        // The thumbnail renders log as every render does; --verbose shows it on standard error.
        StandardOutputDiversion diversion(console.verbose());
        EngineLog engineLog(console.verbose());
        renderThumbnails(object);
        engineLog.finish(err);
    }
    std::string error;
    if (!writeMeshObjectFile(*object, output, &error)) {
        err << "korvane: " << output << ": " << error << "\n";
        return 1;
    }
    console.wrote(output);
    return 0;
}

}  // namespace korvane::cli
