#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "editing/BaseEditMapSceneTool.h"
#include "editing/BaseFilterSheet.h"
#include "foundation/Bitmap.h"
#include "foundation/Geometry.h"

namespace korvane {

class UndoManager;
class UserDefaults;

// What an editor view paints on: the hooks that BaseEditMapSceneView's subclasses supply. The terrain
// editor maps them to the terrain layer's heightmap and its startHeightmapChange / endHeightmapChange,
// the texture editor to the selected material map's mask, the small-objects editor to the density map.
class EditMapTarget {
public:
    virtual ~EditMapTarget();
    // The bitmap to paint, or null when there is none (no material map selected). Owned by the model.
    virtual Bitmap* imageRepToEdit() = 0;
    // Bracket one undoable change of that bitmap (snapshot at the start, undo step at the end).
    virtual void didStartImageRepEdit() = 0;
    virtual void didEndImageRepEdit() = 0;
    // The scene's undo manager, or null. Not owned.
    virtual UndoManager* undoManager() = 0;
};

// The filter sheets' redraw delegate on the side of an editor: each change of the live map is bracketed
// by the target's start/end pair, and previews (isFinal false) run with the scene's undo registration
// switched off, so that only the confirmed result (isFinal true) leaves an undo step. Main thread only.
class EditMapFilterDelegate final : public FilterRedrawDelegate {
public:
    // The target must outlive the delegate.
    explicit EditMapFilterDelegate(EditMapTarget& target) : target_(target) {}
    void filterSheetWillAlterBitmapImageRep(bool isFinal) override;
    void filterSheetAlteredBitmapImageRep(bool isFinal) override;

private:
    EditMapTarget& target_;
    // The undo manager a preview switched registration off on (and so must switch it on again).
    UndoManager* disabledUndoManager_ = nullptr;
};

// The UI-free half of BaseEditMapSceneView: its row of tools and the persisted selection, the stroke
// logic (one undoable change per press-drag-release), the view-to-image conversion, the cursor overlay
// bookkeeping and the redraw-delegate side of the filter sheets. The desktop view forwards its mouse
// events here and redisplays the rectangles it gets back. Main thread only.
class EditMapSceneController final : public FilterRedrawDelegate {
public:
    // User-defaults key of the index of the selected tool (an integer).
    static constexpr const char* kLastSelectedToolIndexKey = "baseEditMapSceneView_LastSelectedToolIndex";
    // lastCursorPosition's value while no cursor is shown: the largest single-precision float.
    static constexpr double kNoCursor = 3.4028234663852886e38;
    // Points by which every redisplayed rectangle is grown.
    static constexpr double kRedisplayMargin = 10.0;

    // Builds the tools and selects the one stored under kLastSelectedToolIndexKey (0 when absent or out
    // of range). The target and the defaults must outlive the controller.
    explicit EditMapSceneController(EditMapTarget& target);
    EditMapSceneController(EditMapTarget& target, UserDefaults& defaults);
    // Writes back the settings of every tool whose settings were built.
    ~EditMapSceneController() override;

    // A new instance each of the six tools, in button order: standard, spike, circle, noise, erode,
    // water erode. The caller owns them.
    static std::vector<std::unique_ptr<BaseEditMapSceneTool>> makeTools();

    const std::vector<std::unique_ptr<BaseEditMapSceneTool>>& tools() const { return tools_; }
    int selectedToolIndex() const { return selectedToolIndex_; }
    BaseEditMapSceneTool& selectedTool() { return *tools_[selectedToolIndex_]; }
    // Selects a tool (an index out of range changes nothing), builds its settings and stores the index.
    void toolChanged(int index);

    // Where the scene is drawn in the view (rectForScene, flipped view coordinates) and the scene's size
    // on the ground; both feed the coordinate conversions.
    void setRectForScene(Rect rect) { rectForScene_ = rect; }
    void setSceneSize(Size size) { sceneSize_ = size; }
    // A view point as a point of the bitmap's drawing coordinates: through the plan point
    // ((v − R) / R.size × sceneSize) to (plan / sceneSize × bitmap size).
    Point convertViewPointToImagePoint(Point viewPoint) const;
    // A bitmap rectangle (as a tool returns it) in view coordinates.
    Rect convertImageRectToViewRect(Rect imageRect) const;
    // View points per bitmap pixel (R.width / W), the scale of the cursor overlay; 0 without a bitmap.
    float cursorScale() const;

    // A stroke. mouseDown applies one dab at the view point, starting the undoable change on the first
    // dab; it returns the view rectangle to redisplay, or nothing when there is no bitmap to edit.
    // mouseDragged applies one more dab (no spacing or interpolation) and moves the cursor. mouseUp ends
    // the change; without a started stroke it does nothing.
    std::optional<Rect> mouseDown(Point viewPoint);
    std::optional<Rect> mouseDragged(Point viewPoint);
    void mouseUp();
    bool didCallStartEditImageRep() const { return didCallStartEditImageRep_; }
    // Scene-changed notifications force full redraws only while no stroke is under way.
    bool completeRedrawWhenSceneDidChangeNotificationReceived() const { return !didCallStartEditImageRep_; }

    // Cursor overlay: the view rectangles to redisplay (old and new outline, each grown by the margin).
    std::vector<Rect> mouseMoved(Point viewPoint);
    std::vector<Rect> mouseExited();
    Point lastCursorPosition() const { return lastCursorPosition_; }
    bool showsCursor() const {
        return lastCursorPosition_.x != kNoCursor || lastCursorPosition_.y != kNoCursor;
    }

    // The filters pop-up is enabled exactly when there is a bitmap to edit.
    bool filtersEnabled() { return target_.imageRepToEdit() != nullptr; }
    EditMapTarget& target() { return target_; }

    // Filter sheets' redraw delegate (see EditMapFilterDelegate).
    void filterSheetWillAlterBitmapImageRep(bool isFinal) override {
        filterDelegate_.filterSheetWillAlterBitmapImageRep(isFinal);
    }
    void filterSheetAlteredBitmapImageRep(bool isFinal) override {
        filterDelegate_.filterSheetAlteredBitmapImageRep(isFinal);
    }

private:
    std::optional<Rect> applyDab(Point viewPoint);
    Rect overlayRect(Point viewPoint);

    EditMapTarget& target_;
    UserDefaults& defaults_;
    std::vector<std::unique_ptr<BaseEditMapSceneTool>> tools_;
    int selectedToolIndex_ = 0;
    Rect rectForScene_;
    Size sceneSize_{10.0, 10.0};
    Point lastCursorPosition_{kNoCursor, kNoCursor};
    bool didCallStartEditImageRep_ = false;
    EditMapFilterDelegate filterDelegate_;
};

}  // namespace korvane
