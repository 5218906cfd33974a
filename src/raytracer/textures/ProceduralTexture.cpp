#include "raytracer/textures/ProceduralTexture.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>

namespace yafaray {

proceduralTexture_t::proceduralTexture_t(const paraMap_t& params) {
    params.getParam("color1", color1_);
    params.getParam("color2", color2_);
    adjust_.read(params);
}

// One distinct pattern of the process: its id, and whether a bump map differentiates it.
// Entries live as long as the process (there are as many as distinct patterns ever rendered).
struct proceduralPatternKey_t {
    uint32_t id = 0;
    std::atomic<bool> gradients{false};
};

namespace {

// The entry of a pattern key; ids are never reused, so a stale cache entry can only match its
// own pattern.
std::mutex gPatternKeysMutex;
std::map<std::string, std::unique_ptr<proceduralPatternKey_t>>& patternKeys() {
    static std::map<std::string, std::unique_ptr<proceduralPatternKey_t>> keys;
    return keys;
}

// The last few pattern values a render thread computed. A shading point asks for the same
// pattern at the same point several times (colour and bump textures of one material, the
// bump's slopes), and the lookups come back to back.
struct patternCache_t {
    static constexpr int kEntries = 8;
    struct entry_t {
        uint32_t id = 0;
        float x = 0.f, y = 0.f, z = 0.f, width = 0.f, value = 0.f;
        bool hasGradient = false;
        vector3d_t gradient;
    };
    entry_t entries[kEntries];
    int next = 0;

    entry_t* find(uint32_t id, const point3d_t& p, float width) {
        for (entry_t& e : entries) {
            if (e.id == id && e.x == p.x && e.y == p.y && e.z == p.z && e.width == width) return &e;
        }
        return nullptr;
    }
    entry_t& add(uint32_t id, const point3d_t& p, float width, float value) {
        entry_t& e = entries[next];
        next = (next + 1) % kEntries;
        e = {id, p.x, p.y, p.z, width, value, false, {}};
        return e;
    }
};
thread_local patternCache_t tlPatternCache;

}  // namespace

void proceduralTexture_t::setPatternKey(const std::string& key) {
    std::lock_guard lock(gPatternKeysMutex);
    auto& keys = patternKeys();
    auto& entry = keys[key];
    if (!entry) {
        entry = std::make_unique<proceduralPatternKey_t>();
        entry->id = static_cast<uint32_t>(keys.size());
    }
    pattern_ = entry.get();
}

void proceduralTexture_t::expectGradients() const {
    if (pattern_) pattern_->gradients.store(true, std::memory_order_relaxed);
}

float proceduralTexture_t::sharedPattern(const point3d_t& p, float width) const {
    if (!pattern_) return pattern(p, width);
    if (pattern_->gradients.load(std::memory_order_relaxed)) {
        float value = 0.f;
        vector3d_t gradient;
        if (sharedPatternGradient(p, width, value, gradient)) return value;
    }
    patternCache_t& cache = tlPatternCache;
    if (const auto* e = cache.find(pattern_->id, p, width)) return e->value;
    const float value = pattern(p, width);
    cache.add(pattern_->id, p, width, value);
    return value;
}

bool proceduralTexture_t::sharedPatternGradient(const point3d_t& p, float width, float& value,
                                                vector3d_t& gradient) const {
    if (!pattern_) return patternGradient(p, width, value, gradient);
    patternCache_t& cache = tlPatternCache;
    patternCache_t::entry_t* e = cache.find(pattern_->id, p, width);
    if (e && e->hasGradient) {
        value = e->value;
        gradient = e->gradient;
        return true;
    }
    if (!patternGradient(p, width, value, gradient)) return false;
    if (!e) e = &cache.add(pattern_->id, p, width, value);
    e->hasGradient = true;
    e->gradient = gradient;
    return true;
}

bool proceduralTexture_t::floatGradient(const point3d_t& p, float width, float& scalar, vector3d_t& gradient) const {
    float value = 0.f;
    if (!sharedPatternGradient(p, width, value, gradient)) return false;
    scalar = adjust_.scalar(value);
    gradient = gradient * adjust_.scalarSlope();
    return true;
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

float waveSlope(waveShape_t shape, float w) {
    constexpr float kInvTwoPi = 0.15915494f;
    switch (shape) {
        case waveShape_t::saw:
            return kInvTwoPi;
        case waveShape_t::triangle: {
            const float t = w * kInvTwoPi;
            return 2.f * (t - std::floor(t)) < 1.f ? -2.f * kInvTwoPi : 2.f * kInvTwoPi;
        }
        case waveShape_t::sine:
            break;
    }
    return 0.5f * std::cos(w);
}

float sharpened(float v, float sharpness, float& slope) {
    if (!(sharpness > 1.f)) {
        slope = 1.f;
        return v;
    }
    const float out = std::pow(v, 1.f / sharpness);
    slope = v > 0.f ? out / (sharpness * v) : 0.f;
    return out;
}

}  // namespace yafaray
