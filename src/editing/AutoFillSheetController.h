#pragma once

#include <string>

#include "foundation/Bitmap.h"

namespace korvane {

class EditMapTarget;
class TerrainLayer;

// Told after every change of the live map (each preview, a reset, ok, cancel), so that the editor can
// redraw and the scene can announce the change.
class AutoFillRedrawDelegate {
public:
    virtual ~AutoFillRedrawDelegate();
    virtual void autoFillSheetAlteredBitmapImageRep() = 0;
};

// The UI-free model of an auto-fill sheet: an 8-bit map (a material mask, a density map) filled from
// the terrain's heightmap and previewed live in the map itself. Every preview starts again from the map
// as it was when the sheet opened, so moving a control back and forth does not accumulate; ok keeps
// the last preview as one undoable change of the target, cancel puts the opened state back byte for
// byte and leaves no undo step. The desktop sheet calls sheetDidAppear when shown, valueChanged on
// every control change, and ok or cancel. Main thread only.
class BaseAutoFillSheet {
public:
    // The target's map at this moment is the live map; it must stay at its address, and the target
    // and the terrain layer must outlive the sheet. The delegate is not owned and may be null. A target
    // without a map, or a map that is not Gray8, gives a sheet that does nothing.
    BaseAutoFillSheet(EditMapTarget& target, const TerrainLayer& terrainLayer,
                      AutoFillRedrawDelegate* redrawDelegate);
    virtual ~BaseAutoFillSheet();
    BaseAutoFillSheet(const BaseAutoFillSheet&) = delete;
    BaseAutoFillSheet& operator=(const BaseAutoFillSheet&) = delete;

    virtual std::string nibName() const = 0;
    virtual std::string title() const = 0;

    // The map as it was when the sheet opened.
    const Bitmap& originalImageRep() const { return originalImageRep_; }

    // Preview: the opened state again, the fill on top of it, then a redraw.
    void valueChanged();
    void sheetDidAppear() { valueChanged(); }
    // Keeps the last preview (the fill is not run again) as one undo step that restores the opened
    // state. Closes.
    void ok();
    // Puts the opened state back and redraws. Closes.
    void cancel();
    // Whether ok or cancel has run; a closed sheet ignores every further call.
    bool isClosed() const { return closed_; }

protected:
    // The fill proper: writes `map` from `heightmap` with the controls' values. Called only when both
    // exist.
    virtual void applyFunctionToImageRep(Bitmap& map, const Bitmap& heightmap) = 0;

private:
    // Draws the opened state into the live map.
    void reset();
    void sendRedrawMessageToDelegate();

    EditMapTarget& target_;
    const TerrainLayer& terrainLayer_;
    AutoFillRedrawDelegate* redrawDelegate_;
    Bitmap* imageRep_;  // the live map, or null for a sheet that does nothing
    Bitmap originalImageRep_;
    bool closed_ = false;
};

// "Steepness Auto Fill": rock on the slopes (type 0) or grass on the flats (type 1).
class SteepnessAutoFillSheet final : public BaseAutoFillSheet {
public:
    using BaseAutoFillSheet::BaseAutoFillSheet;
    std::string nibName() const override { return "SteepnessAutoFillSheet"; }
    std::string title() const override { return "Steepness Auto Fill"; }

    // The controls: the type pop-up's tag, the threshold and strength sliders.
    void setType(int type) { type_ = type; }
    void setThreshold(float threshold) { threshold_ = threshold; }
    void setStrength(float strength) { strength_ = strength; }

    // The per-pixel fill without a sheet (the texture-layer presets use it); false, changing nothing,
    // for bitmaps of the wrong formats or sizes.
    static bool applyFunctionToBitmap(Bitmap& map, const Bitmap& heightmap, int type, float threshold,
                                      float strength);

private:
    void applyFunctionToImageRep(Bitmap& map, const Bitmap& heightmap) override;
    int type_ = 0;
    float threshold_ = 0.5f;
    float strength_ = 0.5f;
};

// "Height Auto Fill": a band around a height (type 0), below it (1) or above it (2).
class HeightAutoFillSheet final : public BaseAutoFillSheet {
public:
    using BaseAutoFillSheet::BaseAutoFillSheet;
    std::string nibName() const override { return "HeightAutoFillSheet"; }
    std::string title() const override { return "Height Auto Fill"; }

    // The controls: the type pop-up's tag, the height and threshold (fade width) sliders.
    void setType(int type) { type_ = type; }
    void setHeight(float height) { height_ = height; }
    void setThreshold(float threshold) { threshold_ = threshold; }

    static bool applyFunctionToBitmap(Bitmap& map, const Bitmap& heightmap, int type, float threshold,
                                      float height);

private:
    void applyFunctionToImageRep(Bitmap& map, const Bitmap& heightmap) override;
    int type_ = 0;
    float height_ = 0.5f;
    float threshold_ = 0.1f;
};

}  // namespace korvane
