#pragma once

#include <memory>
#include <string>
#include <vector>

#include "scene/layers/mesh/MeshObject.h"

namespace korvane {

// The prepared objects shipped in the "MeshObjectLibrary" resource folder: one MeshObject file
// each, named after the object.

// The name of the library's resource folder.
inline constexpr const char* kMeshObjectLibraryFolder = "MeshObjectLibrary";
// The extension of the library's files (and of single-object archives in general).
inline constexpr const char* kMeshObjectFileExtension = ".meshobject";

struct MeshLibraryEntry {
    std::string path;
    std::string name;  // the file name without its extension
};

// Every file found, recursively, in `folder`, sorted by name. A missing folder lists nothing.
std::vector<MeshLibraryEntry> meshLibraryEntries(const std::string& folder);
// The library's resource folder, or none when no resources folder holds one.
std::optional<std::string> meshLibraryFolder();

// The object of an entry as the library adds it: named after the file, at plan (5, 5) with scale 1
// and no rotation whatever the file says; its height over the terrain stays as stored. None with a
// reason in `error` when the file cannot be read.
std::shared_ptr<MeshObject> objectFromLibraryEntry(const MeshLibraryEntry& entry, std::string* error);

}  // namespace korvane
