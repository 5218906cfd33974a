#pragma once

#include <memory>

#include <QObject>
#include <QString>

#include "document/Document.h"
#include "foundation/NotificationCenter.h"

namespace korvane {

class MainWindow;

// The window side of a document: the model's Document (scene, undo manager, change count) with the
// file it belongs to. Untitled documents (new ones and opened samples) have no file name, so saving
// them asks for a place. Main thread.
class MyDocument : public QObject {
    Q_OBJECT
public:
    MyDocument();
    ~MyDocument() override;

    Document& document() const { return *document_; }
    Scene& scene() const { return document_->scene(); }
    const std::shared_ptr<Scene>& sharedScene() const { return document_->sharedScene(); }
    UndoManager& undoManager() const { return document_->undoManager(); }

    // Reads the file into this document (its scene replaces the default one); the reason when it
    // fails names the file.
    bool readFromFile(const QString& path, QString* error);
    // Writes the scene atomically to path and makes path the document's file.
    bool saveToFile(const QString& path, QString* error);
    // Reads the document's file again, dropping the changes since the last save.
    bool revertToSaved(QString* error);

    // The document's file; empty while untitled.
    QString fileName() const { return fileName_; }
    void setFileName(const QString& fileName);
    // The file name without folder and extension, or "Untitled" (with a number for later ones).
    QString displayName() const;
    bool isEdited() const { return document_->isEdited(); }

    MainWindow* mainWindow() const { return mainWindow_; }
    void setMainWindow(MainWindow* window) { mainWindow_ = window; }

    // The file extension of scene documents.
    static constexpr const char* kExtension = "korvane";

signals:
    // The change count moved (a scene or post-processing change, a save, a revert).
    void editedChanged(bool edited);
    void fileNameChanged(const QString& fileName);
    // The scene was replaced by one read from a file; views of the old scene must be rebuilt.
    void sceneReplaced();

private:
    void observeScene();

    std::unique_ptr<Document> document_;
    QString fileName_;
    int untitledNumber_ = 0;
    MainWindow* mainWindow_ = nullptr;
    NotificationObservation sceneDidChange_;
    NotificationObservation postProcessDidChange_;
};

}  // namespace korvane
