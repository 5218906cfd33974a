#include "app/document/MyDocument.h"

#include <QFileInfo>

#include "scene/SceneNotifications.h"

namespace korvane {

namespace {
// Untitled documents are numbered as they are made: "Untitled", "Untitled 2", …
int nextUntitledNumber = 1;
}  // namespace

MyDocument::MyDocument() : document_(std::make_unique<Document>()), untitledNumber_(nextUntitledNumber++) {
    observeScene();
}

MyDocument::~MyDocument() = default;

void MyDocument::observeScene() {
    auto changed = [this](const Notification&) { Q_EMIT editedChanged(isEdited()); };
    NotificationCenter& center = NotificationCenter::defaultCenter();
    const Scene* scene = &document_->scene();
    sceneDidChange_ = NotificationObservation(center, SceneDidChangeNotificationName, scene, changed);
    postProcessDidChange_ = NotificationObservation(center, ScenePostProcessDidChangeNotificationName, scene, changed);
}

bool MyDocument::readFromFile(const QString& path, QString* error) {
    std::string reason;
    if (!document_->readFromFile(path.toStdString(), &reason)) {
        if (error) *error = QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), QString::fromStdString(reason));
        return false;
    }
    observeScene();
    setFileName(path);
    Q_EMIT sceneReplaced();
    Q_EMIT editedChanged(false);
    return true;
}

bool MyDocument::saveToFile(const QString& path, QString* error) {
    std::string reason;
    if (!document_->writeToFile(path.toStdString(), &reason)) {
        if (error) *error = QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), QString::fromStdString(reason));
        return false;
    }
    setFileName(path);
    Q_EMIT editedChanged(false);
    return true;
}

bool MyDocument::revertToSaved(QString* error) {
    if (fileName_.isEmpty()) return false;
    return readFromFile(fileName_, error);
}

void MyDocument::setFileName(const QString& fileName) {
    if (fileName_ == fileName) return;
    fileName_ = fileName;
    Q_EMIT fileNameChanged(fileName_);
}

QString MyDocument::displayName() const {
    if (!fileName_.isEmpty()) return QFileInfo(fileName_).completeBaseName();
    return untitledNumber_ == 1 ? QStringLiteral("Untitled") : QStringLiteral("Untitled %1").arg(untitledNumber_);
}

}  // namespace korvane
