#pragma once

#include "app/editor/BaseEditLayerViewController.h"

namespace korvane {

class EditTerrainLayerSceneView;

// The editor of the terrain layer: its map view, painted with the brushes, filtered and generated
// from the bars. Main thread.
class EditTerrainLayerViewController final : public BaseEditLayerViewController {
    Q_OBJECT
public:
    EditTerrainLayerViewController(std::shared_ptr<BaseSceneLayer> layer, MyDocument* document, QWidget* parent = nullptr);
    EditTerrainLayerSceneView* sceneView() const { return sceneView_; }

private:
    EditTerrainLayerSceneView* sceneView_;
};

}  // namespace korvane
