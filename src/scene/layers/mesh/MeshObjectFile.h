#pragma once

#include <memory>
#include <string>

#include "scene/layers/mesh/MeshObject.h"

namespace korvane {

// A file holding one keyed archive whose root object is a MeshObject: what the importer hands back
// and what the object library is made of.

// Writes the archive of `object` atomically; false with a reason in `error` on failure. Any thread.
bool writeMeshObjectFile(const MeshObject& object, const std::string& path, std::string* error);
// The object stored in the file (without layer), or none with a reason in `error`. Any thread.
std::shared_ptr<MeshObject> readMeshObjectFile(const std::string& path, std::string* error);

}  // namespace korvane
