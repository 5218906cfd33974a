#include "renderer/RendererExtensions.h"

#include "renderer/extensions/FixedBlendMaterial.h"
#include "renderer/extensions/FixedImageTexture.h"
#include "renderer/extensions/FixedNoiseVolume.h"
#include "renderer/extensions/FixedSingleScatterIntegrator.h"

namespace korvane {

void registerRendererExtensions(yafaray::renderEnvironment_t& env) {
    yafaray::registerFixedImageTexture(env);
    yafaray::registerFixedBlendMaterial(env);
    yafaray::registerFixedSingleScatterIntegratorPlugin(env);
    yafaray::registerFixedNoiseVolume(env);
}

}  // namespace korvane
