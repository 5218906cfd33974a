#pragma once

#include <array>

#include "editing/BaseEditMapSceneTool.h"

namespace korvane {

// The four shape brushes of the map editors. Each dab reads its settings as they are when it is
// applied and returns (x − r, y − r, 2r, 2r) for radius r. Main thread only.

// "Standard Brush": a soft half-cosine bell of grey `height`, at most 15 % opacity per dab.
class RadialGradientEditMapSceneTool final : public BaseEditMapSceneTool {
public:
    std::string name() const override { return "Standard Brush"; }
    std::string icon() const override { return "RadialGradientIcon.png"; }
    std::span<ToolSlider> sliders() override { return sliders_; }
    Rect applyInImage(Bitmap& bitmap, Point point) override;
    double cursorRadius() const override { return sliders_[1].value; }

    // The opacities of the 20 gradient stops from the centre to the rim.
    static const std::array<float, 20>& stopOpacities();

private:
    std::array<ToolSlider, 2> sliders_{{{"Height:", 0.0f, 1.0f, 1.0f, "RadialGradientHeight"},
                                        {"Radius:", 4.0f, 256.0f, 64.0f, "RadialGradientRadius"}}};
};

// "Spike Brush": a sharp peak of grey `height` (8 stops falling quickly from 15 %).
class SpikeGradientEditMapSceneTool final : public BaseEditMapSceneTool {
public:
    std::string name() const override { return "Spike Brush"; }
    std::string icon() const override { return "SpikeGradientIcon.png"; }
    std::span<ToolSlider> sliders() override { return sliders_; }
    Rect applyInImage(Bitmap& bitmap, Point point) override;
    double cursorRadius() const override { return sliders_[1].value; }

    static const std::array<float, 8>& stopOpacities();

private:
    std::array<ToolSlider, 2> sliders_{{{"Height:", 0.0f, 1.0f, 1.0f, "SpikeGradientHeight"},
                                        {"Radius:", 4.0f, 256.0f, 64.0f, "SpikeGradientRadius"}}};
};

// "Circle Brush": the disc takes the grey `height` at once (plateaus and pits). It shares its defaults
// keys with the standard brush.
class CircleEditMapSceneTool final : public BaseEditMapSceneTool {
public:
    std::string name() const override { return "Circle Brush"; }
    std::string icon() const override { return "CircleIcon.png"; }
    std::span<ToolSlider> sliders() override { return sliders_; }
    Rect applyInImage(Bitmap& bitmap, Point point) override;
    double cursorRadius() const override { return sliders_[1].value; }

private:
    std::array<ToolSlider, 2> sliders_{{{"Height:", 0.0f, 1.0f, 1.0f, "RadialGradientHeight"},
                                        {"Radius:", 4.0f, 256.0f, 64.0f, "RadialGradientRadius"}}};
};

// "Noise Brush": ⌈r⌉ small soft dabs scattered over the brush disc, each of the grey under the brush
// centre plus up to ±0.3; `blur` widens and fades them. Draws from the process-wide generator.
class NoiseEditMapSceneTool final : public BaseEditMapSceneTool {
public:
    std::string name() const override { return "Noise Brush"; }
    std::string icon() const override { return "NoiseIcon.png"; }
    std::span<ToolSlider> sliders() override { return sliders_; }
    Rect applyInImage(Bitmap& bitmap, Point point) override;
    double cursorRadius() const override { return sliders_[1].value; }

    // The number of small dabs one application draws for a radius: ⌈radius⌉ (0 for radius ≤ 0).
    static int smallDabCount(double radius);

private:
    std::array<ToolSlider, 2> sliders_{
        {{"Blur:", 0.0f, 1.0f, 1.0f, "NoiseBlur"}, {"Radius:", 4.0f, 128.0f, 128.0f, "NoiseRadius"}}};
};

}  // namespace korvane
