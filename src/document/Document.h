#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "foundation/NotificationCenter.h"
#include "foundation/UndoManager.h"
#include "scene/Scene.h"

namespace korvane {

// One scene per document: a new document holds the default layer stack; opening replaces it by a
// decoded scene, saving writes the scene's keyed archive. The document owns the scene and the undo
// manager it lends the scene, and counts the scene's changes (post-processing included) since it
// was opened or last saved. Document files are named NAME.korvane. Main thread only.
class Document {
public:
    static constexpr int kLevelsOfUndo = 8;

    // The default layer stack; the undo manager is given to the scene afterwards, so there is
    // nothing to undo and the document is not edited.
    Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    Scene& scene() const { return *scene_; }
    const std::shared_ptr<Scene>& sharedScene() const { return scene_; }
    UndoManager& undoManager() const { return *undoManager_; }

    // Replaces the scene by the one decoded from `data`. A scene without a fog layer gets a new one
    // appended; then the scene receives the undo manager, so the repair cannot be undone. Data that
    // does not decode keeps the current scene and answers false with the reason in `error`.
    bool read(std::span<const uint8_t> data, std::string* error);
    // read() on the content of a file; the reason also covers files that cannot be read. The
    // repairs are written to standard error, one line each: "PATH: MESSAGE".
    bool readFromFile(const std::string& path, std::string* error);
    // What the last successful read repaired (values clamped into range, damaged maps made flat),
    // one message each; the file itself is untouched until the document is saved.
    const std::vector<std::string>& repairs() const { return repairs_; }

    // The scene's keyed archive.
    std::vector<uint8_t> data() const;
    // Writes data() atomically: a failed save leaves the old file as it was and answers false with
    // the reason in `error`. A successful save clears the change count.
    bool writeToFile(const std::string& path, std::string* error);

    // Scene and post-processing changes since the document was made, opened or last saved.
    int changeCount() const { return changeCount_; }
    bool isEdited() const { return changeCount_ > 0; }

private:
    void adoptScene(std::shared_ptr<Scene> scene);

    std::shared_ptr<UndoManager> undoManager_;
    std::shared_ptr<Scene> scene_;
    std::vector<std::string> repairs_;
    int changeCount_ = 0;
    // Declared last so that observation ends before the scene goes.
    NotificationObservation sceneDidChange_;
    NotificationObservation postProcessDidChange_;
};

}  // namespace korvane
