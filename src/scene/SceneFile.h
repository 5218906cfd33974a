#pragma once

#include <memory>
#include <string>
#include <vector>

#include "scene/Scene.h"

namespace korvane {

struct SceneReadResult {
    std::shared_ptr<Scene> scene;
    std::string error;  // the reason, without the file name: the caller names the file
    std::vector<std::string> repairs;  // what reading repaired, without the file name
};

// Decodes a scene document from disk. Registers the model's classes first. What reading repaired
// (values clamped into range, damaged maps made flat) is also written to standard error, one
// "PATH: MESSAGE" line each. Any thread.
SceneReadResult readSceneFile(const std::string& path);
// Writes the scene's archive atomically (a temporary file beside `path`, then a rename), so a
// failed save leaves the previous file intact. Returns false with the reason in `error`.
bool writeSceneFile(const Scene& scene, const std::string& path, std::string* error);

}  // namespace korvane
