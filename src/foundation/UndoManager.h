#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace korvane {

// Records undo actions in groups and replays them. An action registered while undoing becomes the
// matching redo, and one registered while redoing becomes an undo again, so an operation that
// registers its own inverse (a setter registering the old value) gets redo for free.
//
// Grouping: explicit beginUndoGrouping/endUndoGrouping pairs (nestable; inner groups merge into the
// outermost), or, when groupsByEvent is on, one group per turn of the main event loop: the first
// registration outside any group opens a group that the main-thread dispatcher closes once the
// current event has been handled. Main thread only.
class UndoManager {
public:
    using Action = std::function<void()>;

    UndoManager();
    ~UndoManager();
    UndoManager(const UndoManager&) = delete;
    UndoManager& operator=(const UndoManager&) = delete;

    // Registers an action on a target (identity only, used by removeAllActionsWithTarget). Ignored
    // while registration is disabled. A registration outside undo/redo clears the redo stack.
    void registerUndo(const void* target, Action action);

    void beginUndoGrouping();
    void endUndoGrouping();
    int groupingLevel() const { return groupingLevel_; }
    bool groupsByEvent() const { return groupsByEvent_; }
    void setGroupsByEvent(bool groupsByEvent) { groupsByEvent_ = groupsByEvent; }

    // Levels of undo kept (0: unlimited); the oldest groups are dropped beyond it.
    int levelsOfUndo() const { return levelsOfUndo_; }
    void setLevelsOfUndo(int levels);

    bool canUndo() const;
    bool canRedo() const { return !redoStack_.empty(); }
    // Undoes the last group (closing an open event group first). Does nothing when there is nothing
    // to undo or an explicit group is still open.
    void undo();
    void redo();
    bool isUndoing() const { return state_ == State::Undoing; }
    bool isRedoing() const { return state_ == State::Redoing; }

    // Names the group being built, or the last one: "Undo " + name in menus.
    void setActionName(const std::string& name);
    std::string undoActionName() const;
    std::string redoActionName() const;

    void removeAllActions();
    void removeAllActionsWithTarget(const void* target);

    // Nestable: registration is enabled again when every disable has been matched by an enable.
    void disableUndoRegistration() { ++disableCount_; }
    void enableUndoRegistration();
    bool isUndoRegistrationEnabled() const { return disableCount_ == 0; }

    size_t undoCount() const { return undoStack_.size(); }
    size_t redoCount() const { return redoStack_.size(); }

private:
    enum class State { Normal, Undoing, Redoing };
    struct Entry {
        const void* target;
        Action action;
    };
    struct Group {
        std::vector<Entry> entries;
        std::string name;
    };

    void openGroup();
    void closeGroup();
    void endEventGroup(uint64_t generation);
    void push(std::deque<Group>& stack, Group group);
    void replay(std::deque<Group>& from, State state);

    std::deque<Group> undoStack_;
    std::deque<Group> redoStack_;
    Group openGroup_;
    int groupingLevel_ = 0;
    bool eventGroupOpen_ = false;
    uint64_t eventGroupGeneration_ = 0;
    bool groupsByEvent_ = true;
    int levelsOfUndo_ = 0;
    int disableCount_ = 0;
    State state_ = State::Normal;
    // Lets a pending end-of-event callback notice that this manager is gone.
    std::shared_ptr<UndoManager*> self_;
};

}  // namespace korvane
