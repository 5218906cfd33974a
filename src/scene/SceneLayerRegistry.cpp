#include "scene/SceneLayerRegistry.h"

#include <algorithm>
#include <mutex>

#include "foundation/archive/ArchiveClassRegistry.h"
#include "scene/Scene.h"
#include "scene/layers/camera/CameraLayer.h"
#include "scene/layers/clouds/CloudsLayer.h"
#include "scene/layers/lighting/DirectionalLight.h"
#include "scene/layers/lighting/LightingLayer.h"
#include "scene/layers/lighting/PointLight.h"
#include "scene/layers/mesh/MeshLayer.h"
#include "scene/layers/sky/FogLayer.h"
#include "scene/layers/sky/SkyLayer.h"
#include "scene/layers/smallobjects/PlantsLayer.h"
#include "scene/layers/smallobjects/RocksLayer.h"
#include "scene/layers/terrain/TerrainLayer.h"
#include "scene/layers/texture/TerrainTextureLayer.h"
#include "scene/layers/water/WaterLayer.h"
#include "scene/materials/MaterialClasses.h"

namespace korvane {

SceneLayerRegistry& SceneLayerRegistry::shared() {
    static SceneLayerRegistry registry;
    return registry;
}

void SceneLayerRegistry::registerLayerClass(const std::string& className, const std::string& superclass,
                                            Factory factory) {
    factories_[className] = factory;
    ArchiveClassRegistry::shared().registerClass(className, superclass, [factory] { return factory(); });
}

std::shared_ptr<BaseSceneLayer> SceneLayerRegistry::createLayer(const std::string& className, Scene* scene) const {
    auto it = factories_.find(className);
    if (it == factories_.end()) return nullptr;
    std::shared_ptr<BaseSceneLayer> layer = it->second();
    layer->setScene(scene);
    return layer;
}

std::vector<LayerClassInfo> SceneLayerRegistry::layerTable() const {
    std::vector<LayerClassInfo> table;
    for (const auto& [className, factory] : factories_) {
        std::shared_ptr<BaseSceneLayer> prototype = factory();
        table.push_back({className, prototype->name(), prototype->icon(), prototype->editLayerClassName(),
                         prototype->orderForFunctionsList(), prototype->canBeDeleted()});
    }
    std::stable_sort(table.begin(), table.end(), [](const LayerClassInfo& a, const LayerClassInfo& b) {
        return a.orderForFunctionsList < b.orderForFunctionsList;
    });
    return table;
}

void registerSceneClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        ArchiveClassRegistry::shared().registerClass<Scene>("Scene", "NSObject");
        // The layer classes register here as they are added to the model.
        SceneLayerRegistry::shared().registerLayerClass<TerrainLayer>("TerrainLayer");
        SceneLayerRegistry::shared().registerLayerClass<TerrainTextureLayer>("TerrainTextureLayer");
        registerMaterialClasses();
        SceneLayerRegistry::shared().registerLayerClass<CameraLayer>("CameraLayer");
        SceneLayerRegistry::shared().registerLayerClass<WaterLayer>("WaterLayer");
        SceneLayerRegistry::shared().registerLayerClass<SkyLayer>("SkyLayer");
        SceneLayerRegistry::shared().registerLayerClass<CloudsLayer>("CloudsLayer");
        ArchiveClassRegistry::shared().registerClass<Cloud>("Cloud", "NSObject");
        SceneLayerRegistry::shared().registerLayerClass<FogLayer>("FogLayer");
        SceneLayerRegistry::shared().registerLayerClass<LightingLayer>("LightingLayer");
        ArchiveClassRegistry::shared().registerClass<BaseLight>("BaseLight", "NSObject");
        ArchiveClassRegistry::shared().registerClass<SunLight>("SunLight", "BaseLight");
        ArchiveClassRegistry::shared().registerClass<DirectionalLight>("DirectionalLight", "BaseLight");
        ArchiveClassRegistry::shared().registerClass<PointLight>("PointLight", "BaseLight");
        ArchiveClassRegistry::shared().registerClass<SmallObjectsLayer>("SmallObjectsLayer", "BaseSceneLayer");
        SceneLayerRegistry::shared().registerLayerClass<PlantsLayer>("PlantsLayer", "SmallObjectsLayer");
        SceneLayerRegistry::shared().registerLayerClass<RocksLayer>("RocksLayer", "SmallObjectsLayer");
        SceneLayerRegistry::shared().registerLayerClass<MeshLayer>("MeshLayer");
        ArchiveClassRegistry::shared().registerClass<MeshObject>("MeshObject", "NSObject");
        ArchiveClassRegistry::shared().registerClass<Mesh>("Mesh", "NSObject");
    });
}

}  // namespace korvane
