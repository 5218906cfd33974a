#pragma once

namespace yafaray {
class renderEnvironment_t;
}

namespace korvane {

// Registers the application's own ray-tracer extensions on an environment: the texture
// "fixedimagetexture", the material "fixed_blend_mat", the volume integrator
// "FixedSingleScatterIntegrator" and the volume region "FixedNoiseVolume". Called once, when the
// shared interface is created.
void registerRendererExtensions(yafaray::renderEnvironment_t& env);

}  // namespace korvane
