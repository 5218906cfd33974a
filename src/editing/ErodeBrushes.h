#pragma once

#include <array>

#include "editing/BaseEditMapSceneTool.h"

namespace korvane {

// "Erode Brush": smears the low values of the surroundings into the brush area with wedge-shaped
// strokes, so hills are worn down and flats stay as they are. Draws from the process-wide generator.
class ErodeEditMapSceneTool final : public BaseEditMapSceneTool {
public:
    std::string name() const override { return "Erode Brush (Apply to hills, no effect on flats)"; }
    std::string icon() const override { return "ErodeIcon.png"; }
    std::span<ToolSlider> sliders() override { return sliders_; }
    Rect applyInImage(Bitmap& bitmap, Point point) override;
    double cursorRadius() const override { return sliders_[1].value; }

private:
    std::array<ToolSlider, 2> sliders_{
        {{"Strength:", 0.0f, 1.0f, 1.0f, "ErodeStrength"}, {"Radius:", 4.0f, 256.0f, 128.0f, "ErodeRadius"}}};
};

// "Water Erode Brush": a few erosion drops (ErodeFilter) per dab, started near the cursor and kept
// within the brush radius.
class WaterErodeEditMapSceneTool final : public BaseEditMapSceneTool {
public:
    std::string name() const override { return "Water Erode Brush (Apply to hills, no effect on flats)"; }
    std::string icon() const override { return "WaterErodeIcon.png"; }
    std::span<ToolSlider> sliders() override { return sliders_; }
    Rect applyInImage(Bitmap& bitmap, Point point) override;
    double cursorRadius() const override { return sliders_[1].value; }

    // The rectangles and count of one dab at a point of a bitmap `height` pixels high (rows counted from
    // the first stored row), for radius rounded to whole pixels.
    struct DropArea {
        Rect movement;
        Rect start;
        int drops;
    };
    static DropArea dropAreaForDab(Point point, double radius, int height);

private:
    std::array<ToolSlider, 2> sliders_{{{"Strength:", 0.05f, 1.0f, 0.4f, "WaterErodeStrength"},
                                        {"Radius:", 64.0f, 256.0f, 128.0f, "WaterErodeRadius"}}};
};

}  // namespace korvane
