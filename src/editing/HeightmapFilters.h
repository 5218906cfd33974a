#pragma once

#include <string>

#include "editing/BaseFilterSheet.h"
#include "foundation/Bitmap.h"

namespace korvane {

// The simple whole-map filters, as functions from an original map to a result of the same size and grey
// format (Gray16 or Gray8), and as filter sheets. Results are clamped to [0, 1] and truncated to the
// sample. The functions return false, leaving the result untouched, for other formats or sizes that
// differ. The per-pixel work runs in parallel over columns; call from one thread at a time per result.

// Every value becomes min(max(v, bottom), max(top, bottom)): a top below the bottom collapses the map to
// the bottom value.
bool clampMap(const Bitmap& original, Bitmap& result, float top, float bottom);

// Every value becomes min(max(v × (5 × strength + 1), 0), 1): a gain of 1 to 6 around zero.
bool equalizeMap(const Bitmap& original, Bitmap& result, float strength);

// Flat polygonal cells: every pixel takes the value of the original at the centre point of its cell, the
// cells being those of the points nearest to it among one scattered point per square of side `radius`
// (a fixed pattern, so repeated previews agree). A radius below 1 copies the original.
bool crystallizeMap(const Bitmap& original, Bitmap& result, float radius);

// "Clamp".
class ClampFilterSheet final : public BaseFilterSheet {
public:
    using BaseFilterSheet::BaseFilterSheet;
    std::string title() const override { return "Clamp"; }
    void setTopClamp(float top) { top_ = top; }
    void setBottomClamp(float bottom) { bottom_ = bottom; }

protected:
    void applyFunctionToImageRep() override;

private:
    float top_ = 1.0f;
    float bottom_ = 0.0f;
};

// "Equalize".
class EqualizeFilterSheet final : public BaseFilterSheet {
public:
    using BaseFilterSheet::BaseFilterSheet;
    std::string title() const override { return "Equalize"; }
    void setStrength(float strength) { strength_ = strength; }

protected:
    void applyFunctionToImageRep() override;

private:
    float strength_ = 0.0f;
};

// "Flats": crystallizeMap with radius strength × 50.
class FlatsFilterSheet final : public BaseFilterSheet {
public:
    using BaseFilterSheet::BaseFilterSheet;
    std::string title() const override { return "Flats"; }
    void setStrength(float strength) { strength_ = strength; }
    static constexpr float kRadiusPerStrength = 50.0f;

protected:
    void applyFunctionToImageRep() override;

private:
    float strength_ = 0.0f;
};

}  // namespace korvane
