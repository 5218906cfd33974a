#pragma once

namespace yafaray {
class material_t;
}

namespace korvane {

class BaseRenderer;
class TerrainLayer;

// What a terrain layer asks of the layer that decides its surface (the terrain texture layer):
// which terrain it dresses, and the renderer material made from its material maps. A layer class
// implements this beside BaseSceneLayer; the terrain finds it by scanning the scene's layers, so the
// terrain's code does not depend on the material layer's.
class TerrainMaterialSource {
public:
    virtual ~TerrainMaterialSource() = default;
    // The terrain layer whose surface this layer describes (not owned), or null.
    virtual const TerrainLayer* terrainLayer() const = 0;
    // Appends the material chain to the renderer and returns its handle (owned by the engine), or
    // null. Render worker thread.
    virtual const yafaray::material_t* createTerrainMaterialForRenderer(BaseRenderer& renderer) = 0;
};

}  // namespace korvane
