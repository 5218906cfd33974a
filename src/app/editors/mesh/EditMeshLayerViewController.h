#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QString>
#include <QTimer>

#include "app/editor/BaseSplittedEditLayerViewController.h"
#include "foundation/NotificationCenter.h"

class QListWidget;
class QPushButton;
class QToolButton;

namespace korvane {

class EditMeshLayerSceneView;
class MeshLayer;
class MeshObject;
struct MeshImportResult;

// The editor of the imported objects: the map to place them on and, at the side, the list of the
// layer's objects (its selection shared with the map) with add (from the library or a 3DS file),
// remove, duplicate, and the materials and options sheets of the last selected object. Main thread.
class EditMeshLayerViewController final : public BaseSplittedEditLayerViewController {
    Q_OBJECT
public:
    EditMeshLayerViewController(std::shared_ptr<BaseSceneLayer> layer, MyDocument* document,
                                QWidget* parent = nullptr);
    ~EditMeshLayerViewController() override;

    // The tags of the add pull-down's items.
    enum AddTag { kAddFromLibrary = 0, kAddFrom3DSFile = 1 };

    EditMeshLayerSceneView* sceneView() const { return sceneView_; }
    QListWidget* objectsList() const { return list_; }
    QToolButton* addButton() const { return addButton_; }

    // The selected objects in list order; the editor's actions use the last of them.
    std::vector<std::shared_ptr<MeshObject>> selectedObjects() const;
    void setSelectedObjects(const std::vector<std::shared_ptr<MeshObject>>& objects);

    void add(int tag);
    // Tag 1 without the file panel: imports the file in a child process and adds the object named
    // after the file when that succeeds; a file that cannot be read, or holds no visible mesh, is
    // refused with a message naming it. The import runs off the main thread; importFinished() is
    // sent either way.
    void import3DSFile(const QString& path);
    bool isImporting() const { return pendingImport_ != nullptr; }
    // The message of the last refused file (empty when the last import succeeded).
    const QString& lastImportError() const { return lastImportError_; }
    // The importer program (`korvane`, beside the running program unless set).
    void setImporterExecutable(std::string path) { importerExecutable_ = std::move(path); }

    void removeMeshObject();
    void duplicateMeshObject();
    void editMaterials();
    void editOptions();

Q_SIGNALS:
    void importFinished();

private:
    struct PendingImport;
    MeshLayer& meshLayer() const;
    void reloadList();
    void listSelectionChanged();
    void viewSelectionChanged();
    void updateButtons();
    void pollImport();
    void finishImport(const QString& path, MeshImportResult result);

    EditMeshLayerSceneView* sceneView_;
    QListWidget* list_;
    QToolButton* addButton_ = nullptr;
    QPushButton* removeButton_ = nullptr;
    QPushButton* duplicateButton_ = nullptr;
    QPushButton* materialsButton_ = nullptr;
    QPushButton* optionsButton_ = nullptr;
    std::vector<const MeshObject*> listedObjects_;
    std::shared_ptr<PendingImport> pendingImport_;
    QTimer importPoll_;
    std::string importerExecutable_;
    QString lastImportError_;
    NotificationObservation sceneDidChange_;
    NotificationObservation topDownThumbnailDidFinish_;
    NotificationObservation isometricThumbnailDidFinish_;
};

}  // namespace korvane
