#include "foundation/UndoManager.h"

#include <algorithm>

#include "foundation/MainThreadDispatcher.h"

namespace korvane {

UndoManager::UndoManager() : self_(std::make_shared<UndoManager*>(this)) {}

UndoManager::~UndoManager() = default;

void UndoManager::registerUndo(const void* target, Action action) {
    if (!isUndoRegistrationEnabled() || !action) return;
    if (state_ == State::Normal) redoStack_.clear();
    if (groupingLevel_ == 0) {
        if (groupsByEvent_ && state_ == State::Normal) {
            // One group per user event: close it once the dispatcher gets back to its queue.
            openGroup();
            eventGroupOpen_ = true;
            uint64_t generation = ++eventGroupGeneration_;
            std::weak_ptr<UndoManager*> weakSelf = self_;
            MainThreadDispatcher::shared().post([weakSelf, generation] {
                if (auto self = weakSelf.lock()) (*self)->endEventGroup(generation);
            });
        } else {
            // A lone registration with no group around it is a group of its own.
            openGroup();
            openGroup_.entries.push_back({target, std::move(action)});
            closeGroup();
            return;
        }
    }
    openGroup_.entries.push_back({target, std::move(action)});
}

void UndoManager::beginUndoGrouping() {
    openGroup();
}

void UndoManager::endUndoGrouping() {
    if (groupingLevel_ == 0) return;
    closeGroup();
}

void UndoManager::openGroup() {
    if (groupingLevel_++ == 0) openGroup_ = Group{};
}

void UndoManager::closeGroup() {
    if (--groupingLevel_ > 0) return;
    eventGroupOpen_ = false;
    if (openGroup_.entries.empty()) return;
    Group group = std::move(openGroup_);
    openGroup_ = Group{};
    // While undoing, what the undo registers is the redo of the group being undone.
    push(state_ == State::Undoing ? redoStack_ : undoStack_, std::move(group));
}

void UndoManager::endEventGroup(uint64_t generation) {
    if (eventGroupOpen_ && generation == eventGroupGeneration_ && groupingLevel_ == 1) closeGroup();
}

void UndoManager::push(std::deque<Group>& stack, Group group) {
    stack.push_back(std::move(group));
    if (levelsOfUndo_ > 0) {
        while (stack.size() > static_cast<size_t>(levelsOfUndo_)) stack.pop_front();
    }
}

void UndoManager::setLevelsOfUndo(int levels) {
    levelsOfUndo_ = std::max(0, levels);
    if (levelsOfUndo_ == 0) return;
    while (undoStack_.size() > static_cast<size_t>(levelsOfUndo_)) undoStack_.pop_front();
    while (redoStack_.size() > static_cast<size_t>(levelsOfUndo_)) redoStack_.pop_front();
}

bool UndoManager::canUndo() const {
    return !undoStack_.empty() || (eventGroupOpen_ && groupingLevel_ == 1 && !openGroup_.entries.empty());
}

void UndoManager::undo() {
    if (eventGroupOpen_ && groupingLevel_ == 1) closeGroup();
    if (groupingLevel_ > 0 || state_ != State::Normal) return;
    replay(undoStack_, State::Undoing);
}

void UndoManager::redo() {
    if (eventGroupOpen_ && groupingLevel_ == 1) closeGroup();
    if (groupingLevel_ > 0 || state_ != State::Normal) return;
    replay(redoStack_, State::Redoing);
}

void UndoManager::replay(std::deque<Group>& from, State state) {
    if (from.empty()) return;
    Group group = std::move(from.back());
    from.pop_back();
    state_ = state;
    openGroup();
    openGroup_.name = group.name;
    // Actions run last-registered first, the reverse of the order in which the edit happened.
    for (auto it = group.entries.rbegin(); it != group.entries.rend(); ++it) it->action();
    closeGroup();
    state_ = State::Normal;
}

void UndoManager::setActionName(const std::string& name) {
    if (groupingLevel_ > 0) {
        openGroup_.name = name;
    } else if (!undoStack_.empty()) {
        undoStack_.back().name = name;
    }
}

std::string UndoManager::undoActionName() const {
    if (eventGroupOpen_ && groupingLevel_ == 1) return openGroup_.name;
    return undoStack_.empty() ? std::string() : undoStack_.back().name;
}

std::string UndoManager::redoActionName() const {
    return redoStack_.empty() ? std::string() : redoStack_.back().name;
}

void UndoManager::removeAllActions() {
    undoStack_.clear();
    redoStack_.clear();
    openGroup_.entries.clear();
}

void UndoManager::removeAllActionsWithTarget(const void* target) {
    auto strip = [target](std::deque<Group>& stack) {
        for (Group& group : stack) {
            std::erase_if(group.entries, [target](const Entry& e) { return e.target == target; });
        }
        std::erase_if(stack, [](const Group& g) { return g.entries.empty(); });
    };
    strip(undoStack_);
    strip(redoStack_);
    std::erase_if(openGroup_.entries, [target](const Entry& e) { return e.target == target; });
}

void UndoManager::enableUndoRegistration() {
    if (disableCount_ > 0) --disableCount_;
}

}  // namespace korvane
