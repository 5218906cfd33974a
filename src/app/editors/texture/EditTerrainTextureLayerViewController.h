#pragma once

#include <memory>

#include <QListWidget>

#include "app/editor/BaseSplittedEditLayerViewController.h"
#include "editing/AutoFillSheetController.h"
#include "editing/EditMapSceneController.h"
#include "foundation/NotificationCenter.h"

class QPushButton;
class QToolButton;

namespace korvane {

class BaseEditMapSceneView;
class TerrainTextureLayer;
class TerrainTextureLayerMaterialMap;

// The mask of whichever material map is selected in the texture editor; none while the base map
// (which has no mask) or nothing is selected.
class SelectedMaterialMapEditTarget final : public EditMapTarget {
public:
    void setMaterialMap(std::shared_ptr<TerrainTextureLayerMaterialMap> map) { map_ = std::move(map); }
    const std::shared_ptr<TerrainTextureLayerMaterialMap>& materialMap() const { return map_; }
    Bitmap* imageRepToEdit() override;
    void didStartImageRepEdit() override;
    void didEndImageRepEdit() override;
    UndoManager* undoManager() override;

private:
    std::shared_ptr<TerrainTextureLayerMaterialMap> map_;
};

// The list of material maps, bottom first. Rows move by drag and drop, but the base map (the first
// row) can neither be dragged nor displaced: a drop lands only above a row after the first.
class MaterialMapsList final : public QListWidget {
    Q_OBJECT
public:
    explicit MaterialMapsList(TerrainTextureLayer& layer, QWidget* parent = nullptr);
    // Whether a drag of row `from` dropped above row `to` (count() for the end) would be accepted.
    static bool acceptsMove(int from, int to);
    // Moves the map at `from` to the slot `to` of the list as it is; false when refused.
    bool moveRow(int from, int to);

protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    int dropRow(const QPoint& position) const;
    TerrainTextureLayer& layer_;
};

// The editor of the terrain's materials: the selected map's mask to paint over the darkened
// terrain, the material presets, and at the side the stack of maps with add, remove and the two
// automatic fills. Main thread.
class EditTerrainTextureLayerViewController final : public BaseSplittedEditLayerViewController,
                                                    public AutoFillRedrawDelegate {
    Q_OBJECT
public:
    EditTerrainTextureLayerViewController(std::shared_ptr<BaseSceneLayer> layer, MyDocument* document,
                                          QWidget* parent = nullptr);

    BaseEditMapSceneView* sceneView() const { return sceneView_; }
    MaterialMapsList* materialMapsList() const { return list_; }
    QToolButton* presetButton() const { return presetButton_; }

    void addMaterialMap();
    void removeMaterialMap();
    void applyPreset(int index);
    void autoFillSteepness();
    void autoFillHeight();
    void autoFillSheetAlteredBitmapImageRep() override;
    // Opens the material sheet on the selected map's material (the base map's included).
    void editMaterial();
    QPushButton* editMaterialButton() const { return editMaterialButton_; }

private:
    TerrainTextureLayer& textureLayer() const;
    void reloadList();
    void selectionChanged();

    SelectedMaterialMapEditTarget target_;
    BaseEditMapSceneView* sceneView_;
    MaterialMapsList* list_;
    QToolButton* presetButton_ = nullptr;
    QPushButton* removeButton_ = nullptr;
    QPushButton* steepnessButton_ = nullptr;
    QPushButton* heightButton_ = nullptr;
    QPushButton* editMaterialButton_ = nullptr;
    NotificationObservation sceneDidChange_;
};

}  // namespace korvane
