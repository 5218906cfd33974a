#pragma once

// Shared pieces of the renderer extension tests: an engine scene with the application's
// extensions registered, hand-made TGA files and a scratch directory.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "raytracer/EngineTestSupport.h"
#include "renderer/RendererExtensions.h"

namespace extensiontest {

// The engine test scene builder with the four extensions registered as the renderer does.
class ExtensionScene : public enginetest::SceneBuilder {
public:
    ExtensionScene() { korvane::registerRendererExtensions(*yi.getRenderEnvironment()); }
    yafaray::renderEnvironment_t& env() { return *yi.getRenderEnvironment(); }
};

// A TGA file: the 18-byte header followed by the given pixel bytes (raw or run-length packets).
inline std::vector<uint8_t> tgaFile(uint8_t type, int width, int height, uint8_t depth, uint8_t descriptor,
                                    const std::vector<uint8_t>& data, const std::string& id = {}) {
    std::vector<uint8_t> f;
    f.reserve(18 + id.size() + data.size());
    f.resize(18, 0);
    f[0] = static_cast<uint8_t>(id.size());
    f[2] = type;
    f[12] = static_cast<uint8_t>(width & 0xff);
    f[13] = static_cast<uint8_t>(width >> 8);
    f[14] = static_cast<uint8_t>(height & 0xff);
    f[15] = static_cast<uint8_t>(height >> 8);
    f[16] = depth;
    f[17] = descriptor;
    f.insert(f.end(), id.begin(), id.end());
    f.insert(f.end(), data.begin(), data.end());
    return f;
}

// A directory of its own under the system's temporary directory, removed with the object.
class ScratchDirectory {
public:
    explicit ScratchDirectory(const std::string& name)
        : path_(std::filesystem::temp_directory_path() /
                ("korvane-ext-" + name + "-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(path_);
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string write(const std::string& file, const std::vector<uint8_t>& bytes) const {
        const std::filesystem::path p = path_ / file;
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return p.string();
    }
    std::string path(const std::string& file) const { return (path_ / file).string(); }

private:
    std::filesystem::path path_;
};

}  // namespace extensiontest
