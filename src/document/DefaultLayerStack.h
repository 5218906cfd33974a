#pragma once

#include "scene/Scene.h"

namespace korvane {

// Adds a new document's layers to `scene`, in stack order: terrain, terrain materials (over that
// terrain), water, sky, fog, clouds, lighting, camera. Call it before the scene has an undo manager,
// so that building the stack leaves nothing to undo. Main thread.
void addDefaultLayers(Scene& scene);

}  // namespace korvane
