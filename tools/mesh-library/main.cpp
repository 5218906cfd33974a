// mesh-library FOLDER [--keep-3ds FOLDER] | --check FOLDER
//
// Models the objects of the mesh object library, saves each as a 3DS file with lib3ds, imports it
// through the application's own import (the korvane executable beside this program, as a child
// process, which also renders the thumbnails) and archives the imported MeshObject as
// FOLDER/NAME.meshobject: the files shipped in resources/MeshObjectLibrary. With --check, compares
// the geometry, materials and placement of the files in FOLDER with a fresh import instead, and
// fails when they differ (thumbnails are not compared: they follow the renderer).
#include <filesystem>
#include <iostream>
#include <string>

#include "LibraryModels.h"
#include "scene/layers/mesh/MeshImportProcess.h"
#include "scene/layers/mesh/MeshObjectFile.h"
#include "scene/layers/mesh/MeshObjectLibrary.h"

namespace fs = std::filesystem;
using namespace korvane;

namespace {

constexpr const char* kUsage = "usage: mesh-library FOLDER [--keep-3ds FOLDER] | --check FOLDER\n";

bool sameGeometry(const MeshObject& a, const MeshObject& b) {
    if (a.meshs().size() != b.meshs().size() || a.materials().size() != b.materials().size()) return false;
    for (size_t i = 0; i < a.meshs().size(); ++i) {
        const Mesh& x = *a.meshs()[i];
        const Mesh& y = *b.meshs()[i];
        if (x.vertices() != y.vertices() || x.uvs() != y.uvs() || x.faces() != y.faces()) return false;
    }
    for (size_t i = 0; i < a.materials().size(); ++i) {
        if (a.materials()[i]->name() != b.materials()[i]->name()) return false;
        if (a.materials()[i]->color() != b.materials()[i]->color()) return false;
    }
    return a.bounds() == b.bounds() && a.userName() == b.userName() && a.position() == b.position() &&
           a.scale() == b.scale() && a.zRotation() == b.zRotation() &&
           a.heightOverTerrain() == b.heightOverTerrain();
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const bool check = args.size() == 2 && args[0] == "--check";
    const bool keep = args.size() == 3 && args[1] == "--keep-3ds";
    if (!check && !keep && args.size() != 1) {
        std::cerr << kUsage;
        return 2;
    }
    const fs::path folder = check ? args[1] : args[0];
    const fs::path threeDSFolder = keep ? fs::path(args[2]) : fs::temp_directory_path() / "korvane-mesh-library";
    std::error_code error;
    if (!check) fs::create_directories(folder, error);
    fs::create_directories(threeDSFolder, error);
    if (error) {
        std::cerr << "mesh-library: " << threeDSFolder.string() << ": " << error.message() << "\n";
        return 1;
    }

    const std::vector<meshlibrary::LibraryModel> models = meshlibrary::libraryModels();
    int done = 0;
    int differing = 0;
    for (const meshlibrary::LibraryModel& model : models) {
        const std::string threeDS = (threeDSFolder / (model.name + ".3ds")).string();
        std::string reason;
        if (!writeThreeDSFile(model.contents, threeDS, &reason)) {
            std::cerr << "mesh-library: " << threeDS << ": " << reason << "\n";
            return 1;
        }
        MeshImportResult imported = importThreeDSFileInChildProcess(threeDS);
        if (!keep) fs::remove(threeDS, error);
        if (!imported.object) {
            std::cerr << "mesh-library: " << imported.error << "\n";
            return 1;
        }
        imported.object->setUserName(model.name);
        const std::string archive = (folder / (model.name + kMeshObjectFileExtension)).string();
        if (check) {
            std::shared_ptr<MeshObject> shipped = readMeshObjectFile(archive, &reason);
            if (!shipped || !sameGeometry(*shipped, *imported.object)) {
                std::cerr << "mesh-library: " << archive << ": "
                          << (shipped ? "differs from what the models give" : reason) << "\n";
                ++differing;
            }
            continue;
        }
        if (!imported.object->isometricThumbnail()) {
            std::cerr << "mesh-library: " << model.name << ": the importer made no thumbnails\n";
            return 1;
        }
        if (!writeMeshObjectFile(*imported.object, archive, &reason)) {
            std::cerr << "mesh-library: " << archive << ": " << reason << "\n";
            return 1;
        }
        size_t vertices = 0, faces = 0;
        for (const auto& mesh : imported.object->meshs()) {
            vertices += mesh->verticesCount();
            faces += mesh->facesCount();
        }
        std::cout << "[" << ++done << "/" << models.size() << "] " << model.name << ": "
                  << imported.object->meshs().size() << " meshes, " << vertices << " vertices, " << faces
                  << " faces, " << imported.object->materials().size() << " materials\n";
    }
    if (!keep) fs::remove(threeDSFolder, error);
    if (check && differing == 0) std::cout << "the " << models.size() << " library objects match their models\n";
    return differing == 0 ? 0 : 1;
}
