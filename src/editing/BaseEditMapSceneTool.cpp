#include "editing/BaseEditMapSceneTool.h"

#include <algorithm>
#include <cmath>

#include "foundation/UserDefaults.h"

namespace korvane {

void ToolSlider::setValue(float v) {
    if (std::isnan(v)) return;
    value = std::clamp(v, minValue, maxValue);
}

BaseEditMapSceneTool::~BaseEditMapSceneTool() = default;

void BaseEditMapSceneTool::loadSettings(const UserDefaults& defaults) {
    if (settingsLoaded_) return;
    settingsLoaded_ = true;
    for (ToolSlider& slider : sliders()) {
        if (defaults.objectForKey(slider.defaultsKey)) {
            slider.setValue(defaults.floatForKey(slider.defaultsKey));
        } else {
            slider.value = slider.defaultValue;
        }
    }
}

void BaseEditMapSceneTool::storeSettings(UserDefaults& defaults) const {
    if (!settingsLoaded_) return;
    for (const ToolSlider& slider : sliders()) defaults.setFloat(slider.defaultsKey, slider.value);
}

Rect BaseEditMapSceneTool::applyInImage(Bitmap&, Point) {
    return {};
}

Rect BaseEditMapSceneTool::invalRectForCursorOverlayAtPoint(Point point, float scale) const {
    const double r = cursorRadius();
    if (r <= 0) return {};
    const double d = r * scale;
    return {{point.x - d, point.y - d}, {2 * d, 2 * d}};
}

Rect dabRect(Point point, double radius) {
    return {{point.x - radius, point.y - radius}, {2 * radius, 2 * radius}};
}

}  // namespace korvane
