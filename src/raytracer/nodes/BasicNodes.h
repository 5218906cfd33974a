#pragma once

// Factories of the stock shader nodes, registered together by registerPlugin_basicnodes.

#include "raytracer/core/ParamMap.h"
#include "raytracer/core/Plugin.h"

namespace yafaray {

class renderEnvironment_t;

// "texture_mapper": a texture read through texture coordinates; null when "texture" names no
// existing texture.
shaderNode_t* textureMapperNodeFactory(const paraMap_t& params, renderEnvironment_t& env);
// "layer": an input blended over an upper layer in one of nine modes.
shaderNode_t* layerNodeFactory(const paraMap_t& params, renderEnvironment_t& env);
// "mix": two inputs mixed by a factor; null without one of each input pair.
shaderNode_t* mixNodeFactory(const paraMap_t& params, renderEnvironment_t& env);
// "value": a constant colour and scalar.
shaderNode_t* valueNodeFactory(const paraMap_t& params, renderEnvironment_t& env);

}  // namespace yafaray
