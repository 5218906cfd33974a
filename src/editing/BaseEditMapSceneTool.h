#pragma once

#include <span>
#include <string>

#include "foundation/Bitmap.h"
#include "foundation/Geometry.h"

namespace korvane {

class UserDefaults;

// One setting of a tool, shown as a labelled slider in the tool's settings bar and kept in the user
// defaults as a float under defaultsKey. The value always lies in [minValue, maxValue].
struct ToolSlider {
    const char* label;
    float minValue;
    float maxValue;
    float defaultValue;
    const char* defaultsKey;
    float value = defaultValue;

    // Stores v clamped to the slider's range (a NaN keeps the current value).
    void setValue(float v);
};

// A brush of the map editors (terrain heightmap, material masks, density maps). A tool paints one dab
// at a time into the bitmap being edited; the editor brackets a whole stroke as one undoable change
// (EditMapSceneController). Tools hold only their settings. Main thread only.
class BaseEditMapSceneTool {
public:
    virtual ~BaseEditMapSceneTool();

    // Display name (the tool button's tool tip) and the name of its icon image; empty in the base.
    virtual std::string name() const { return {}; }
    virtual std::string icon() const { return {}; }

    // The tool's settings in the order its settings bar shows them (first the height, strength or blur
    // slider, then the radius slider); empty in the base.
    virtual std::span<ToolSlider> sliders() { return {}; }
    std::span<const ToolSlider> sliders() const { return const_cast<BaseEditMapSceneTool*>(this)->sliders(); }

    // Builds the settings (what configurationViewForHeight: does on its first call): each slider takes the
    // float stored under its key, or its default when none is stored. Later calls change nothing.
    void loadSettings(const UserDefaults& defaults);
    bool settingsLoaded() const { return settingsLoaded_; }
    // Writes every slider's value back under its key, as the tool does when its settings bar goes;
    // nothing when the settings were never built.
    void storeSettings(UserDefaults& defaults) const;

    // Applies one dab at point (bitmap drawing coordinates, origin at the lower-left corner) and returns
    // the rectangle, in the same coordinates, that it may have changed. Base: the zero rectangle.
    virtual Rect applyInImage(Bitmap& bitmap, Point point);

    // The radius of the cursor outline in bitmap pixels (the radius slider's value); 0 in the base.
    virtual double cursorRadius() const { return 0; }
    // The view rectangle the cursor outline covers at a view point for `scale` view points per bitmap
    // pixel: (x − r·s, y − r·s, 2r·s, 2r·s); the zero rectangle when the tool has no outline.
    Rect invalRectForCursorOverlayAtPoint(Point point, float scale) const;

private:
    bool settingsLoaded_ = false;
};

// The changed rectangle every round brush reports: (x − r, y − r, 2r, 2r).
Rect dabRect(Point point, double radius);

}  // namespace korvane
