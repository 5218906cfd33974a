// The material swatch: a shaded disc drawn in software, the same on every platform.
#include <algorithm>
#include <array>
#include <cmath>

#include "scene/materials/DiffuseMaterial.h"

namespace korvane {

namespace {

constexpr int kIconSide = 32;
constexpr double kDiscCenter = 16.0;  // the disc inscribed in (4, 4, 24, 24)
constexpr double kDiscRadius = 12.0;
constexpr double kDiscTop = 4.0;
constexpr double kDiscDiameter = 24.0;
// The shadow falls 2 points right and 2 points down (offset (2, −2) with y pointing up).
constexpr int kShadowOffsetX = 2;
constexpr int kShadowOffsetDown = 2;
constexpr double kShadowBlurRadius = 4.0;
constexpr double kGradientDarkening = 0.4;
constexpr int kSupersampling = 4;

using Plane = std::array<double, kIconSide * kIconSide>;

// Fraction of each pixel inside the disc, from a regular grid of samples per pixel.
Plane discCoverage() {
    Plane coverage{};
    for (int y = 0; y < kIconSide; ++y) {
        for (int x = 0; x < kIconSide; ++x) {
            int inside = 0;
            for (int sy = 0; sy < kSupersampling; ++sy) {
                for (int sx = 0; sx < kSupersampling; ++sx) {
                    double px = x + (sx + 0.5) / kSupersampling - kDiscCenter;
                    double py = y + (sy + 0.5) / kSupersampling - kDiscCenter;
                    if (px * px + py * py <= kDiscRadius * kDiscRadius) ++inside;
                }
            }
            coverage[y * kIconSide + x] = static_cast<double>(inside) / (kSupersampling * kSupersampling);
        }
    }
    return coverage;
}

// The disc's coverage moved by the shadow offset and blurred with a Gaussian whose radius covers two
// standard deviations, separably.
Plane shadowAlpha(const Plane& coverage) {
    const double sigma = kShadowBlurRadius / 2.0;
    const int reach = static_cast<int>(std::ceil(3 * sigma));
    std::vector<double> kernel(2 * reach + 1);
    double total = 0;
    for (int i = -reach; i <= reach; ++i)
        total += kernel[i + reach] = std::exp(-(i * i) / (2 * sigma * sigma));
    for (double& k : kernel) k /= total;

    Plane shifted{};
    for (int y = 0; y < kIconSide; ++y) {
        for (int x = 0; x < kIconSide; ++x) {
            int fromX = x - kShadowOffsetX, fromY = y - kShadowOffsetDown;
            if (fromX >= 0 && fromY >= 0) shifted[y * kIconSide + x] = coverage[fromY * kIconSide + fromX];
        }
    }
    Plane horizontal{}, blurred{};
    for (int y = 0; y < kIconSide; ++y) {
        for (int x = 0; x < kIconSide; ++x) {
            double sum = 0;
            for (int i = -reach; i <= reach; ++i) {
                int sx = x + i;
                if (sx >= 0 && sx < kIconSide) sum += kernel[i + reach] * shifted[y * kIconSide + sx];
            }
            horizontal[y * kIconSide + x] = sum;
        }
    }
    for (int y = 0; y < kIconSide; ++y) {
        for (int x = 0; x < kIconSide; ++x) {
            double sum = 0;
            for (int i = -reach; i <= reach; ++i) {
                int sy = y + i;
                if (sy >= 0 && sy < kIconSide) sum += kernel[i + reach] * horizontal[sy * kIconSide + x];
            }
            blurred[y * kIconSide + x] = sum;
        }
    }
    return blurred;
}

struct Premultiplied {
    double r = 0, g = 0, b = 0, a = 0;
    void over(double sr, double sg, double sb, double sa) {
        r = sr * sa + r * (1 - sa);
        g = sg * sa + g * (1 - sa);
        b = sb * sa + b * (1 - sa);
        a = sa + a * (1 - sa);
    }
};

uint8_t toByte(double v) {
    return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
}

}  // namespace

Bitmap DiffuseMaterial::icon() const {
    Bitmap image(kIconSide, kIconSide, PixelFormat::RGBA8);
    std::optional<Color> swatch;
    if (useDiffuseShader_) {
        if (diffuseShader_) swatch = diffuseShader_->representativeColor();
    } else {
        swatch = color_;
    }
    if (!swatch) return image;

    const Color top = *swatch;
    const Color bottom = swatch->blended(kGradientDarkening, Color::calibratedRGB(0, 0, 0, 1));
    const Plane coverage = discCoverage();
    const Plane shadow = shadowAlpha(coverage);

    for (int y = 0; y < kIconSide; ++y) {
        // Image rows run downwards; the gradient runs from the disc's top edge to its bottom edge.
        const double t = std::clamp((y + 0.5 - kDiscTop) / kDiscDiameter, 0.0, 1.0);
        const Color shade = top.blended(t, bottom);
        for (int x = 0; x < kIconSide; ++x) {
            const double c = coverage[y * kIconSide + x];
            Premultiplied pixel;
            pixel.over(0, 0, 0, shadow[y * kIconSide + x]);                   // the white disc's shadow
            pixel.over(1, 1, 1, c);                                           // the white disc
            pixel.over(shade.red, shade.green, shade.blue, shade.alpha * c);  // the gradient, clipped
            uint8_t* out = image.pixel(x, y);
            if (pixel.a > 0) {
                out[0] = toByte(pixel.r / pixel.a);
                out[1] = toByte(pixel.g / pixel.a);
                out[2] = toByte(pixel.b / pixel.a);
            }
            out[3] = toByte(pixel.a);
        }
    }
    return image;
}

}  // namespace korvane
