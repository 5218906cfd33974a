#pragma once

namespace korvane {

// A colour in the calibrated (device-independent) RGB space with alpha; every component is in 0..1.
// A plain value: copy it freely, use it from any thread.
struct Color {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;

    // The colour with these components, each clamped to 0..1 (NaN counts as 0). Returns a value; any thread.
    static Color calibratedRGB(double r, double g, double b, double a = 1.0);
    // The grey with red = green = blue = w, clamped like calibratedRGB. Returns a value; any thread.
    static Color calibratedWhite(double w, double a = 1.0);

    // Component-wise (1 - f) * this + f * other, alpha included, with f clamped to 0..1 (NaN counts as 0).
    // Returns a value; any thread.
    Color blended(double fraction, const Color& other) const;
    // This colour with its alpha replaced (clamped to 0..1). Returns a value; any thread.
    Color withAlphaComponent(double a) const;

    // Exact component-wise comparison; any thread.
    bool operator==(const Color&) const = default;
};

}  // namespace korvane
