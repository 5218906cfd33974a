#include "raytracer/textures/ProceduralTexture.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>

namespace yafaray {

proceduralTexture_t::proceduralTexture_t(const paraMap_t& params) {
    params.getParam("color1", color1_);
    params.getParam("color2", color2_);
    adjust_.read(params);
}

namespace {

// Ids of the distinct pattern keys of the process; ids are never reused, so a stale cache
// entry can only match its own pattern.
uint32_t patternIdFor(const std::string& key) {
    static std::mutex mutex;
    static std::map<std::string, uint32_t> ids;
    std::lock_guard lock(mutex);
    const auto [it, added] = ids.emplace(key, static_cast<uint32_t>(ids.size() + 1));
    return it->second;
}

// The last few pattern values a render thread computed. A shading point asks for the same
// pattern at the same point several times (colour and bump textures of one material, the
// bump's centre value), and the lookups come back to back.
struct patternCache_t {
    static constexpr int kEntries = 8;
    struct entry_t {
        uint32_t id = 0;
        float x = 0.f, y = 0.f, z = 0.f, width = 0.f, value = 0.f;
    };
    entry_t entries[kEntries];
    int next = 0;
};
thread_local patternCache_t tlPatternCache;

}  // namespace

void proceduralTexture_t::setPatternKey(const std::string& key) {
    patternId_ = patternIdFor(key);
}

float proceduralTexture_t::sharedPattern(const point3d_t& p, float width) const {
    if (patternId_ == 0) return pattern(p, width);
    patternCache_t& cache = tlPatternCache;
    for (const auto& e : cache.entries) {
        if (e.id == patternId_ && e.x == p.x && e.y == p.y && e.z == p.z && e.width == width) return e.value;
    }
    const float value = pattern(p, width);
    cache.entries[cache.next] = {patternId_, p.x, p.y, p.z, width, value};
    cache.next = (cache.next + 1) % patternCache_t::kEntries;
    return value;
}

void proceduralTexture_t::sample(const point3d_t& p, float width, colorA_t& colour, float& scalar) const {
    const float v = sharedPattern(p, width);
    colour = colourOf(v);
    scalar = adjust_.scalar(v);
}

colorA_t proceduralTexture_t::colourOf(float v) const {
    // The adjustments act on the colour channels, so the blend takes the raw pattern value.
    const color_t c = color1_ + (color2_ - color1_) * v;
    // A signed or unbounded pattern may extrapolate past the two colours; light stays positive.
    return adjust_.colour(colorA_t(color_t(std::max(0.f, c.R), std::max(0.f, c.G), std::max(0.f, c.B)), 1.f));
}

std::unique_ptr<noiseGenerator_t> proceduralTexture_t::noiseFrom(const paraMap_t& params, const char* key) {
    std::string type;
    params.getParam(key, type);
    return newNoiseGenerator(type);
}

waveShape_t waveShapeFrom(const paraMap_t& params) {
    std::string shape;
    params.getParam("shape", shape);
    if (shape == "saw") return waveShape_t::saw;
    if (shape == "tri") return waveShape_t::triangle;
    return waveShape_t::sine;
}

float wave(waveShape_t shape, float w) {
    constexpr float kInvTwoPi = 0.15915494f;
    switch (shape) {
        case waveShape_t::saw: {
            const float t = w * kInvTwoPi;
            return t - std::floor(t);
        }
        case waveShape_t::triangle: {
            const float t = w * kInvTwoPi;
            return std::fabs(2.f * (t - std::floor(t)) - 1.f);
        }
        case waveShape_t::sine:
            break;
    }
    return 0.5f + 0.5f * std::sin(w);
}

}  // namespace yafaray
