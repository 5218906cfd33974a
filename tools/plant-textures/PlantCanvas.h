#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "foundation/Bitmap.h"

namespace korvane::tools {

struct Rgb {
    float r, g, b;
};

// Mixes two colours: t = 0 gives a, t = 1 gives b.
Rgb mix(const Rgb& a, const Rgb& b, float t);

// A small deterministic generator (xorshift) so that the textures come out the same on every
// platform and compiler.
class TextureRandom {
public:
    explicit TextureRandom(uint32_t seed) : state_(seed ? seed : 1u) {}
    // Uniform in [0, 1).
    float next();
    // Uniform in [low, high).
    float between(float low, float high) { return low + (high - low) * next(); }

private:
    uint32_t state_;
};

// A painting surface of colour and coverage. Shapes are antialiased from their signed distance and
// composited over what is there; the coverage is what becomes the texture's transparency map. Image
// coordinates: x to the right, y downwards from the top row, in pixels.
class PlantCanvas {
public:
    PlantCanvas(int width, int height);
    int width() const { return width_; }
    int height() const { return height_; }

    // A stroke along a quadratic curve from p0 through control point p1 to p2 whose half width runs
    // from baseRadius to tipRadius, coloured from baseColor to tipColor; `ribLight` brightens a thin
    // middle line (a blade's midrib) by that much.
    struct Stroke {
        float x0, y0, x1, y1, x2, y2;
        float baseRadius, tipRadius;
        Rgb baseColor, tipColor;
        float ribLight = 0.0f;
    };
    void stroke(const Stroke& s);
    // A filled ellipse centred at (cx, cy) with radii (rx, ry), rotated by `angle` (radians); the
    // colour darkens towards the rim by `rimShade`.
    void ellipse(float cx, float cy, float rx, float ry, float angle, const Rgb& color, float rimShade = 0.0f);

    // Any other shape: `shape` gives, for a pixel centre, its coverage in 0…1 and sets its colour.
    void fill(const std::function<float(float x, float y, Rgb& color)>& shape);

    // The colour image (RGB8), white where nothing was painted: the ray tracer tints the light that
    // passes a transparent surface by its colour, so the clear parts must be white to let the light
    // through unchanged.
    Bitmap colorImage() const;
    // The transparency map (Gray8): black where painted, white where clear.
    Bitmap transparencyImage() const;

private:
    void paint(int x, int y, const Rgb& color, float coverage);

    int width_, height_;
    std::vector<Rgb> color_;
    std::vector<float> coverage_;
};

}  // namespace korvane::tools
