#pragma once

#include <memory>

#include <QPointer>

#include "app/document/BaseViewController.h"
#include "foundation/NotificationCenter.h"

class QAction;
class QSplitter;

namespace korvane {

class BaseEditLayerViewController;
class BaseSceneLayer;
class EditViewFunctionsList;
class ExpandableRenderPreviewView;

// The editing view of a document window: the list of the scene's layers, the selected layer's
// editor and a small live preview of the scene that restarts after every change. Its toolbar adds
// plants, rocks and object layers, removes layers and switches to the preview and full render
// views. Main thread.
class EditViewController final : public BaseViewController {
    Q_OBJECT
public:
    static constexpr int kMinimumListWidth = 150;
    static constexpr int kMaximumListWidth = 250;

    explicit EditViewController(MyDocument* document, QWidget* parent = nullptr);
    ~EditViewController() override;

    void viewControllerDidShow() override;
    void viewControllerWillHide() override;
    QList<ToolbarItem> defaultToolbarItems() override;
    void validateToolbarItems() override;

    // Hands the scene to the live preview, which restarts after its short delay.
    void startRenderPreview();
    // Removes every selected layer (one undo step).
    void removeLayer();
    void addPlantsLayer();
    void addRocksLayer();
    void addMeshLayer();
    void switchToRenderView();
    void switchToPreviewRenderView();

    EditViewFunctionsList* functionsList() const { return functionsList_; }
    BaseEditLayerViewController* currentEditLayerController() const { return currentEditLayerController_; }
    ExpandableRenderPreviewView* renderPreviewView() const { return renderPreviewView_; }

private:
    void buildInterface();
    void sceneDidChange();
    void selectionDidChange();
    void setCurrentEditLayerController(BaseEditLayerViewController* controller);
    void addLayer(std::shared_ptr<BaseSceneLayer> layer, const QString& actionName);
    QAction* makeAction(const QString& identifier, const QString& label, const char* icon, void (EditViewController::*slot)());

    EditViewFunctionsList* functionsList_ = nullptr;
    QWidget* editLayerContainerView_ = nullptr;
    ExpandableRenderPreviewView* renderPreviewView_ = nullptr;
    QSplitter* splitView_ = nullptr;
    BaseEditLayerViewController* currentEditLayerController_ = nullptr;
    QList<ToolbarItem> toolbarItems_;
    bool isShown_ = false;
    NotificationObservation sceneDidChange_;
};

}  // namespace korvane
