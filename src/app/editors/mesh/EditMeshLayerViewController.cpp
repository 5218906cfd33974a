#include "app/editors/mesh/EditMeshLayerViewController.h"

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <thread>

#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/editors/mesh/EditMeshLayerSceneView.h"
#include "app/editors/mesh/EditMeshObjectMaterialsSheet.h"
#include "app/editors/mesh/MeshLibrarySheet.h"
#include "app/editors/mesh/MeshObjectOptionsSheet.h"
#include "app/editors/mesh/MeshObjectThumbnails.h"
#include "app/render/RenderImages.h"
#include "app/shell/AppResources.h"
#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "renderer/MeshThumbnails.h"
#include "scene/Scene.h"
#include "scene/SceneLayerRegistry.h"
#include "scene/SceneNotifications.h"
#include "scene/layers/mesh/MeshImportProcess.h"
#include "scene/layers/mesh/MeshLayer.h"
#include "scene/layers/mesh/MeshObject.h"

namespace korvane {

namespace {
constexpr int kImportPollMilliseconds = 50;
constexpr int kListIconSide = 32;

QIcon iconForObject(const MeshObject& object) {
    if (object.isometricThumbnail()) {
        const QImage image = qImageFromRenderBitmap(*object.isometricThumbnail());
        if (!image.isNull()) return QIcon(QPixmap::fromImage(image));
    }
    return korvaneIcon("MeshLayerIcon");
}

QString titleForObject(const MeshObject& object) {
    return object.userName().empty() ? QStringLiteral("Untitled Object") : QString::fromStdString(object.userName());
}
}  // namespace

// An import running on a worker thread; the editor polls it (and may be gone before it ends).
struct EditMeshLayerViewController::PendingImport {
    QString path;
    std::mutex mutex;
    bool done = false;
    MeshImportResult result;
};

EditMeshLayerViewController::EditMeshLayerViewController(std::shared_ptr<BaseSceneLayer> layer, MyDocument* document,
                                                         QWidget* parent)
    : BaseSplittedEditLayerViewController(layer, document, parent),
      sceneView_(new EditMeshLayerSceneView(scene(), static_cast<MeshLayer&>(*layer))),
      list_(new QListWidget),
      importerExecutable_(importerExecutablePath()) {
    sceneView_->setObjectName(QStringLiteral("EditMeshLayerSceneView"));
    auto* side = new QWidget;
    auto* column = new QVBoxLayout(side);
    column->setContentsMargins(8, 8, 8, 8);
    auto* title = new QLabel(QStringLiteral("Objects"));
    title->setStyleSheet(QStringLiteral("font-weight: 600;"));
    column->addWidget(title);
    list_->setObjectName(QStringLiteral("MeshObjects"));
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setIconSize(QSize(kListIconSide, kListIconSide));
    column->addWidget(list_, 1);

    addButton_ = new QToolButton;
    addButton_->setObjectName(QStringLiteral("AddMeshObject"));
    addButton_->setIcon(korvaneIcon("AddMeshToolbarIcon"));
    addButton_->setText(QStringLiteral("Add Object"));
    addButton_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    addButton_->setPopupMode(QToolButton::InstantPopup);
    auto* addMenu = new QMenu(addButton_);
    addMenu->addAction(QStringLiteral("From Library…"), this, [this] { add(kAddFromLibrary); });
    addMenu->addAction(QStringLiteral("From 3DS File…"), this, [this] { add(kAddFrom3DSFile); });
    addButton_->setMenu(addMenu);
    column->addWidget(addButton_);
    removeButton_ = new QPushButton(QStringLiteral("Remove"));
    removeButton_->setObjectName(QStringLiteral("RemoveMeshObject"));
    duplicateButton_ = new QPushButton(QStringLiteral("Duplicate"));
    duplicateButton_->setObjectName(QStringLiteral("DuplicateMeshObject"));
    materialsButton_ = new QPushButton(QStringLiteral("Materials…"));
    materialsButton_->setObjectName(QStringLiteral("MeshObjectMaterials"));
    optionsButton_ = new QPushButton(QStringLiteral("Options…"));
    optionsButton_->setObjectName(QStringLiteral("MeshObjectOptions"));
    for (QPushButton* button : {removeButton_, duplicateButton_, materialsButton_, optionsButton_}) {
        column->addWidget(button);
    }
    connect(removeButton_, &QPushButton::clicked, this, &EditMeshLayerViewController::removeMeshObject);
    connect(duplicateButton_, &QPushButton::clicked, this, &EditMeshLayerViewController::duplicateMeshObject);
    connect(materialsButton_, &QPushButton::clicked, this, &EditMeshLayerViewController::editMaterials);
    connect(optionsButton_, &QPushButton::clicked, this, &EditMeshLayerViewController::editOptions);
    connect(list_, &QListWidget::itemSelectionChanged, this, &EditMeshLayerViewController::listSelectionChanged);
    connect(sceneView_, &EditMeshLayerSceneView::selectionChangedByUser, this,
            &EditMeshLayerViewController::viewSelectionChanged);
    setPanes(sceneView_, side);

    importPoll_.setInterval(kImportPollMilliseconds);
    connect(&importPoll_, &QTimer::timeout, this, &EditMeshLayerViewController::pollImport);

    NotificationCenter& center = NotificationCenter::defaultCenter();
    sceneDidChange_ = NotificationObservation(center, SceneDidChangeNotificationName, &scene(),
                                              [this](const Notification&) { reloadList(); });
    // Finished thumbnails change the list's pictures and the map, though not the scene.
    auto thumbnailDidFinish = [this](const Notification&) {
        reloadList();
        sceneView_->updateView();
    };
    topDownThumbnailDidFinish_ =
        NotificationObservation(center, kGenerateTopDownThumbnailDidFinishNotification, nullptr, thumbnailDidFinish);
    isometricThumbnailDidFinish_ =
        NotificationObservation(center, kGenerateIsometricThumbnailDidFinishNotification, nullptr, thumbnailDidFinish);
    reloadList();
}

EditMeshLayerViewController::~EditMeshLayerViewController() = default;

MeshLayer& EditMeshLayerViewController::meshLayer() const { return static_cast<MeshLayer&>(*layer()); }

std::vector<std::shared_ptr<MeshObject>> EditMeshLayerViewController::selectedObjects() const {
    std::vector<std::shared_ptr<MeshObject>> selected;
    const auto& objects = meshLayer().meshObjects();
    for (int row = 0; row < list_->count() && row < static_cast<int>(objects.size()); ++row) {
        if (list_->item(row)->isSelected()) selected.push_back(objects[row]);
    }
    return selected;
}

void EditMeshLayerViewController::setSelectedObjects(const std::vector<std::shared_ptr<MeshObject>>& chosen) {
    {
        const QSignalBlocker blocker(list_);
        const auto& objects = meshLayer().meshObjects();
        for (int row = 0; row < list_->count() && row < static_cast<int>(objects.size()); ++row) {
            const bool selected = std::find(chosen.begin(), chosen.end(), objects[row]) != chosen.end();
            list_->item(row)->setSelected(selected);
            if (selected) list_->setCurrentRow(row, QItemSelectionModel::NoUpdate);
        }
    }
    listSelectionChanged();
}

void EditMeshLayerViewController::reloadList() {
    const auto& objects = meshLayer().meshObjects();
    std::vector<const MeshObject*> current;
    for (const auto& object : objects) current.push_back(object.get());
    if (current != listedObjects_) {
        const auto selected = selectedObjects();
        // Objects appended since the last look (added or duplicated) become the selection.
        const bool appended = current.size() > listedObjects_.size() &&
                              std::equal(listedObjects_.begin(), listedObjects_.end(), current.begin());
        std::vector<std::shared_ptr<MeshObject>> nextSelection;
        if (appended) {
            nextSelection.assign(objects.begin() + static_cast<long>(listedObjects_.size()), objects.end());
        } else {
            for (const auto& object : objects) {
                if (std::find(selected.begin(), selected.end(), object) != selected.end()) nextSelection.push_back(object);
            }
        }
        {
            const QSignalBlocker blocker(list_);
            list_->clear();
            for (const auto& object : objects) new QListWidgetItem(iconForObject(*object), titleForObject(*object), list_);
        }
        listedObjects_ = current;
        setSelectedObjects(nextSelection);
        return;
    }
    for (int row = 0; row < list_->count(); ++row) {
        QListWidgetItem* item = list_->item(row);
        const QString title = titleForObject(*objects[row]);
        if (item->text() != title) item->setText(title);
        item->setIcon(iconForObject(*objects[row]));
    }
}

void EditMeshLayerViewController::listSelectionChanged() {
    sceneView_->setSelectedObjects(selectedObjects());
    updateButtons();
}

void EditMeshLayerViewController::viewSelectionChanged() {
    const auto chosen = sceneView_->selectedObjects();
    {
        const QSignalBlocker blocker(list_);
        const auto& objects = meshLayer().meshObjects();
        for (int row = 0; row < list_->count() && row < static_cast<int>(objects.size()); ++row) {
            const bool selected = std::find(chosen.begin(), chosen.end(), objects[row]) != chosen.end();
            list_->item(row)->setSelected(selected);
            if (selected) list_->scrollToItem(list_->item(row));
        }
    }
    list_->viewport()->update();
    updateButtons();
}

void EditMeshLayerViewController::updateButtons() {
    const bool any = !selectedObjects().empty();
    for (QPushButton* button : {removeButton_, duplicateButton_, materialsButton_, optionsButton_}) {
        button->setEnabled(any);
    }
}

void EditMeshLayerViewController::add(int tag) {
    if (tag == kAddFromLibrary) {
        auto* sheet = new MeshLibrarySheet(meshLayer());
        sheet->openAsSheetModalForWindow(window());
    } else if (tag == kAddFrom3DSFile) {
        if (isImporting()) return;
        const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Add 3DS Object"), QString(),
                                                          QStringLiteral("3DS Files (*.3ds)"));
        if (!path.isEmpty()) import3DSFile(path);
    }
}

void EditMeshLayerViewController::import3DSFile(const QString& path) {
    if (isImporting()) return;
    auto pending = std::make_shared<PendingImport>();
    pending->path = path;
    pendingImport_ = pending;
    addButton_->setEnabled(false);
    // The child may take seconds (it also renders the thumbnails); the window stays responsive.
    std::thread([pending, file = path.toStdString(), executable = importerExecutable_] {
        MeshImportResult result = importThreeDSFileInChildProcess(file, executable);
        const std::lock_guard lock(pending->mutex);
        pending->result = std::move(result);
        pending->done = true;
    }).detach();
    importPoll_.start();
}

void EditMeshLayerViewController::pollImport() {
    if (!pendingImport_) {
        importPoll_.stop();
        return;
    }
    MeshImportResult result;
    {
        const std::lock_guard lock(pendingImport_->mutex);
        if (!pendingImport_->done) return;
        result = std::move(pendingImport_->result);
    }
    const QString path = pendingImport_->path;
    pendingImport_.reset();
    importPoll_.stop();
    addButton_->setEnabled(true);
    finishImport(path, std::move(result));
}

void EditMeshLayerViewController::finishImport(const QString& path, MeshImportResult result) {
    // An unreadable file is refused rather than added as an empty object that nobody could see.
    if (result.object && result.object->meshs().empty()) {
        result.error = "could not read " + path.toStdString() + ": the file holds no visible mesh";
        result.object.reset();
    }
    if (!result.object) {
        lastImportError_ = QString::fromStdString(result.error);
        auto* message = new QMessageBox(QMessageBox::Warning, QStringLiteral("The object could not be added"),
                                        lastImportError_, QMessageBox::Ok, window());
        message->setObjectName(QStringLiteral("ImportError"));
        message->setWindowModality(Qt::WindowModal);
        message->setAttribute(Qt::WA_DeleteOnClose);
        message->open();
        Q_EMIT importFinished();
        return;
    }
    lastImportError_.clear();
    const std::shared_ptr<MeshObject> object = result.object;
    object->setUserName(std::filesystem::path(path.toStdString()).stem().string());
    meshLayer().addMeshObject(object);
    scene().postSceneDidChangeNotification();
    if (!object->topDownThumbnail() || !object->isometricThumbnail()) regenerateMeshObjectThumbnails(object);
    Q_EMIT importFinished();
}

void EditMeshLayerViewController::removeMeshObject() {
    const auto selected = selectedObjects();
    if (selected.empty()) return;
    meshLayer().removeMeshObject(selected.back());
    scene().postSceneDidChangeNotification();
}

void EditMeshLayerViewController::duplicateMeshObject() {
    const auto selected = selectedObjects();
    if (selected.empty()) return;
    const MeshObject& original = *selected.back();
    // The archive of a layerless copy: the object's own data without the layer (and scene) its
    // back-reference would drag along; reading it back gives geometry of its own.
    const std::shared_ptr<MeshObject> detached = original.copy();
    detached->setTopDownThumbnail(original.topDownThumbnail());
    detached->setIsometricThumbnail(original.isometricThumbnail());
    registerSceneClasses();
    const std::vector<uint8_t> bytes = KeyedArchiver::archivedData(*detached);
    std::string error;
    std::shared_ptr<MeshObject> duplicate = KeyedUnarchiver::unarchiveRoot<MeshObject>(bytes, "MeshObject", &error);
    if (!duplicate) return;
    meshLayer().addMeshObject(duplicate);
    scene().postSceneDidChangeNotification();
}

void EditMeshLayerViewController::editMaterials() {
    const auto selected = selectedObjects();
    if (selected.empty()) return;
    auto* sheet = new EditMeshObjectMaterialsSheet(selected.back(), scene());
    sheet->openAsSheetModalForWindow(window());
}

void EditMeshLayerViewController::editOptions() {
    const auto selected = selectedObjects();
    if (selected.empty()) return;
    auto* sheet = new MeshObjectOptionsSheet(selected.back());
    sheet->openAsSheetModalForWindow(window());
}

}  // namespace korvane
