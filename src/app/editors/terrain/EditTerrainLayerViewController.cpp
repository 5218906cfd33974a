#include "app/editors/terrain/EditTerrainLayerViewController.h"

#include <QVBoxLayout>

#include "app/editor/EditLayerControllerRegistry.h"
#include "app/editors/terrain/EditTerrainLayerSceneView.h"
#include "scene/layers/terrain/TerrainLayer.h"

namespace korvane {

EditTerrainLayerViewController::EditTerrainLayerViewController(std::shared_ptr<BaseSceneLayer> layer,
                                                               MyDocument* document, QWidget* parent)
    : BaseEditLayerViewController(layer, document, parent),
      sceneView_(new EditTerrainLayerSceneView(scene(), static_cast<TerrainLayer&>(*layer))) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(sceneView_);
}

}  // namespace korvane
