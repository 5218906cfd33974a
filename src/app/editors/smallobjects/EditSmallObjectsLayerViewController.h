#pragma once

#include "app/editor/BaseSplittedEditLayerViewController.h"
#include "editing/AutoFillSheetController.h"
#include "editing/EditMapSceneController.h"

class QListWidget;

namespace korvane {

class BaseEditMapSceneView;
class SmallObjectsLayer;

// A plants or rocks layer's density map as the painting tools see it: edits are bracketed by the
// layer's startMapChange / endMapChange.
class SmallObjectsMapEditTarget final : public EditMapTarget {
public:
    explicit SmallObjectsMapEditTarget(SmallObjectsLayer& layer) : layer_(layer) {}
    Bitmap* imageRepToEdit() override;
    void didStartImageRepEdit() override;
    void didEndImageRepEdit() override;
    UndoManager* undoManager() override;

private:
    SmallObjectsLayer& layer_;
};

// The editor of a plants or rocks layer: the density map to paint (bright where objects grow) and,
// at the side, the list of kinds the layer offers and the two automatic fills. Main thread.
class EditSmallObjectsLayerViewController final : public BaseSplittedEditLayerViewController,
                                                  public AutoFillRedrawDelegate {
    Q_OBJECT
public:
    EditSmallObjectsLayerViewController(std::shared_ptr<BaseSceneLayer> layer, MyDocument* document,
                                        QWidget* parent = nullptr);

    BaseEditMapSceneView* sceneView() const { return sceneView_; }
    QListWidget* kindsList() const { return kindsList_; }
    void autoFillSteepness();
    void autoFillHeight();
    void autoFillSheetAlteredBitmapImageRep() override;

private:
    SmallObjectsLayer& smallObjectsLayer() const;

    SmallObjectsMapEditTarget target_;
    BaseEditMapSceneView* sceneView_;
    QListWidget* kindsList_;
};

}  // namespace korvane
