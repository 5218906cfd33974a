#pragma once

#include <optional>
#include <string>

namespace korvane {

class DiffuseMaterial;

// The key of the DiffuseMaterial preset whose settings the material still holds exactly (textures,
// colours, reflections; names aside), or none once any of them was edited. Presets are not stored in
// documents, so this is how a loaded material is recognised as one. Main thread; the material's
// classes must be registered with the archive.
std::optional<std::string> matchingPresetKey(const DiffuseMaterial& material);

}  // namespace korvane
