#include "editing/AutoFillSheetController.h"

#include "editing/EditMapSceneController.h"
#include "scene/layers/terrain/TerrainLayer.h"
#include "scene/layers/texture/MaskAutoFill.h"

namespace korvane {

AutoFillRedrawDelegate::~AutoFillRedrawDelegate() = default;

BaseAutoFillSheet::BaseAutoFillSheet(EditMapTarget& target, const TerrainLayer& terrainLayer,
                                     AutoFillRedrawDelegate* redrawDelegate)
    : target_(target),
      terrainLayer_(terrainLayer),
      redrawDelegate_(redrawDelegate),
      imageRep_(target.imageRepToEdit()) {
    if (imageRep_ && imageRep_->format() != PixelFormat::Gray8) imageRep_ = nullptr;
    if (imageRep_) originalImageRep_ = *imageRep_;
}

BaseAutoFillSheet::~BaseAutoFillSheet() = default;

void BaseAutoFillSheet::reset() {
    if (imageRep_) *imageRep_ = originalImageRep_;
}

void BaseAutoFillSheet::sendRedrawMessageToDelegate() {
    if (redrawDelegate_) redrawDelegate_->autoFillSheetAlteredBitmapImageRep();
}

void BaseAutoFillSheet::valueChanged() {
    if (closed_) return;
    reset();
    const Bitmap* heightmap = terrainLayer_.heightmapImageRep();
    if (imageRep_ && heightmap) applyFunctionToImageRep(*imageRep_, *heightmap);
    sendRedrawMessageToDelegate();
}

void BaseAutoFillSheet::ok() {
    if (closed_) return;
    closed_ = true;
    // The target snapshots its map when an edit starts, so the edit is replayed from the opened state:
    // the undo step then restores exactly what the sheet found. An unchanged map leaves no step.
    if (imageRep_ && !(*imageRep_ == originalImageRep_)) {
        Bitmap result = *imageRep_;
        reset();
        target_.didStartImageRepEdit();
        *imageRep_ = std::move(result);
        target_.didEndImageRepEdit();
    }
    sendRedrawMessageToDelegate();
}

void BaseAutoFillSheet::cancel() {
    if (closed_) return;
    closed_ = true;
    reset();
    sendRedrawMessageToDelegate();
}

bool SteepnessAutoFillSheet::applyFunctionToBitmap(Bitmap& map, const Bitmap& heightmap, int type,
                                                   float threshold, float strength) {
    return applySteepnessFill(map, heightmap, type, threshold, strength);
}

void SteepnessAutoFillSheet::applyFunctionToImageRep(Bitmap& map, const Bitmap& heightmap) {
    applyFunctionToBitmap(map, heightmap, type_, threshold_, strength_);
}

bool HeightAutoFillSheet::applyFunctionToBitmap(Bitmap& map, const Bitmap& heightmap, int type,
                                                float threshold, float height) {
    return applyHeightFill(map, heightmap, type, threshold, height);
}

void HeightAutoFillSheet::applyFunctionToImageRep(Bitmap& map, const Bitmap& heightmap) {
    applyFunctionToBitmap(map, heightmap, type_, threshold_, height_);
}

}  // namespace korvane
