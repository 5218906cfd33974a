// Registration functions of plug-ins that this engine does not provide yet. Each says what it
// would register; until then a create call for those type names returns null and logs the name.

#include "raytracer/plugins.h"

namespace yafaray {

// Bidirectional path tracing ("bidirectional"): no layer asks for it.
void registerPlugin_bidirpath(renderEnvironment_t&) {}
// Emission-only volume integrator ("EmissionIntegrator"): no layer asks for it.
void registerPlugin_emissionintegrator(renderEnvironment_t&) {}
// Photon mapping ("photonmapping"): no layer asks for it.
void registerPlugin_photonintegr(renderEnvironment_t&) {}
// Coated glossy ("coated_glossy"): no layer asks for it.
void registerPlugin_coatedglossy(renderEnvironment_t&) {}
// Glossy ("glossy"): no layer asks for it.
void registerPlugin_glossymat(renderEnvironment_t&) {}
// Grid volume ("GridVolume"): no layer asks for it.
void registerPlugin_gridvolume(renderEnvironment_t&) {}
// Sky volume ("SkyVolume"): no layer asks for it.
void registerPlugin_skyvolume(renderEnvironment_t&) {}

}  // namespace yafaray
