#include "foundation/Color.h"

#include <algorithm>
#include <cmath>

namespace korvane {

namespace {

// A component or fraction forced into 0..1; NaN would survive std::clamp, so it becomes 0.
double unitClamped(double value) {
    if (std::isnan(value)) return 0;
    return std::clamp(value, 0.0, 1.0);
}

}  // namespace

Color Color::calibratedRGB(double r, double g, double b, double a) {
    return {unitClamped(r), unitClamped(g), unitClamped(b), unitClamped(a)};
}

Color Color::calibratedWhite(double w, double a) {
    return calibratedRGB(w, w, w, a);
}

Color Color::blended(double fraction, const Color& other) const {
    const double f = unitClamped(fraction);
    const auto mix = [f](double from, double to) { return (1 - f) * from + f * to; };
    return {mix(red, other.red), mix(green, other.green), mix(blue, other.blue), mix(alpha, other.alpha)};
}

Color Color::withAlphaComponent(double a) const {
    return {red, green, blue, unitClamped(a)};
}

}  // namespace korvane
