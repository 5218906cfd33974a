#include "renderer/PreviewScene.h"

#include "scene/Scene.h"
#include "scene/layers/terrain/TerrainLayer.h"
#include "scene/layers/texture/TerrainTextureLayer.h"

namespace korvane {

std::shared_ptr<Scene> makePreviewScene(const std::vector<std::shared_ptr<BaseSceneLayer>>& layers) {
    auto scene = std::make_shared<Scene>();
    std::shared_ptr<TerrainLayer> terrainCopy;
    for (const auto& layer : layers) {
        if (!layer) continue;
        std::shared_ptr<BaseSceneLayer> copy = layer->copy();
        if (!copy) continue;
        copy->setScene(scene.get());
        if (auto terrain = std::dynamic_pointer_cast<TerrainLayer>(copy)) terrainCopy = std::move(terrain);
        scene->addLayer(std::move(copy));
    }
    // The terrain texture layer is the layer that refers to a terrain.
    for (const auto& layer : scene->layers()) {
        if (auto* textures = dynamic_cast<TerrainTextureLayer*>(layer.get()))
            textures->setTerrainLayer(terrainCopy);
    }
    return scene;
}

}  // namespace korvane
