#pragma once

#include <memory>
#include <string>
#include <vector>

#include "foundation/Bitmap.h"
#include "foundation/KeyValueObserving.h"
#include "scene/BaseSceneLayer.h"
#include "scene/layers/smallobjects/BaseSmallObject.h"

namespace korvane {

// A layer that scatters many small objects of one kind (grass, wheat, leaves, rocks) over the
// terrain at render time, as densely as its grey density map says: one 8-bit sample per heightmap
// pixel, 0 nothing, 255 the kind's full density. Edited on the main thread; the render worker reads
// the map and the kind while it appends the layer.
class SmallObjectsLayer : public BaseSceneLayer, public KeyValueObservable {
public:
    // initWithScene: an empty (all zero) map sized for the scene; no kind.
    explicit SmallObjectsLayer(Scene* scene = nullptr);
    // The base copy sharing the same density map (painting in one shows in both) and the same kind.
    std::shared_ptr<BaseSceneLayer> copy() const override;

    // Layer table
    bool canBeDeleted() const override { return true; }
    std::string editLayerClassName() const override { return "EditSmallObjectsLayerViewController"; }

    // The density map (Gray8, the heightmap's pixel size; row 0 at ground y = 0). Shared by copies.
    const std::shared_ptr<Bitmap>& mapImageRep() const { return map_; }
    void setMapImageRep(std::shared_ptr<Bitmap> map) { map_ = std::move(map); }
    // The map's pixel size for a scene size: the heightmap's 102.4 pixels per scene unit.
    static int mapWidthForSceneWidth(double sceneWidth);

    // The kind placed by this layer; null when there is none (a document naming a kind that no
    // longer exists), and then the layer renders nothing.
    const SmallObjectClass* baseSmallObjectClass() const { return kind_; }
    // Announces "baseSmallObjectClass" and "name" to observers, stores, posts scene-did-change.
    void setBaseSmallObjectClass(const SmallObjectClass* kind);
    // The kinds offered in the editor's list (base: none).
    virtual std::vector<const SmallObjectClass*> allSmallObjectClasses() const { return {}; }

    // Map edits: nothing to snapshot (they are not undoable); the end posts scene-did-change.
    void startMapChange() {}
    void endMapChange();

    // A new map for the new size with the old one drawn into it unscaled and centred.
    void sceneSizeDidChange(Size fromSize, Size toSize) override;
    // Assigns the scene; a map of another size than the scene's is re-cut to it.
    void setScene(Scene* scene) override;

    // Walks the density map and asks the kind to generate objects for each painted cell.
    void appendToRenderer(BaseRenderer& renderer) override;

    // Mean density over the map in 0…1 (0 without a map).
    double meanDensity() const;

    // Archive: "mapImageRep" (the bitmap object) and "baseSmallObjectClass" (the kind's class name).
    std::string archiveClassName() const override { return "SmallObjectsLayer"; }
    void encode(KeyedArchiver& coder) const override;
    void decode(KeyedUnarchiver& coder) override;

protected:
    // The kind's display name, or "none" without a kind (for the subclasses' names).
    std::string kindName() const;
    // Copies this layer's fields into a fresh instance of the subclass.
    std::shared_ptr<BaseSceneLayer> copyInto(std::shared_ptr<SmallObjectsLayer> layer) const;

private:
    std::shared_ptr<Bitmap> map_;
    const SmallObjectClass* kind_ = nullptr;
};

}  // namespace korvane
