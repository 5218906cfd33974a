#include "editing/ShapeBrushes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "editing/MapPainting.h"
#include "editing/MapSamples.h"
#include "foundation/GeometryUtilities.h"
#include "foundation/Random.h"

namespace korvane {

namespace {

// Each small dab of the noise brush is the grey under the centre plus up to this much either way.
constexpr float kNoiseGreySpread = 0.6f;

}  // namespace

const std::array<float, 20>& RadialGradientEditMapSceneTool::stopOpacities() {
    // A half cosine bell from 15 % at the centre to 0 at the rim, evaluated in single precision.
    static const std::array<float, 20> opacities = [] {
        std::array<float, 20> values{};
        constexpr float pi = std::numbers::pi_v<float>;
        for (int k = 0; k < 20; ++k) {
            values[k] = 0.5f * (1.0f + std::sin(static_cast<float>(19 - k) / 20.0f * pi - pi / 2.0f)) * 0.15f;
        }
        values[19] = 0.0f;  // sin(−π/2) in floats is not exactly −1
        return values;
    }();
    return opacities;
}

Rect RadialGradientEditMapSceneTool::applyInImage(Bitmap& bitmap, Point point) {
    const float height = sliders_[0].value;
    const double radius = sliders_[1].value;
    paintRadialGradient(bitmap, point, radius, height, stopOpacities());
    return dabRect(point, radius);
}

const std::array<float, 8>& SpikeGradientEditMapSceneTool::stopOpacities() {
    static const std::array<float, 8> opacities{0.15f,   0.075f, 0.045f,   0.03f,
                                                0.0225f, 0.015f, 0.01125f, 0.0f};
    return opacities;
}

Rect SpikeGradientEditMapSceneTool::applyInImage(Bitmap& bitmap, Point point) {
    const float height = sliders_[0].value;
    const double radius = sliders_[1].value;
    paintRadialGradient(bitmap, point, radius, height, stopOpacities());
    return dabRect(point, radius);
}

Rect CircleEditMapSceneTool::applyInImage(Bitmap& bitmap, Point point) {
    const float height = sliders_[0].value;
    const double radius = sliders_[1].value;
    paintDisc(bitmap, point, radius, height, 1.0f);
    return dabRect(point, radius);
}

int NoiseEditMapSceneTool::smallDabCount(double radius) {
    if (!(radius > 0)) return 0;
    return static_cast<int>(std::ceil(std::min(radius, 1.0e6)));
}

Rect NoiseEditMapSceneTool::applyInImage(Bitmap& bitmap, Point point) {
    const float blur = sliders_[0].value;
    const double radius = sliders_[1].value;
    if (!isEditableGreyMap(bitmap)) return dabRect(point, radius);

    const float centreOpacity = (1.0f - blur) * (1.0f - blur) * 0.1f + 0.01f;
    const std::array<float, 2> stops{centreOpacity, 0.0f};
    const double smallRadius = blur * 9.0 + 2.0;
    const int column = columnForDrawingX(bitmap, point.x);
    const int row = storedRowForDrawingY(bitmap, point.y);

    const int count = smallDabCount(radius);
    for (int i = 0; i < count; ++i) {
        // Read again for every small dab: the earlier ones may have painted over the centre.
        const float under = readFraction(bitmap, column, row);
        const int q1 = randomInt();
        const int q2 = randomInt();
        const int q3 = randomInt();
        const Point offset{point.x, point.y - (q2 % 1000) / 1000.0 * radius};
        const Point centre = GeometryUtilities::rotatePoint(offset, point, (q3 % 3600) / 10.0);
        const float grey = std::clamp(
            under + (static_cast<float>(500 - q1 % 1000) / 1000.0f) * kNoiseGreySpread, 0.0f, 1.0f);
        paintRadialGradient(bitmap, centre, smallRadius, grey, stops);
    }
    return dabRect(point, radius);
}

}  // namespace korvane
