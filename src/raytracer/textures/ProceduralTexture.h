#pragma once

// What the procedural textures share: a pattern value v at a texture-space point, turned into
// the colour color1 + v·(color2 − color1), with the common adjustment keys.

#include <memory>
#include <string>

#include "raytracer/core/ParamMap.h"
#include "raytracer/core/Plugin.h"
#include "raytracer/textures/Noise.h"
#include "raytracer/textures/TextureAdjustments.h"

namespace yafaray {

class proceduralTexture_t : public texture_t {
public:
    // Reads "color1" (default black), "color2" (default white) and the adjustment keys.
    explicit proceduralTexture_t(const paraMap_t& params);

    colorA_t getColor(const point3d_t& p) const override;
    float getFloat(const point3d_t& p) const override { return adjust_.scalar(pattern(p)); }

protected:
    // The raw pattern value at p (before adjustments).
    virtual float pattern(const point3d_t& p) const = 0;

    // The generator named by the string parameter `key` ("newperlin" when absent).
    static std::unique_ptr<noiseGenerator_t> noiseFrom(const paraMap_t& params, const char* key);

private:
    color_t color1_{0.f}, color2_{1.f};
    textureAdjustments_t adjust_;
};

// The wave shapes of marble and wood ("shape": "sin" (default), "saw", "tri") mapped to [0, 1].
enum class waveShape_t { sine, saw, triangle };
waveShape_t waveShapeFrom(const paraMap_t& params);
float wave(waveShape_t shape, float w);

}  // namespace yafaray
