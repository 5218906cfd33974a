#include "editing/MaterialMapEditTarget.h"

#include "scene/Scene.h"
#include "scene/layers/texture/TerrainTextureLayer.h"

namespace korvane {

Bitmap* MaterialMapEditTarget::imageRepToEdit() {
    return map_ ? map_->maskImageRep().get() : nullptr;
}

void MaterialMapEditTarget::didStartImageRepEdit() {
    if (map_) map_->startMaskChange();
}

void MaterialMapEditTarget::didEndImageRepEdit() {
    if (map_) map_->endMaskChange();
}

UndoManager* MaterialMapEditTarget::undoManager() {
    const TerrainTextureLayer* layer = map_ ? map_->terrainTextureLayer() : nullptr;
    const Scene* scene = layer ? layer->scene() : nullptr;
    return scene ? scene->undoManager() : nullptr;
}

}  // namespace korvane
