#pragma once

#include <memory>
#include <string>

#include "scene/layers/mesh/MeshObject.h"

namespace korvane {

// What an import through the child process produced: the object (without layer, named after the
// file), or none with a message for the user ("could not read FILE: the 3DS reader crashed").
struct MeshImportResult {
    std::shared_ptr<MeshObject> object;
    std::string error;
};

// The korvane executable beside the running program (found through /proc/self/exe), which
// answers `korvane import-3ds IN OUT`.
std::string importerExecutablePath();

// Reads a 3DS file in a child process (`EXECUTABLE import-3ds PATH TEMPORARY`) and decodes the
// single-object archive it writes. lib3ds trusts the sizes inside the file, so a damaged file may
// crash it or make it run away; here that only ends the child and the caller gets an error. A crash
// is reported as soon as the child has died; a child that makes no progress (reads no further into
// the file and writes nothing) for `stallSeconds` is taken for hung and killed, and none runs longer
// than `timeoutSeconds`. Main or worker thread; blocks until the child ends.
MeshImportResult importThreeDSFileInChildProcess(const std::string& path,
                                                 const std::string& executable = importerExecutablePath(),
                                                 int timeoutSeconds = 60, int stallSeconds = 10);

}  // namespace korvane
