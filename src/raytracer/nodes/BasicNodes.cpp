#include "raytracer/nodes/BasicNodes.h"

#include "raytracer/core/Environment.h"
#include "raytracer/plugins.h"

namespace yafaray {

void registerPlugin_basicnodes(renderEnvironment_t& env) {
    env.registerFactory("texture_mapper", &textureMapperNodeFactory);
    env.registerFactory("layer", &layerNodeFactory);
    env.registerFactory("mix", &mixNodeFactory);
    env.registerFactory("value", &valueNodeFactory);
}

}  // namespace yafaray
