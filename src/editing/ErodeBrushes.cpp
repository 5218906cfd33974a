#include "editing/ErodeBrushes.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "editing/ErodeFilter.h"
#include "editing/MapSamples.h"
#include "foundation/GeometryUtilities.h"
#include "foundation/Random.h"

namespace korvane {

namespace {

// Wedge strokes per dab of the erode brush.
constexpr int kErodePasses = 25;
// Opacity at which the collected strokes are laid onto the map.
constexpr float kErodeLayerOpacity = 0.2f;

// A premultiplied grey-and-alpha scratch image in drawing coordinates (origin at the lower-left
// corner), the layer the erode brush collects its strokes in before laying them onto the map.
class ScratchLayer {
public:
    explicit ScratchLayer(int size)
        : size_(size), grey_(static_cast<size_t>(size) * size, 0.0f), alpha_(grey_.size(), 0.0f) {}

    int size() const { return size_; }
    float grey(int i, int j) const { return grey_[index(i, j)]; }
    float alpha(int i, int j) const { return alpha_[index(i, j)]; }

    // Source-over fill of the triangle abc with grey g at opacity a, for pixels whose centre lies inside.
    void fillTriangle(Point a, Point b, Point c, float g, float opacity) {
        const double minX = std::min({a.x, b.x, c.x}), maxX = std::max({a.x, b.x, c.x});
        const double minY = std::min({a.y, b.y, c.y}), maxY = std::max({a.y, b.y, c.y});
        if (!std::isfinite(minX) || !std::isfinite(maxX) || !std::isfinite(minY) || !std::isfinite(maxY))
            return;
        const int firstI =
            std::max(0, static_cast<int>(std::clamp(std::ceil(minX - 0.5), -1.0, double(size_))));
        const int lastI =
            std::min(size_ - 1, static_cast<int>(std::clamp(std::floor(maxX - 0.5), -1.0, double(size_))));
        const int firstJ =
            std::max(0, static_cast<int>(std::clamp(std::ceil(minY - 0.5), -1.0, double(size_))));
        const int lastJ =
            std::min(size_ - 1, static_cast<int>(std::clamp(std::floor(maxY - 0.5), -1.0, double(size_))));
        const auto edge = [](Point p, Point q, double x, double y) {
            return (q.x - p.x) * (y - p.y) - (q.y - p.y) * (x - p.x);
        };
        for (int j = firstJ; j <= lastJ; ++j) {
            for (int i = firstI; i <= lastI; ++i) {
                const double px = i + 0.5, py = j + 0.5;
                const double e0 = edge(a, b, px, py), e1 = edge(b, c, px, py), e2 = edge(c, a, px, py);
                const bool inside = (e0 >= 0 && e1 >= 0 && e2 >= 0) || (e0 <= 0 && e1 <= 0 && e2 <= 0);
                if (!inside) continue;
                const size_t k = index(i, j);
                grey_[k] = g * opacity + grey_[k] * (1.0f - opacity);
                alpha_[k] = opacity + alpha_[k] * (1.0f - opacity);
            }
        }
    }

private:
    size_t index(int i, int j) const { return static_cast<size_t>(j) * size_ + i; }

    int size_;
    std::vector<float> grey_;
    std::vector<float> alpha_;
};

}  // namespace

Rect ErodeEditMapSceneTool::applyInImage(Bitmap& bitmap, Point point) {
    const float strength = sliders_[0].value;
    const double r = std::round(static_cast<double>(sliders_[1].value));
    const Rect changed = dabRect(point, r);
    const int radius = static_cast<int>(r);
    if (!isEditableGreyMap(bitmap) || radius < 1 || !std::isfinite(point.x) || !std::isfinite(point.y)) {
        return changed;
    }
    const int width = bitmap.width();
    const int height = bitmap.height();
    const double q = r / 256.0;
    const float opacity = static_cast<float>(0.2 - 0.2 * q + 0.05);
    const double halfWidth = 3.0 * q * strength + 2.0;
    const double halfLength = 25.0 * q * (strength + 0.2);
    const double samplesBound = r / 10.0 + 10.0;

    ScratchLayer scratch(2 * radius);
    for (int pass = 0; pass < kErodePasses; ++pass) {
        // The sample that is both low and near the drawing origin wins (grey times distance).
        float bestGrey = 1.0f;
        float bestDistance = std::numeric_limits<float>::max();
        bool found = false;
        Point best;
        for (int counter = 1; counter < samplesBound; ++counter) {
            const int q1 = randomInt();
            const int q2 = randomInt();
            const Point sample =
                GeometryUtilities::rotatePoint({point.x, point.y + q1 % radius}, point, q2 % 360);
            const bool inside = sample.x > 0 && sample.x < width && sample.y > 0 && sample.y < height;
            if (!inside) continue;  // such a sample can never win
            const float grey =
                readFraction(bitmap, static_cast<int>(sample.x), static_cast<int>(height - sample.y));
            const auto sx = static_cast<float>(sample.x), sy = static_cast<float>(sample.y);
            const float distance = std::sqrt(sx * sx + sy * sy);
            if (bestGrey * bestDistance > grey * distance) {
                found = true;
                best = {sample.x - point.x + r, sample.y - point.y + r};
                bestGrey = grey;
                bestDistance = distance;
            }
        }
        if (!found) continue;
        const double dx = best.x - r, dy = best.y - r;
        const double d = std::sqrt(dx * dx + dy * dy);
        if (d == 0) continue;
        const double ux = dx / d, uy = dy / d;
        const int n = static_cast<int>(d / 3.0 + 1.0);
        const int apexX = randomInt() % n;
        const int apexY = randomInt() % n;
        // A wedge from the low point back toward the brush centre.
        scratch.fillTriangle({best.x - uy * halfWidth, best.y - ux * halfLength},
                             {best.x + uy * halfWidth, best.y + ux * halfLength},
                             {r + apexX * ux, r + apexY * uy}, bestGrey, opacity);
    }

    // Lay the strokes onto the map (source-atop over an opaque map) centred at the point.
    const double left = point.x - r, bottom = point.y - r;
    const int size = scratch.size();
    const int firstColumn =
        std::max(0, static_cast<int>(std::clamp(std::ceil(left - 0.5), -1.0, double(width))));
    const int lastColumn =
        std::min(width - 1, static_cast<int>(std::clamp(std::floor(left + size - 0.5), -1.0, double(width))));
    const int firstRow =
        std::max(0, static_cast<int>(std::clamp(std::ceil(bottom - 0.5), -1.0, double(height))));
    const int lastRow = std::min(
        height - 1, static_cast<int>(std::clamp(std::floor(bottom + size - 0.5), -1.0, double(height))));
    for (int drawingRow = firstRow; drawingRow <= lastRow; ++drawingRow) {
        const int j = static_cast<int>(std::floor(drawingRow + 0.5 - bottom));
        if (j < 0 || j >= size) continue;
        for (int column = firstColumn; column <= lastColumn; ++column) {
            const int i = static_cast<int>(std::floor(column + 0.5 - left));
            if (i < 0 || i >= size) continue;
            const float a = scratch.alpha(i, j) * kErodeLayerOpacity;
            if (a <= 0) continue;
            const int row = height - 1 - drawingRow;
            const float old = readFraction(bitmap, column, row);
            writeFractionRounded(bitmap, column, row,
                                 old * (1.0f - a) + scratch.grey(i, j) * kErodeLayerOpacity);
        }
    }
    return changed;
}

WaterErodeEditMapSceneTool::DropArea WaterErodeEditMapSceneTool::dropAreaForDab(Point point, double radius,
                                                                                int height) {
    const double r = std::round(radius);
    return {{{point.x - r, height - (point.y + r)}, {2 * r, 2 * r}},
            {{point.x - r / 5, height - (point.y + r / 5)}, {2 * r / 5, 2 * r / 5}},
            static_cast<int>(std::clamp(r / 30.0, 0.0, 1.0e6))};
}

Rect WaterErodeEditMapSceneTool::applyInImage(Bitmap& bitmap, Point point) {
    const float strength = sliders_[0].value;
    const double r = std::round(static_cast<double>(sliders_[1].value));
    const DropArea area = dropAreaForDab(point, r, bitmap.height());
    ErodeFilter::applyErosionToBitmap(bitmap, area.movement, area.start, area.drops, strength);
    return dabRect(point, r);
}

}  // namespace korvane
