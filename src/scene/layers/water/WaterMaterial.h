#pragma once

namespace yafaray {
class material_t;
}

namespace korvane {

class BaseRenderer;
class WaterLayer;

// Appends the water's glass material for one render: the layer's IOR, absorption, water and mirror
// colours, and its waves as the bump (a texture-mapper over a distorted-noise texture of the waves'
// size and twirl, at the waves' height). Returns the ray tracer's material, owned by the renderer's
// interface; null when the ray tracer refused it. Render worker thread.
const yafaray::material_t* appendWaterMaterial(const WaterLayer& layer, BaseRenderer& renderer);

}  // namespace korvane
