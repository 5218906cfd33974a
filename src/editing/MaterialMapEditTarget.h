#pragma once

#include <memory>

#include "editing/EditMapSceneController.h"

namespace korvane {

class TerrainTextureLayerMaterialMap;

// The texture editor's target: a material map's mask, bracketed by startMaskChange / endMaskChange,
// with the scene's undo manager. The base map has no mask, so it offers nothing to edit.
class MaterialMapEditTarget final : public EditMapTarget {
public:
    explicit MaterialMapEditTarget(std::shared_ptr<TerrainTextureLayerMaterialMap> map)
        : map_(std::move(map)) {}
    Bitmap* imageRepToEdit() override;
    void didStartImageRepEdit() override;
    void didEndImageRepEdit() override;
    UndoManager* undoManager() override;

private:
    std::shared_ptr<TerrainTextureLayerMaterialMap> map_;
};

}  // namespace korvane
