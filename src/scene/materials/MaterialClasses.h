#pragma once

namespace korvane {

// Registers the materials, shaders and textures and the terrain texture layer's material map with the
// archive, each under its class name with its superclass chain. Idempotent; called by
// registerSceneClasses.
void registerMaterialClasses();

}  // namespace korvane
