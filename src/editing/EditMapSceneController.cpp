#include "editing/EditMapSceneController.h"

#include <cmath>

#include "editing/ErodeBrushes.h"
#include "editing/ShapeBrushes.h"
#include "foundation/UndoManager.h"
#include "foundation/UserDefaults.h"

namespace korvane {

namespace {

Rect grown(Rect r, double margin) {
    return {{r.origin.x - margin, r.origin.y - margin},
            {r.size.width + 2 * margin, r.size.height + 2 * margin}};
}

}  // namespace

EditMapTarget::~EditMapTarget() = default;

EditMapSceneController::EditMapSceneController(EditMapTarget& target)
    : EditMapSceneController(target, UserDefaults::standard()) {}

EditMapSceneController::EditMapSceneController(EditMapTarget& target, UserDefaults& defaults)
    : target_(target), defaults_(defaults), tools_(makeTools()), filterDelegate_(target) {
    const int64_t stored = defaults_.integerForKey(kLastSelectedToolIndexKey);
    toolChanged(stored >= 0 && stored < static_cast<int64_t>(tools_.size()) ? static_cast<int>(stored) : 0);
}

EditMapSceneController::~EditMapSceneController() {
    for (const auto& tool : tools_) tool->storeSettings(defaults_);
}

std::vector<std::unique_ptr<BaseEditMapSceneTool>> EditMapSceneController::makeTools() {
    std::vector<std::unique_ptr<BaseEditMapSceneTool>> tools;
    tools.push_back(std::make_unique<RadialGradientEditMapSceneTool>());
    tools.push_back(std::make_unique<SpikeGradientEditMapSceneTool>());
    tools.push_back(std::make_unique<CircleEditMapSceneTool>());
    tools.push_back(std::make_unique<NoiseEditMapSceneTool>());
    tools.push_back(std::make_unique<ErodeEditMapSceneTool>());
    tools.push_back(std::make_unique<WaterErodeEditMapSceneTool>());
    return tools;
}

void EditMapSceneController::toolChanged(int index) {
    if (index < 0 || index >= static_cast<int>(tools_.size())) return;
    selectedToolIndex_ = index;
    tools_[index]->loadSettings(defaults_);
    defaults_.setInteger(kLastSelectedToolIndexKey, index);
}

Point EditMapSceneController::convertViewPointToImagePoint(Point viewPoint) const {
    const Bitmap* bitmap = target_.imageRepToEdit();
    if (!bitmap) return {};
    const Rect& r = rectForScene_;
    const Point plan{(viewPoint.x - r.origin.x) / r.size.width * sceneSize_.width,
                     (viewPoint.y - r.origin.y) / r.size.height * sceneSize_.height};
    return {plan.x / sceneSize_.width * bitmap->width(), plan.y / sceneSize_.height * bitmap->height()};
}

Rect EditMapSceneController::convertImageRectToViewRect(Rect imageRect) const {
    const Bitmap* bitmap = target_.imageRepToEdit();
    if (!bitmap || bitmap->empty()) return {};
    const Rect& r = rectForScene_;
    const double w = bitmap->width(), h = bitmap->height();
    return {{imageRect.origin.x / w * r.size.width + r.origin.x,
             imageRect.origin.y / h * r.size.height + r.origin.y},
            {imageRect.size.width / w * r.size.width, imageRect.size.height / h * r.size.height}};
}

float EditMapSceneController::cursorScale() const {
    const Bitmap* bitmap = target_.imageRepToEdit();
    if (!bitmap || bitmap->empty()) return 0.0f;
    return static_cast<float>(rectForScene_.size.width / bitmap->width());
}

std::optional<Rect> EditMapSceneController::applyDab(Point viewPoint) {
    Bitmap* bitmap = target_.imageRepToEdit();
    if (!bitmap) return std::nullopt;
    if (!didCallStartEditImageRep_) {
        target_.didStartImageRepEdit();
        didCallStartEditImageRep_ = true;
        bitmap = target_.imageRepToEdit();  // the snapshot may not move it, but ask again to be sure
        if (!bitmap) return std::nullopt;
    }
    const Point imagePoint = convertViewPointToImagePoint(viewPoint);
    if (!std::isfinite(imagePoint.x) || !std::isfinite(imagePoint.y)) return Rect{};
    const Rect changed = selectedTool().applyInImage(*bitmap, imagePoint);
    return grown(convertImageRectToViewRect(changed), kRedisplayMargin);
}

std::optional<Rect> EditMapSceneController::mouseDown(Point viewPoint) {
    return applyDab(viewPoint);
}

std::optional<Rect> EditMapSceneController::mouseDragged(Point viewPoint) {
    std::optional<Rect> changed = applyDab(viewPoint);
    mouseMoved(viewPoint);
    return changed;
}

void EditMapSceneController::mouseUp() {
    if (!target_.imageRepToEdit() || !didCallStartEditImageRep_) return;
    target_.didEndImageRepEdit();
    didCallStartEditImageRep_ = false;
}

Rect EditMapSceneController::overlayRect(Point viewPoint) {
    return grown(selectedTool().invalRectForCursorOverlayAtPoint(viewPoint, cursorScale()), kRedisplayMargin);
}

std::vector<Rect> EditMapSceneController::mouseMoved(Point viewPoint) {
    std::vector<Rect> rects;
    if (showsCursor()) rects.push_back(overlayRect(lastCursorPosition_));
    rects.push_back(overlayRect(viewPoint));
    lastCursorPosition_ = viewPoint;
    return rects;
}

std::vector<Rect> EditMapSceneController::mouseExited() {
    std::vector<Rect> rects;
    if (showsCursor()) rects.push_back(overlayRect(lastCursorPosition_));
    lastCursorPosition_ = {kNoCursor, kNoCursor};
    return rects;
}

void EditMapFilterDelegate::filterSheetWillAlterBitmapImageRep(bool isFinal) {
    UndoManager* undo = target_.undoManager();
    if (!isFinal && undo && undo->isUndoRegistrationEnabled() && !disabledUndoManager_) {
        undo->disableUndoRegistration();
        disabledUndoManager_ = undo;
    }
    target_.didStartImageRepEdit();
}

void EditMapFilterDelegate::filterSheetAlteredBitmapImageRep(bool isFinal) {
    target_.didEndImageRepEdit();
    // Only what this delegate switched off is switched on again, so an outer disable stays balanced.
    if (!isFinal && disabledUndoManager_) {
        disabledUndoManager_->enableUndoRegistration();
        disabledUndoManager_ = nullptr;
    }
}

}  // namespace korvane
