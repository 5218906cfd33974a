#include "app/editor/EditViewController.h"

#include <QAction>
#include <QLabel>
#include <QSplitter>
#include <QVBoxLayout>

#include "app/document/MainWindow.h"
#include "app/document/MyDocument.h"
#include "app/editor/BaseEditLayerViewController.h"
#include "app/editor/EditLayerControllerRegistry.h"
#include "app/editor/EditViewFunctionsList.h"
#include "app/editor/EditorPlaceholderView.h"
#include "app/render/ExpandableRenderPreviewView.h"
#include "app/render/PreviewRenderViewController.h"
#include "app/render/RenderViewController.h"
#include "app/shell/AppResources.h"
#include "scene/SceneNotifications.h"
#include "scene/layers/mesh/MeshLayer.h"
#include "scene/layers/smallobjects/PlantsLayer.h"
#include "scene/layers/smallobjects/RocksLayer.h"

namespace korvane {

namespace {
// The live preview waits this long after a change, so that a burst of edits renders once.
constexpr float kPreviewStartDelay = 0.2f;
constexpr int kPreviewBorder = 16;
constexpr int kPreviewSizeModeFullRenderAspect = 1;
constexpr int kPreviewHeight = 190;
}  // namespace

EditViewController::EditViewController(MyDocument* document, QWidget* parent) : BaseViewController(document, parent) {
    setObjectName(QStringLiteral("EditViewController"));
    buildInterface();
    sceneDidChange_ = NotificationObservation(NotificationCenter::defaultCenter(), SceneDidChangeNotificationName,
                                              &document->scene(), [this](const Notification&) { sceneDidChange(); });
    functionsList_->setLayers(document->scene().layers());
    if (functionsList_->count() > 0) functionsList_->setCurrentRow(0);
}

EditViewController::~EditViewController() { setCurrentEditLayerController(nullptr); }

QAction* EditViewController::makeAction(const QString& identifier, const QString& label, const char* icon,
                                        void (EditViewController::*slot)()) {
    auto* action = new QAction(korvaneIcon(icon), label, this);
    action->setObjectName(identifier);
    action->setToolTip(label);
    connect(action, &QAction::triggered, this, slot);
    toolbarItems_.append({identifier, ToolbarItem::Kind::Action, action});
    return action;
}

void EditViewController::buildInterface() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    splitView_ = new QSplitter(Qt::Horizontal);
    splitView_->setChildrenCollapsible(false);
    layout->addWidget(splitView_);

    auto* sideColumn = new QWidget;
    sideColumn->setObjectName(QStringLiteral("FunctionsColumn"));
    sideColumn->setMinimumWidth(kMinimumListWidth);
    sideColumn->setMaximumWidth(kMaximumListWidth);
    auto* column = new QVBoxLayout(sideColumn);
    column->setContentsMargins(6, 8, 0, 8);
    column->setSpacing(6);
    auto* listTitle = new QLabel(QStringLiteral("Layers"));
    listTitle->setStyleSheet(QStringLiteral("font-weight: 600; padding-left: 6px;"));
    functionsList_ = new EditViewFunctionsList;
    connect(functionsList_, &QListWidget::itemSelectionChanged, this, &EditViewController::selectionDidChange);
    connect(functionsList_, &QListWidget::currentRowChanged, this, &EditViewController::selectionDidChange);
    auto* previewTitle = new QLabel(QStringLiteral("Live Preview"));
    previewTitle->setStyleSheet(QStringLiteral("font-weight: 600; padding-left: 6px;"));
    renderPreviewView_ = new ExpandableRenderPreviewView;
    renderPreviewView_->setObjectName(QStringLiteral("LivePreview"));
    renderPreviewView_->setStartDelay(kPreviewStartDelay);
    renderPreviewView_->setBorderSize(kPreviewBorder);
    renderPreviewView_->setDrawGrayBackground(true);
    renderPreviewView_->setSizeMode(kPreviewSizeModeFullRenderAspect);
    renderPreviewView_->setFixedHeight(kPreviewHeight);
    column->addWidget(listTitle);
    column->addWidget(functionsList_, 1);
    column->addWidget(previewTitle);
    column->addWidget(renderPreviewView_);

    editLayerContainerView_ = new QWidget;
    editLayerContainerView_->setObjectName(QStringLiteral("EditLayerContainer"));
    auto* containerLayout = new QVBoxLayout(editLayerContainerView_);
    containerLayout->setContentsMargins(0, 0, 0, 0);

    splitView_->addWidget(sideColumn);
    splitView_->addWidget(editLayerContainerView_);
    splitView_->setStretchFactor(0, 0);
    splitView_->setStretchFactor(1, 1);
    splitView_->setSizes({220, 1000});

    makeAction(QStringLiteral("AddPlantsLayer"), QStringLiteral("Add Plants"), "AddPlantsToolbarIcon",
               &EditViewController::addPlantsLayer);
    makeAction(QStringLiteral("AddRocksLayer"), QStringLiteral("Add Rocks"), "AddRocksToolbarIcon",
               &EditViewController::addRocksLayer);
    makeAction(QStringLiteral("AddObjectsLayer"), QStringLiteral("Add Objects"), "AddMeshToolbarIcon",
               &EditViewController::addMeshLayer);
    QAction* remove = makeAction(QStringLiteral("RemoveLayer"), QStringLiteral("Remove Layer"), "RemoveLayerToolbarIcon",
                                 &EditViewController::removeLayer);
    remove->setShortcuts({QKeySequence::Delete, QKeySequence(Qt::Key_Backspace)});
    remove->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    functionsList_->addAction(remove);
    toolbarItems_.append(ToolbarItem::flexibleSpace());
    makeAction(QStringLiteral("StartPreviewRender"), QStringLiteral("Preview"), "PreviewRenderToolbarIcon",
               &EditViewController::switchToPreviewRenderView);
    makeAction(QStringLiteral("StartRender"), QStringLiteral("Full Render"), "RenderToolbarIcon",
               &EditViewController::switchToRenderView);
}

QList<ToolbarItem> EditViewController::defaultToolbarItems() { return toolbarItems_; }

void EditViewController::validateToolbarItems() {
    const auto layer = functionsList_->lastSelectedLayer();
    if (QAction* remove = toolbarAction(QStringLiteral("RemoveLayer"))) remove->setEnabled(layer && layer->canBeDeleted());
}

void EditViewController::viewControllerDidShow() {
    isShown_ = true;
    startRenderPreview();
}

void EditViewController::viewControllerWillHide() {
    isShown_ = false;
    renderPreviewView_->abortRendering();
}

void EditViewController::startRenderPreview() {
    if (isShown_) renderPreviewView_->setSceneToPreview(myDocument()->sharedScene());
}

void EditViewController::sceneDidChange() {
    const auto& layers = myDocument()->scene().layers();
    std::vector<std::shared_ptr<BaseSceneLayer>> listed = functionsList_->layers();
    std::vector<std::shared_ptr<BaseSceneLayer>> current(layers.begin(), layers.end());
    auto byAddress = [](const auto& a, const auto& b) { return a.get() < b.get(); };
    std::sort(listed.begin(), listed.end(), byAddress);
    std::sort(current.begin(), current.end(), byAddress);
    if (listed != current) {
        functionsList_->setLayers(layers);
        selectionDidChange();
    }
    startRenderPreview();
}

void EditViewController::selectionDidChange() {
    validateToolbarItems();
    const auto layer = functionsList_->lastSelectedLayer();
    if (currentEditLayerController_ && layer && currentEditLayerController_->layer() == layer.get()) return;
    if (!layer) {
        setCurrentEditLayerController(nullptr);
        return;
    }
    const std::string className = layer->editLayerClassName();
    BaseEditLayerViewController* editor =
        className.empty() ? nullptr
                          : EditLayerControllerRegistry::shared().createEditor(className, layer, myDocument(), nullptr);
    if (!editor && !className.empty()) editor = new EditorPlaceholderView(layer, myDocument());
    setCurrentEditLayerController(editor);
}

void EditViewController::setCurrentEditLayerController(BaseEditLayerViewController* controller) {
    if (BaseEditLayerViewController* old = currentEditLayerController_) {
        old->viewControllerWillHide();
        old->hide();
        editLayerContainerView_->layout()->removeWidget(old);
        old->viewControllerDidHide();
        currentEditLayerController_ = nullptr;
        delete old;
    }
    if (controller) {
        currentEditLayerController_ = controller;
        controller->viewControllerWillShow();
        editLayerContainerView_->layout()->addWidget(controller);
        controller->show();
        controller->viewControllerDidShow();
    }
}

void EditViewController::addLayer(std::shared_ptr<BaseSceneLayer> layer, const QString& actionName) {
    Scene& scene = myDocument()->scene();
    scene.addLayer(layer);
    if (UndoManager* undo = scene.undoManager()) undo->setActionName(actionName.toStdString());
    functionsList_->selectLayer(layer.get());
    if (MainWindow* window = mainWindow()) window->validateMenus();
}

void EditViewController::addPlantsLayer() {
    addLayer(std::make_shared<PlantsLayer>(&myDocument()->scene()), QStringLiteral("Add Plants"));
}

void EditViewController::addRocksLayer() {
    addLayer(std::make_shared<RocksLayer>(&myDocument()->scene()), QStringLiteral("Add Rocks"));
}

void EditViewController::addMeshLayer() {
    addLayer(std::make_shared<MeshLayer>(&myDocument()->scene()), QStringLiteral("Add Objects"));
}

void EditViewController::removeLayer() {
    const auto last = functionsList_->lastSelectedLayer();
    if (!last || !last->canBeDeleted()) return;
    Scene& scene = myDocument()->scene();
    UndoManager* undo = scene.undoManager();
    if (undo) undo->beginUndoGrouping();
    // Layers that cannot be deleted (terrain, camera, …) stay even when selected with others: a
    // scene without them cannot render.
    for (const auto& layer : functionsList_->selectedLayers()) {
        if (layer->canBeDeleted()) scene.removeLayer(layer);
    }
    if (undo) {
        undo->setActionName("Remove Layer");
        undo->endUndoGrouping();
    }
    if (MainWindow* window = mainWindow()) window->validateMenus();
}

void EditViewController::switchToRenderView() {
    if (MainWindow* window = mainWindow()) window->setCurrentViewController(window->renderViewController());
}

void EditViewController::switchToPreviewRenderView() {
    if (MainWindow* window = mainWindow()) window->setCurrentViewController(window->previewRenderViewController());
}

}  // namespace korvane
