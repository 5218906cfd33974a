#include "document/DefaultLayerStack.h"

#include <memory>

#include "scene/layers/camera/CameraLayer.h"
#include "scene/layers/clouds/CloudsLayer.h"
#include "scene/layers/lighting/LightingLayer.h"
#include "scene/layers/sky/FogLayer.h"
#include "scene/layers/sky/SkyLayer.h"
#include "scene/layers/terrain/TerrainLayer.h"
#include "scene/layers/texture/TerrainTextureLayer.h"
#include "scene/layers/water/WaterLayer.h"

namespace korvane {

void addDefaultLayers(Scene& scene) {
    auto terrain = std::make_shared<TerrainLayer>(&scene);
    scene.addLayer(terrain);
    scene.addLayer(std::make_shared<TerrainTextureLayer>(&scene, terrain));
    scene.addLayer(std::make_shared<WaterLayer>(&scene));
    scene.addLayer(std::make_shared<SkyLayer>(&scene));
    scene.addLayer(std::make_shared<FogLayer>(&scene));
    scene.addLayer(std::make_shared<CloudsLayer>(&scene));
    scene.addLayer(std::make_shared<LightingLayer>(&scene));
    scene.addLayer(std::make_shared<CameraLayer>(&scene));
}

}  // namespace korvane
