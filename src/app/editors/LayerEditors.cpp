#include "app/editors/LayerEditors.h"

#include "app/editor/EditLayerControllerRegistry.h"
#include "app/editors/camera/EditCameraLayerViewController.h"
#include "app/editors/lighting/EditLightingLayerViewController.h"
#include "app/editors/clouds/EditCloudLayerViewController.h"
#include "app/editors/sky/EditFogLayerViewController.h"
#include "app/editors/sky/EditSkyLayerViewController.h"
#include "app/editors/water/EditWaterLayerViewController.h"
#include "app/editors/mesh/EditMeshLayerViewController.h"
#include "app/editors/smallobjects/EditSmallObjectsLayerViewController.h"
#include "app/editors/terrain/EditTerrainLayerViewController.h"
#include "app/editors/texture/EditTerrainTextureLayerViewController.h"
#include "scene/layers/mesh/MeshLayer.h"
#include "scene/layers/camera/CameraLayer.h"
#include "scene/layers/lighting/LightingLayer.h"
#include "scene/layers/clouds/CloudsLayer.h"
#include "scene/layers/sky/FogLayer.h"
#include "scene/layers/sky/SkyLayer.h"
#include "scene/layers/smallobjects/SmallObjectsLayer.h"
#include "scene/layers/terrain/TerrainLayer.h"
#include "scene/layers/texture/TerrainTextureLayer.h"
#include "scene/layers/water/WaterLayer.h"

namespace korvane {

namespace {
// A factory for editor E of layers of class L; a layer of another class gets no editor.
template <class E, class L>
EditLayerControllerRegistry::Factory editorFor() {
    return [](std::shared_ptr<BaseSceneLayer> layer, MyDocument* document, QWidget* parent) -> BaseEditLayerViewController* {
        if (!std::dynamic_pointer_cast<L>(layer)) return nullptr;
        return new E(std::move(layer), document, parent);
    };
}
}  // namespace

void registerLayerEditors(EditLayerControllerRegistry& registry) {
    registry.registerEditor("EditCameraLayerViewController", editorFor<EditCameraLayerViewController, CameraLayer>());
    registry.registerEditor("EditLightingLayerViewController",
                            editorFor<EditLightingLayerViewController, LightingLayer>());
    registry.registerEditor("EditMeshLayerViewController", editorFor<EditMeshLayerViewController, MeshLayer>());
    registry.registerEditor("EditTerrainLayerViewController", editorFor<EditTerrainLayerViewController, TerrainLayer>());
    registry.registerEditor("EditTerrainTextureLayerViewController",
                            editorFor<EditTerrainTextureLayerViewController, TerrainTextureLayer>());
    registry.registerEditor("EditSmallObjectsLayerViewController",
                            editorFor<EditSmallObjectsLayerViewController, SmallObjectsLayer>());
    registry.registerEditor("EditSkyLayerViewController", editorFor<EditSkyLayerViewController, SkyLayer>());
    registry.registerEditor("EditFogLayerViewController", editorFor<EditFogLayerViewController, FogLayer>());
    registry.registerEditor("EditWaterLayerViewController", editorFor<EditWaterLayerViewController, WaterLayer>());
    registry.registerEditor("EditCloudLayerViewController", editorFor<EditCloudLayerViewController, CloudsLayer>());
}

}  // namespace korvane
