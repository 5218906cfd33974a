#pragma once

// Registration of the stock plug-ins. Each function adds the factories of its plug-ins to a
// render environment under their type names; call them on the thread that owns the interface,
// before the scene is built. Registering twice replaces the earlier factories.

namespace yafaray {

class renderEnvironment_t;

// Lights
void registerPlugin_arealight(renderEnvironment_t& env);    // "arealight"
void registerPlugin_directional(renderEnvironment_t& env);  // "directional"
void registerPlugin_pointlight(renderEnvironment_t& env);   // "pointlight"
void registerPlugin_spherelight(renderEnvironment_t& env);  // "spherelight"
void registerPlugin_spotlight(renderEnvironment_t& env);    // "spotlight"
void registerPlugin_sunlight(renderEnvironment_t& env);     // "sunlight"

// Integrators
void registerPlugin_bidirpath(renderEnvironment_t& env);                // would add "bidirectional"
void registerPlugin_directlight(renderEnvironment_t& env);              // "directlighting"
void registerPlugin_emissionintegrator(renderEnvironment_t& env);       // would add "EmissionIntegrator"
void registerPlugin_pathtracer(renderEnvironment_t& env);               // "pathtracing" (a later issue)
void registerPlugin_photonintegr(renderEnvironment_t& env);             // would add "photonmapping"
void registerPlugin_singlescatterintegrator(renderEnvironment_t& env);  // "SingleScatterIntegrator" (later)

// Materials
void registerPlugin_blendmat(renderEnvironment_t& env);      // would add "blend_mat"
void registerPlugin_coatedglossy(renderEnvironment_t& env);  // would add "coated_glossy"
void registerPlugin_glass(renderEnvironment_t& env);         // "glass" (a later issue)
void registerPlugin_glossymat(renderEnvironment_t& env);     // would add "glossy"
void registerPlugin_shinydiff(renderEnvironment_t& env);     // "shinydiffusemat"
void registerPlugin_simplemats(renderEnvironment_t& env);    // "light_mat"

// Shader nodes and textures (the textures issue)
void registerPlugin_basicnodes(renderEnvironment_t& env);
void registerPlugin_basictex(renderEnvironment_t& env);

// Volume regions
void registerPlugin_expdensityvolume(renderEnvironment_t& env);  // "ExpDensityVolume" (later)
void registerPlugin_gridvolume(renderEnvironment_t& env);        // would add "GridVolume"
void registerPlugin_noisevolume(renderEnvironment_t& env);       // "NoiseVolume" (later)
void registerPlugin_skyvolume(renderEnvironment_t& env);         // would add "SkyVolume"
void registerPlugin_uniformvolume(renderEnvironment_t& env);     // "UniformVolume" (later)

// Backgrounds
void registerPlugin_darksky(renderEnvironment_t& env);       // "darksky" (the sky issue)
void registerPlugin_gradientback(renderEnvironment_t& env);  // "gradientback"
void registerPlugin_sunky(renderEnvironment_t& env);         // "sunsky" (the sky issue)

// Built into the engine and registered by every yafrayInterface_t on construction: the four
// cameras, the "constant" background and the "none" volume integrator.
void registerCameras(renderEnvironment_t& env);
void registerBuiltinBackgrounds(renderEnvironment_t& env);
void registerBuiltinIntegrators(renderEnvironment_t& env);

}  // namespace yafaray
