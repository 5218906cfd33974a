#pragma once

// What the procedural textures share: a pattern value v at a texture-space point, turned into
// the colour color1 + v·(color2 − color1), with the common adjustment keys.

#include <cstdint>
#include <memory>
#include <string>

#include "raytracer/core/ParamMap.h"
#include "raytracer/core/Plugin.h"
#include "raytracer/textures/Noise.h"
#include "raytracer/textures/TextureAdjustments.h"

namespace yafaray {

// One distinct pattern of the process (ProceduralTexture.cpp).
struct proceduralPatternKey_t;

class proceduralTexture_t : public texture_t {
public:
    // Reads "color1" (default black), "color2" (default white) and the adjustment keys.
    explicit proceduralTexture_t(const paraMap_t& params);

    colorA_t getColor(const point3d_t& p) const override { return colourOf(pattern(p, 0.f)); }
    float getFloat(const point3d_t& p) const override { return adjust_.scalar(pattern(p, 0.f)); }
    void sample(const point3d_t& p, float width, colorA_t& colour, float& scalar) const override;
    float filteredFloat(const point3d_t& p, float width) const override {
        return adjust_.scalar(sharedPattern(p, width));
    }
    bool floatGradient(const point3d_t& p, float width, float& scalar, vector3d_t& gradient) const override;
    void expectGradients() const override;

protected:
    // The raw pattern value at p (before adjustments), averaged over a footprint `width` wide.
    virtual float pattern(const point3d_t& p, float width) const = 0;
    // The same value (bit for bit) with its gradient per unit of p; false for patterns that do
    // not differentiate themselves.
    virtual bool patternGradient(const point3d_t& p, float width, float& value, vector3d_t& gradient) const {
        (void)p, (void)width, (void)value, (void)gradient;
        return false;
    }

    // Declares which pattern this texture computes: textures that differ only in their colours
    // and adjustments (a material's colour and bump textures, typically) give the same key and
    // then share pattern values at the same point. Each subclass calls it once, constructing.
    void setPatternKey(const std::string& key);

    // The generator named by the string parameter `key` ("newperlin" when absent).
    static std::unique_ptr<noiseGenerator_t> noiseFrom(const paraMap_t& params, const char* key);

private:
    colorA_t colourOf(float v) const;
    // pattern(p, width), answered from the calling thread's recent values of the same pattern
    // key when the same point was asked for moments ago. With `gradient`, the gradient too
    // (false when the pattern has none); a pattern some bump map differentiates computes its
    // gradient with every value, so that the bump finds it ready.
    float sharedPattern(const point3d_t& p, float width) const;
    bool sharedPatternGradient(const point3d_t& p, float width, float& value, vector3d_t& gradient) const;

    color_t color1_{0.f}, color2_{1.f};
    textureAdjustments_t adjust_;
    proceduralPatternKey_t* pattern_ = nullptr;  // null: not shared
};

// The wave shapes of marble and wood ("shape": "sin" (default), "saw", "tri") mapped to [0, 1].
enum class waveShape_t { sine, saw, triangle };
waveShape_t waveShapeFrom(const paraMap_t& params);
float wave(waveShape_t shape, float w);
// The slope of wave(shape, w) in w.
float waveSlope(waveShape_t shape, float w);
// A band pattern's value and slope after "sharpness" s: v^(1/s) for s above 1.
float sharpened(float v, float sharpness, float& slope);

}  // namespace yafaray
