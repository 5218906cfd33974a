// Draws the plant images of the plants layer into a folder, or checks that a folder holds them:
//   plant-textures FOLDER           writes GreenGrass.png, GreenGrassAlpha.png, … Leaf1Alpha.png
//   plant-textures --check FOLDER   exit status 1, naming each, when an image there is missing or
//                                   its pixels differ from what the drawings give now
#include <filesystem>
#include <iostream>
#include <string>

#include "PlantDrawings.h"
#include "foundation/FileIO.h"
#include "foundation/ImageCodecs.h"

namespace {

using korvane::Bitmap;

bool writeImage(const std::string& path, const Bitmap& bitmap) {
    const std::vector<uint8_t> bytes = korvane::encodePng(bitmap);
    std::string error;
    if (bytes.empty() || !korvane::writeFileAtomically(path, bytes, &error)) {
        std::cerr << "plant-textures: " << path << ": " << (bytes.empty() ? "cannot encode PNG" : error) << "\n";
        return false;
    }
    std::cout << path << "\n";
    return true;
}

bool matchesImage(const std::string& path, const Bitmap& bitmap) {
    korvane::ImageDecodeResult stored = korvane::readImageFile(path);
    if (!stored.bitmap) {
        std::cerr << "plant-textures: " << path << ": " << stored.error << "\n";
        return false;
    }
    if (!(*stored.bitmap == bitmap)) {
        std::cerr << "plant-textures: " << path << ": differs from its drawing; run plant-textures on the folder\n";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const bool check = argc == 3 && std::string(argv[1]) == "--check";
    if (argc != 2 && !check) {
        std::cerr << "usage: plant-textures [--check] FOLDER\n";
        return 2;
    }
    const std::filesystem::path folder = argv[argc - 1];
    if (!std::filesystem::is_directory(folder)) {
        std::cerr << "plant-textures: " << folder.string() << ": not a folder\n";
        return 1;
    }
    bool ok = true;
    for (const korvane::tools::PlantTexture& texture : korvane::tools::drawPlantTextures()) {
        const std::pair<const std::string&, const Bitmap&> images[] = {{texture.colorFileName, texture.color},
                                                                      {texture.transparencyFileName, texture.transparency}};
        for (const auto& [name, bitmap] : images) {
            const std::string path = (folder / name).string();
            if (check) {
                ok = matchesImage(path, bitmap) && ok;
            } else if (!writeImage(path, bitmap)) {
                return 1;
            }
        }
    }
    return ok ? 0 : 1;
}
