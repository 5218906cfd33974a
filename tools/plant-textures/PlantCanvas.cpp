#include "PlantCanvas.h"

#include <algorithm>
#include <cmath>

namespace korvane::tools {

namespace {

// Segments per stroke: enough for a smooth curve at texture sizes.
constexpr int kStrokeSegments = 48;

float clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

uint8_t toByte(float v) { return static_cast<uint8_t>(std::lround(clamp01(v) * 255.0f)); }

// Distance from (px, py) to the segment a–b, and the position along it (0 at a, 1 at b).
float segmentDistance(float px, float py, float ax, float ay, float bx, float by, float& along) {
    const float dx = bx - ax, dy = by - ay;
    const float lengthSquared = dx * dx + dy * dy;
    along = lengthSquared > 0 ? clamp01(((px - ax) * dx + (py - ay) * dy) / lengthSquared) : 0.0f;
    const float ex = px - (ax + along * dx), ey = py - (ay + along * dy);
    return std::sqrt(ex * ex + ey * ey);
}

}  // namespace

Rgb mix(const Rgb& a, const Rgb& b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

float TextureRandom::next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<float>(state_ >> 8) / static_cast<float>(1u << 24);
}

PlantCanvas::PlantCanvas(int width, int height)
    : width_(width), height_(height), color_(static_cast<size_t>(width) * height, Rgb{0, 0, 0}),
      coverage_(static_cast<size_t>(width) * height, 0.0f) {}

void PlantCanvas::paint(int x, int y, const Rgb& color, float coverage) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || coverage <= 0) return;
    const size_t i = static_cast<size_t>(y) * width_ + x;
    color_[i] = mix(color_[i], color, coverage);
    coverage_[i] = coverage_[i] + coverage * (1.0f - coverage_[i]);
}

void PlantCanvas::stroke(const Stroke& s) {
    struct Point2 {
        float x, y;
    };
    Point2 points[kStrokeSegments + 1];
    for (int k = 0; k <= kStrokeSegments; ++k) {
        const float t = static_cast<float>(k) / kStrokeSegments, u = 1.0f - t;
        points[k] = {u * u * s.x0 + 2 * u * t * s.x1 + t * t * s.x2, u * u * s.y0 + 2 * u * t * s.y1 + t * t * s.y2};
    }
    const float maxRadius = std::max(s.baseRadius, s.tipRadius) + 1.0f;
    float minX = points[0].x, maxX = minX, minY = points[0].y, maxY = minY;
    for (const Point2& p : points) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    const int x0 = std::max(0, static_cast<int>(std::floor(minX - maxRadius)));
    const int x1 = std::min(width_ - 1, static_cast<int>(std::ceil(maxX + maxRadius)));
    const int y0 = std::max(0, static_cast<int>(std::floor(minY - maxRadius)));
    const int y1 = std::min(height_ - 1, static_cast<int>(std::ceil(maxY + maxRadius)));
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const float px = x + 0.5f, py = y + 0.5f;
            // The nearest point of the tapered stroke: smallest distance less the local radius.
            float best = 1e9f, bestT = 0.0f, bestOffset = 0.0f, bestRadius = 1.0f;
            for (int k = 0; k < kStrokeSegments; ++k) {
                float along = 0;
                const float d = segmentDistance(px, py, points[k].x, points[k].y, points[k + 1].x, points[k + 1].y,
                                                along);
                const float t = (k + along) / kStrokeSegments;
                const float radius = s.baseRadius + (s.tipRadius - s.baseRadius) * t;
                if (d - radius < best) {
                    best = d - radius;
                    bestT = t;
                    bestOffset = d;
                    bestRadius = radius;
                }
            }
            const float coverage = clamp01(0.5f - best);
            if (coverage <= 0) continue;
            Rgb color = mix(s.baseColor, s.tipColor, bestT);
            // The middle line catches the light; the edges fall a little into shade.
            const float across = bestRadius > 0 ? clamp01(bestOffset / bestRadius) : 1.0f;
            const float light = s.ribLight * (1.0f - across) * (1.0f - across) - 0.12f * across * across;
            color = {color.r + light, color.g + light, color.b + light};
            paint(x, y, color, coverage);
        }
    }
}

void PlantCanvas::ellipse(float cx, float cy, float rx, float ry, float angle, const Rgb& color, float rimShade) {
    const float c = std::cos(angle), s = std::sin(angle);
    const float reach = std::max(rx, ry) + 1.0f;
    const int x0 = std::max(0, static_cast<int>(std::floor(cx - reach)));
    const int x1 = std::min(width_ - 1, static_cast<int>(std::ceil(cx + reach)));
    const int y0 = std::max(0, static_cast<int>(std::floor(cy - reach)));
    const int y1 = std::min(height_ - 1, static_cast<int>(std::ceil(cy + reach)));
    const float smaller = std::min(rx, ry);
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const float dx = x + 0.5f - cx, dy = y + 0.5f - cy;
            const float u = (dx * c + dy * s) / rx, v = (-dx * s + dy * c) / ry;
            const float r = std::sqrt(u * u + v * v);
            // Distance to the rim, approximated in pixels of the smaller radius.
            const float coverage = clamp01((1.0f - r) * smaller + 0.5f);
            if (coverage <= 0) continue;
            const float shade = 1.0f - rimShade * r * r;
            paint(x, y, {color.r * shade, color.g * shade, color.b * shade}, coverage);
        }
    }
}

void PlantCanvas::fill(const std::function<float(float x, float y, Rgb& color)>& shape) {
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            Rgb color{0, 0, 0};
            const float coverage = clamp01(shape(x + 0.5f, y + 0.5f, color));
            paint(x, y, color, coverage);
        }
    }
}

Bitmap PlantCanvas::colorImage() const {
    const Rgb clear{1, 1, 1};
    Bitmap image(width_, height_, PixelFormat::RGB8);
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            const size_t i = static_cast<size_t>(y) * width_ + x;
            // Colours were blended over black; undo that and put white behind instead.
            const float a = coverage_[i];
            // Pixels whose coverage rounds to a fully clear transparency byte count as clear.
            const Rgb shown = toByte(1.0f - a) < 255 ? Rgb{color_[i].r / a, color_[i].g / a, color_[i].b / a} : clear;
            uint8_t* p = image.pixel(x, y);
            p[0] = toByte(shown.r);
            p[1] = toByte(shown.g);
            p[2] = toByte(shown.b);
        }
    }
    return image;
}

Bitmap PlantCanvas::transparencyImage() const {
    Bitmap image(width_, height_, PixelFormat::Gray8);
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            image.setGray8(x, y, toByte(1.0f - coverage_[static_cast<size_t>(y) * width_ + x]));
        }
    }
    return image;
}

}  // namespace korvane::tools
