#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvane {

// The part of a 3DS file that imported objects use, in plain values: what lib3ds read, before the
// model turns it into a MeshObject. Coordinates are the file's own (z up).
struct ThreeDSMaterial {
    std::string name;
    std::array<float, 3> diffuse{};  // red, green, blue in 0…1
    float transparency = 0;
};

struct ThreeDSFace {
    std::array<uint32_t, 3> points{};  // indices into the mesh's points, not checked against them
    int materialIndex = -1;            // into the file's materials; -1 for a face without a material
};

struct ThreeDSMesh {
    std::string name;
    bool hidden = false;  // the object's hidden flag (bit 0x01 of its object flags)
    std::vector<std::array<float, 3>> points;
    std::vector<std::array<float, 2>> texels;  // may be shorter than points (usually empty or equal)
    std::vector<ThreeDSFace> faces;
};

struct ThreeDSFile {
    std::vector<ThreeDSMaterial> materials;  // file order
    std::vector<ThreeDSMesh> meshes;         // file order
};

// Reads a 3DS file through lib3ds and evaluates it at frame 0; none when lib3ds cannot load it.
// lib3ds trusts the file's chunk sizes, so hostile files are read in a child process (see
// MeshImportProcess.h). Any thread.
std::optional<ThreeDSFile> readThreeDSFile(const std::string& path);

// Writes the contents as a 3DS file with lib3ds, through a temporary file renamed over `path`.
// Faces name their material; points beyond 65535 or names beyond 63 bytes cannot be stored and
// fail the write. On failure returns false with a reason in `error`. Any thread.
bool writeThreeDSFile(const ThreeDSFile& contents, const std::string& path, std::string* error);

}  // namespace korvane
