#pragma once

#include <string>

#include "editing/BaseFilterSheet.h"
#include "foundation/Bitmap.h"

namespace korvane {

// How the noise meets the map (the tags of the mode pop-up).
enum class NoiseMode { Blend = 0, Add = 1, Subtract = 2 };

// Settings of one noise run.
struct NoiseSettings {
    int mode = 0;  // a NoiseMode tag; any other value leaves the map as it is
    float strength = 0.5f;
    float frequency = 4.0f;
    int octaves = 4;
    int randomNumber = 0;  // the Perlin tables' seed
};

// Multi-octave gradient noise laid over the original: with v the original value, s the strength and
// n = perlin_noise_2D(x / W, y / H) + 0.5 at pixel column x and stored row y, blend gives
// v(1 − s) + ns, add v + |n|s and subtract v − |n|s, clamped to [0, 1]. Reseeds the process-wide
// generator (with 0, then with the Perlin seed while building the tables) on the calling thread; the
// per-pixel work runs in parallel over columns. Returns false for maps that are not grey or differ in
// size or format.
bool addNoiseToMap(const Bitmap& original, Bitmap& result, const NoiseSettings& settings);

// "Add Noise". The seed is one draw of the process-wide generator when the sheet is created and stays
// fixed, so every preview shows the same pattern.
class NoiseFilterSheet final : public BaseFilterSheet {
public:
    NoiseFilterSheet(Bitmap& directImageRep, FilterRedrawDelegate* redrawDelegate);
    std::string title() const override { return "Add Noise"; }

    void setMode(int mode) { settings_.mode = mode; }
    void setStrength(float strength) { settings_.strength = strength; }
    void setFrequency(float frequency) { settings_.frequency = frequency; }
    // The octaves slider; its integer part is used.
    void setOctaves(float octaves);
    int randomNumber() const { return settings_.randomNumber; }

protected:
    void applyFunctionToImageRep() override;

private:
    NoiseSettings settings_;
};

}  // namespace korvane
