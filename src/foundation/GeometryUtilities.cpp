#include "foundation/GeometryUtilities.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace korvane {

namespace {

// Below this magnitude x counts as zero when taking y / x in angleOfRay.
constexpr double kRayEpsilon = 1e-6;

// A double narrowed to float. Values beyond float's range become infinities instead of relying on
// an out-of-range conversion, which the language leaves undefined.
float toSingle(double value) {
    constexpr double kMax = std::numeric_limits<float>::max();
    if (value > kMax) return std::numeric_limits<float>::infinity();
    if (value < -kMax) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

// Width over height of a size, in single precision.
float aspectOf(const Size& size) {
    return toSingle(size.width / size.height);
}

}  // namespace

Rect GeometryUtilities::centerRect(const Rect& r, const Rect& outer) {
    Rect result = r;
    const float dx = toSingle(outer.size.width - r.size.width);
    const float dy = toSingle(outer.size.height - r.size.height);
    if (dx > 0) result.origin.x += dx / 2;
    if (dy > 0) result.origin.y += dy / 2;
    result.origin.x += outer.origin.x;
    result.origin.y += outer.origin.y;
    return result;
}

Size GeometryUtilities::proportionallyScaleSize(const Size& size, const Size& box) {
    const float aspect = aspectOf(size);
    if (aspect > box.width / box.height) return {box.width, box.width / aspect};
    return {aspect * box.height, box.height};
}

Rect GeometryUtilities::fittedRectInBounds(const Rect& bounds, const Size& size) {
    const float aspect = aspectOf(size);
    Size fitted = size;
    if (fitted.width > bounds.size.width) {
        fitted.width = bounds.size.width;
        fitted.height = fitted.width / aspect;
    }
    if (fitted.height > bounds.size.height) {
        fitted.height = bounds.size.height;
        fitted.width = aspect * fitted.height;
    }
    return centerRect(Rect{{0, 0}, fitted}, bounds);
}

Rect GeometryUtilities::scaledRectInBounds(const Rect& bounds, const Size& size) {
    return centerRect(Rect{{0, 0}, proportionallyScaleSize(size, bounds.size)}, bounds);
}

Point GeometryUtilities::rotatePoint(const Point& p, const Point& center, double degrees) {
    const double radians = degrees / 360.0 * 2.0 * std::numbers::pi;
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    const double dx = p.x - center.x;
    const double dy = p.y - center.y;
    return {dx * c - dy * s + center.x, dx * s + dy * c + center.y};
}

double GeometryUtilities::angleOfRay(const Point& v) {
    if (v.x > 0) return std::atan(v.y / std::max(v.x, kRayEpsilon));
    const double angle = std::atan(v.y / std::min(v.x, -kRayEpsilon));
    return v.y >= 0 ? angle + std::numbers::pi : angle - std::numbers::pi;
}

double GeometryUtilities::length(const Point& v) {
    return std::hypot(v.x, v.y);
}

Point GeometryUtilities::normalize(const Point& v) {
    const double len = length(v);
    if (len == 0) return v;
    return {v.x / len, v.y / len};
}

Rect GeometryUtilities::roundRect(const Rect& r) {
    return {{std::round(toSingle(r.origin.x)), std::round(toSingle(r.origin.y))},
            {std::round(toSingle(r.size.width)), std::round(toSingle(r.size.height))}};
}

}  // namespace korvane
