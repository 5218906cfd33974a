#include "document/Document.h"

#include <iostream>

#include "document/DefaultLayerStack.h"
#include "foundation/FileIO.h"
#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "scene/SceneLayerRegistry.h"
#include "scene/SceneNotifications.h"
#include "scene/layers/sky/FogLayer.h"

namespace korvane {

namespace {
// Larger files are refused before they are read into memory.
constexpr size_t kMaxDocumentBytes = size_t{1} << 30;
}  // namespace

Document::Document() : undoManager_(std::make_shared<UndoManager>()) {
    registerSceneClasses();
    auto scene = std::make_shared<Scene>();
    addDefaultLayers(*scene);
    undoManager_->setLevelsOfUndo(kLevelsOfUndo);
    adoptScene(std::move(scene));
}

bool Document::read(std::span<const uint8_t> data, std::string* error) {
    registerSceneClasses();
    std::string reason;
    std::vector<std::string> repairs;
    std::shared_ptr<Scene> scene = KeyedUnarchiver::unarchiveRoot<Scene>(data, "scene", &reason, &repairs);
    if (!scene) {
        if (error) *error = reason;
        return false;
    }
    // Files written before the fog layer existed get one, last in the stack.
    if (scene->layersOfClass<FogLayer>().empty()) scene->addLayer(std::make_shared<FogLayer>(scene.get()));
    adoptScene(std::move(scene));
    repairs_ = std::move(repairs);
    return true;
}

bool Document::readFromFile(const std::string& path, std::string* error) {
    std::optional<std::vector<uint8_t>> bytes = readFileContents(path, kMaxDocumentBytes, error);
    if (!bytes || !read(*bytes, error)) return false;
    for (const std::string& repair : repairs_) std::cerr << path << ": " << repair << "\n";
    return true;
}

std::vector<uint8_t> Document::data() const {
    registerSceneClasses();
    return KeyedArchiver::archivedData(*scene_);
}

bool Document::writeToFile(const std::string& path, std::string* error) {
    if (!writeFileAtomically(path, data(), error)) return false;
    changeCount_ = 0;
    return true;
}

void Document::adoptScene(std::shared_ptr<Scene> scene) {
    // The old scene's undo steps refer to its layers; they cannot apply to the new one.
    undoManager_->removeAllActions();
    scene->setUndoManager(undoManager_);
    auto markEdited = [this](const Notification&) { ++changeCount_; };
    NotificationCenter& center = NotificationCenter::defaultCenter();
    sceneDidChange_ = NotificationObservation(center, SceneDidChangeNotificationName, scene.get(), markEdited);
    postProcessDidChange_ =
        NotificationObservation(center, ScenePostProcessDidChangeNotificationName, scene.get(), markEdited);
    // A scene that outlives the document (held elsewhere) no longer records into its undo.
    if (scene_) scene_->setUndoManager(nullptr);
    scene_ = std::move(scene);
    changeCount_ = 0;
}

}  // namespace korvane
