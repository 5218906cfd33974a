// `korvane objects FILE --add-3ds PATH|--add-library NAME [--at X,Y] [--scale S] [--rotate DEG]
// [--lift H]` adds an imported object to the document's objects layer (made when it has none);
// `korvane objects --library` lists the prepared objects.
#include <cmath>
#include <filesystem>

#include "cli/CommandArguments.h"
#include "cli/Commands.h"
#include "scene/layers/mesh/MeshImportProcess.h"
#include "scene/layers/mesh/MeshLayer.h"
#include "scene/layers/mesh/MeshObjectLibrary.h"

namespace korvane::cli {

namespace {

struct Placement {
    std::optional<Point> at;
    std::optional<double> scale;
    std::optional<double> rotate;
    std::optional<double> lift;
};

int listLibrary(std::ostream& out, std::ostream& err) {
    std::optional<std::string> folder = meshLibraryFolder();
    if (!folder) {
        err << "korvane: objects: no " << kMeshObjectLibraryFolder << " resource folder was found\n";
        return 1;
    }
    for (const MeshLibraryEntry& entry : meshLibraryEntries(*folder)) out << entry.name << "\n";
    return 0;
}

// The library object called `name`, as the library adds it; none after printing why.
std::shared_ptr<MeshObject> libraryObject(const std::string& name, std::ostream& err) {
    std::optional<std::string> folder = meshLibraryFolder();
    if (!folder) {
        err << "korvane: objects: no " << kMeshObjectLibraryFolder << " resource folder was found\n";
        return nullptr;
    }
    for (const MeshLibraryEntry& entry : meshLibraryEntries(*folder)) {
        if (entry.name != name) continue;
        std::string error;
        std::shared_ptr<MeshObject> object = objectFromLibraryEntry(entry, &error);
        if (!object) err << "korvane: " << entry.path << ": " << error << "\n";
        return object;
    }
    err << "korvane: objects: the library has no object '" << name << "' (korvane objects --library lists them)\n";
    return nullptr;
}

// The object read from the 3DS file in a child process, named after the file; none after printing why.
std::shared_ptr<MeshObject> importedObject(const std::string& path, std::ostream& err) {
    // lib3ds only tells that it failed; a missing file is named as such.
    if (std::optional<std::string> reason = unreadableReason(path)) {
        err << "korvane: " << path << ": " << *reason << "\n";
        return nullptr;
    }
    MeshImportResult result = importThreeDSFileInChildProcess(path);
    if (!result.object) {
        err << "korvane: " << result.error << "\n";
        return nullptr;
    }
    // An object without geometry would sit invisibly in the layer; the user is told instead.
    if (result.object->meshs().empty()) {
        err << "korvane: " << path << ": the file holds no visible mesh\n";
        return nullptr;
    }
    result.object->setUserName(std::filesystem::path(path).stem().string());
    return result.object;
}

void place(MeshObject& object, const Placement& placement) {
    if (placement.at) object.setPosition(*placement.at);
    if (placement.scale) object.setScale(static_cast<float>(*placement.scale));
    if (placement.rotate) object.setZRotation(static_cast<float>(*placement.rotate));
    if (placement.lift) object.setHeightOverTerrain(static_cast<float>(*placement.lift));
}

}  // namespace

int runObjects(const std::vector<std::string>& args, Console& console) {
    std::ostream& err = console.err;
    if (args.size() == 1 && args[0] == "--library") return listLibrary(console.out, err);
    ArgumentCursor cursor(args, "objects", err);
    std::string path;
    std::optional<std::string> threeDSPath;
    std::optional<std::string> libraryName;
    Placement placement;
    while (!cursor.done()) {
        std::string arg = cursor.take();
        if (arg == "--add-3ds" || arg == "--add-library") {
            std::optional<std::string> value = cursor.value(arg);
            if (!value) return 2;
            if (threeDSPath || libraryName) return cursor.fail("only one object can be added at a time");
            (arg == "--add-3ds" ? threeDSPath : libraryName) = *value;
        } else if (arg == "--at") {
            std::optional<std::string> value = cursor.value(arg);
            if (!value) return 2;
            placement.at = parsePoint(*value);
            if (!placement.at) return cursor.fail("--at needs a plan point X,Y, not '" + *value + "'");
        } else if (arg == "--scale" || arg == "--rotate" || arg == "--lift") {
            std::optional<double> value = cursor.number(arg);
            if (!value) return 2;
            if (arg == "--scale" && !(*value > 0)) return cursor.fail("--scale must be above 0");
            (arg == "--scale" ? placement.scale : arg == "--rotate" ? placement.rotate : placement.lift) = *value;
        } else if (path.empty() && !arg.starts_with("-")) {
            path = arg;
        } else {
            return cursor.fail((arg.starts_with("-") ? "unknown option '" : "unexpected argument '") + arg + "'");
        }
    }
    if (path.empty()) return cursor.fail("no file given");
    if (!threeDSPath && !libraryName) return cursor.fail("--add-3ds PATH or --add-library NAME is needed");
    // Read the object before opening the document, so that a bad object leaves the file alone.
    std::shared_ptr<MeshObject> object = threeDSPath ? importedObject(*threeDSPath, err) : libraryObject(*libraryName, err);
    if (!object) return 1;
    place(*object, placement);
    const int status = editSceneFile(path, {}, [&](Scene& scene) {
        std::vector<std::shared_ptr<MeshLayer>> layers = scene.layersOfClass<MeshLayer>();
        std::shared_ptr<MeshLayer> layer = layers.empty() ? nullptr : layers.back();
        if (!layer) {
            layer = std::make_shared<MeshLayer>(&scene);
            scene.addLayer(layer);
        }
        layer->addMeshObject(object);
        return true;
    }, err);
    if (status == 0) console.wrote(path);
    return status;
}

}  // namespace korvane::cli
