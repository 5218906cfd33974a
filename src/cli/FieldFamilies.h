#pragma once

// The model's fields as `korvane set` names them ("water.height=0.3"), one family per layer class,
// and the JSON that `korvane info --json` writes for the layers of these families.
#include <vector>

#include "scene/Scene.h"

#include "cli/JsonWriter.h"
#include "cli/LayerFields.h"
#include "scene/BaseSceneLayer.h"
#include "scene/layers/clouds/Cloud.h"
#include "scene/layers/lighting/BaseDirectionalLight.h"
#include "scene/layers/lighting/PointLight.h"

namespace korvane::cli {

FieldFamily sceneFieldFamily();    // "scene": size, maxTerrainHeight and every post-processing field
FieldFamily terrainFieldFamily();  // "terrain": borderMode, smoothingFactor
FieldFamily cameraFieldFamily();   // "camera": the camera layer's fields, points as x,y
FieldFamily waterFieldFamily();    // "water": the water layer's fields and "preset"
FieldFamily skyFieldFamily();      // "sky"
FieldFamily fogFieldFamily();      // "fog"
FieldFamily sunFieldFamily();      // "lighting.sun": the sun of the lighting layer

// The fields of the sun and the directional lights, and of point lights (also `lights` options).
const FieldTable<BaseDirectionalLight>& directionalLightFields();
const FieldTable<PointLight>& pointLightFields();
// The fields of a cloud (the `clouds` options).
const FieldTable<Cloud>& cloudFields();

// Each adds the fields of a layer of its family to the layer's JSON object; other layers add nothing.
void writeLightingLayerInfo(const BaseSceneLayer& layer, JsonWriter& w);
void writeSkyLayerInfo(const BaseSceneLayer& layer, JsonWriter& w);
void writeFogLayerInfo(const BaseSceneLayer& layer, JsonWriter& w);
void writeWaterLayerInfo(const BaseSceneLayer& layer, JsonWriter& w);
void writeCloudsLayerInfo(const BaseSceneLayer& layer, JsonWriter& w);

// The last layer of class T in the scene: the one the renderer reads where several exist.
template <class T>
T* lastLayerOfClass(Scene& scene) {
    auto layers = scene.template layersOfClass<T>();
    return layers.empty() ? nullptr : layers.back().get();
}

}  // namespace korvane::cli
