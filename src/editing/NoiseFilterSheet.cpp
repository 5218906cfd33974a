#include "editing/NoiseFilterSheet.h"

#include <cmath>
#include <memory>

#include "editing/Perlin.h"
#include "editing/PixelLoops.h"
#include "foundation/Random.h"

namespace korvane {

bool addNoiseToMap(const Bitmap& original, Bitmap& result, const NoiseSettings& settings) {
    if (!isEditableGreyMap(original)) return false;
    seedRandom(0);
    auto perlin = std::make_unique<Perlin>(settings.octaves, settings.frequency, 1.0f, settings.randomNumber);
    // Build the tables here, before the tasks start: afterwards they only read them.
    float origin[2] = {0.0f, 0.0f};
    perlin->perlin_noise_2D(origin);

    const int mode = settings.mode;
    const float s = settings.strength;
    const float width = static_cast<float>(original.width());
    const float height = static_cast<float>(original.height());
    Perlin& noise = *perlin;
    return mapFractionsByColumns(original, result, [&](float v, int x, int y) {
        float point[2] = {static_cast<float>(x) / width, static_cast<float>(y) / height};
        const float n = noise.perlin_noise_2D(point) + 0.5f;
        switch (mode) {
            case static_cast<int>(NoiseMode::Blend):
                return v * (1.0f - s) + n * s;
            case static_cast<int>(NoiseMode::Add):
                return v + std::fabs(n) * s;
            case static_cast<int>(NoiseMode::Subtract):
                return v - std::fabs(n) * s;
            default:
                return v;
        }
    });
}

NoiseFilterSheet::NoiseFilterSheet(Bitmap& directImageRep, FilterRedrawDelegate* redrawDelegate)
    : BaseFilterSheet(directImageRep, redrawDelegate) {
    settings_.randomNumber = randomInt();
}

void NoiseFilterSheet::setOctaves(float octaves) {
    if (!(octaves >= 0)) octaves = 0;
    settings_.octaves = static_cast<int>(std::min(octaves, static_cast<float>(Perlin::kMaxOctaves)));
}

void NoiseFilterSheet::applyFunctionToImageRep() {
    addNoiseToMap(originalImageRep(), mutableImageRep(), settings_);
}

}  // namespace korvane
