// Registration functions of plug-ins that this engine does not provide yet. Each says what it
// would register; until then a create call for those type names returns null and logs the name.

#include "raytracer/plugins.h"

namespace yafaray {

// Bidirectional path tracing ("bidirectional"): no layer asks for it.
void registerPlugin_bidirpath(renderEnvironment_t&) {}
// Emission-only volume integrator ("EmissionIntegrator"): no layer asks for it.
void registerPlugin_emissionintegrator(renderEnvironment_t&) {}
// Path tracer ("pathtracing"): arrives with the path-tracing issue.
void registerPlugin_pathtracer(renderEnvironment_t&) {}
// Photon mapping ("photonmapping"): no layer asks for it.
void registerPlugin_photonintegr(renderEnvironment_t&) {}
// Stock single scatter ("SingleScatterIntegrator"): replaced by the application's own integrator.
void registerPlugin_singlescatterintegrator(renderEnvironment_t&) {}
// Stock blend ("blend_mat"): the application registers its own "fixed_blend_mat".
void registerPlugin_blendmat(renderEnvironment_t&) {}
// Coated glossy ("coated_glossy"): no layer asks for it.
void registerPlugin_coatedglossy(renderEnvironment_t&) {}
// Glass ("glass", "rough_glass"): arrives with the materials issue.
void registerPlugin_glass(renderEnvironment_t&) {}
// Glossy ("glossy"): no layer asks for it.
void registerPlugin_glossymat(renderEnvironment_t&) {}
// Shader nodes ("texture_mapper", "value", "mix", "layer"): the textures issue.
void registerPlugin_basicnodes(renderEnvironment_t&) {}
// Procedural textures ("clouds", "marble", "wood", "musgrave", "distorted_noise", "image", …).
void registerPlugin_basictex(renderEnvironment_t&) {}
// "ExpDensityVolume": the volumes issue.
void registerPlugin_expdensityvolume(renderEnvironment_t&) {}
// Grid volume ("GridVolume"): no layer asks for it.
void registerPlugin_gridvolume(renderEnvironment_t&) {}
// "NoiseVolume": the volumes issue (clouds use the application's "FixedNoiseVolume").
void registerPlugin_noisevolume(renderEnvironment_t&) {}
// Sky volume ("SkyVolume"): no layer asks for it.
void registerPlugin_skyvolume(renderEnvironment_t&) {}
// "UniformVolume": the volumes issue.
void registerPlugin_uniformvolume(renderEnvironment_t&) {}
// "darksky": the sky issue.
void registerPlugin_darksky(renderEnvironment_t&) {}
// "sunsky": the sky issue.
void registerPlugin_sunky(renderEnvironment_t&) {}

}  // namespace yafaray
