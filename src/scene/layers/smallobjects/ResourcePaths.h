#pragma once

#include <optional>
#include <string>

namespace korvane {

// Where the application's read-only resources (plant textures, the mesh object library) live:
// the folder named by $KORVANE_RESOURCES_DIR, else PREFIX/share/korvane/resources for a program
// installed in PREFIX/bin, else a "resources" folder beside the running program or up to four folders
// above it, else the resources folder of the source tree the program was built from (programs in a
// build tree). Any thread.
std::optional<std::string> resourcesDirectory();

// The full path of a resource ("plants/GreenGrass.png"), or none when no resources folder holds it.
std::optional<std::string> resourcePath(const std::string& relativePath);

}  // namespace korvane
