#include "foundation/UndoManager.h"

#include <gtest/gtest.h>

#include "foundation/MainThreadDispatcher.h"

namespace korvane {
namespace {

// A value whose setter registers the old value as its undo, the way model setters do.
struct UndoableValue {
    UndoManager& undo;
    int value = 0;
    int sets = 0;
    void set(int v) {
        int old = value;
        undo.registerUndo(this, [this, old] { set(old); });
        value = v;
        ++sets;
    }
};

class UndoManagerTest : public ::testing::Test {
protected:
    void SetUp() override { undo.setGroupsByEvent(false); }
    void edit(int v) {
        undo.beginUndoGrouping();
        target.set(v);
        undo.endUndoGrouping();
    }
    UndoManager undo;
    UndoableValue target{undo};
};

TEST_F(UndoManagerTest, UndoRegistersTheRedoAndRedoTheUndo) {
    edit(1);
    edit(2);
    undo.undo();
    EXPECT_EQ(target.value, 1);
    EXPECT_TRUE(undo.canRedo());
    undo.undo();
    EXPECT_EQ(target.value, 0);
    EXPECT_FALSE(undo.canUndo());
    undo.redo();
    EXPECT_EQ(target.value, 1);
    undo.redo();
    EXPECT_EQ(target.value, 2);
    EXPECT_FALSE(undo.canRedo());
    undo.undo();
    EXPECT_EQ(target.value, 1);
}

TEST_F(UndoManagerTest, NewEditAfterUndoClearsRedo) {
    edit(1);
    undo.undo();
    ASSERT_TRUE(undo.canRedo());
    edit(5);
    EXPECT_FALSE(undo.canRedo());
    undo.undo();
    EXPECT_EQ(target.value, 0);
}

TEST_F(UndoManagerTest, GroupUndoesAllItsActionsInReverseOrder) {
    std::vector<int> order;
    undo.beginUndoGrouping();
    undo.registerUndo(this, [&] { order.push_back(1); });
    undo.beginUndoGrouping();  // nested groups merge into the outer one
    undo.registerUndo(this, [&] { order.push_back(2); });
    undo.endUndoGrouping();
    undo.registerUndo(this, [&] { order.push_back(3); });
    undo.endUndoGrouping();
    EXPECT_EQ(undo.undoCount(), 1u);
    undo.undo();
    EXPECT_EQ(order, (std::vector<int>{3, 2, 1}));
}

TEST_F(UndoManagerTest, LevelsOfUndoDropTheOldestSteps) {
    undo.setLevelsOfUndo(3);
    for (int v = 1; v <= 5; ++v) edit(v);
    EXPECT_EQ(undo.undoCount(), 3u);
    while (undo.canUndo()) undo.undo();
    EXPECT_EQ(target.value, 2);  // the two oldest steps are gone
    undo.setLevelsOfUndo(1);
    EXPECT_EQ(undo.redoCount(), 1u);
}

TEST_F(UndoManagerTest, DisabledRegistrationIsNestableAndQueried) {
    undo.disableUndoRegistration();
    undo.disableUndoRegistration();
    edit(1);
    undo.enableUndoRegistration();
    EXPECT_FALSE(undo.isUndoRegistrationEnabled());
    edit(2);
    undo.enableUndoRegistration();
    EXPECT_TRUE(undo.isUndoRegistrationEnabled());
    EXPECT_FALSE(undo.canUndo());
    undo.enableUndoRegistration();  // unmatched enable is harmless
    edit(3);
    undo.undo();
    EXPECT_EQ(target.value, 2);
}

TEST_F(UndoManagerTest, RemovingActionsClearsBothStacksOrOneTarget) {
    UndoableValue other{undo};
    edit(1);
    undo.beginUndoGrouping();
    other.set(7);
    undo.endUndoGrouping();
    undo.removeAllActionsWithTarget(&other);
    EXPECT_EQ(undo.undoCount(), 1u);
    undo.undo();
    EXPECT_EQ(target.value, 0);
    EXPECT_EQ(other.value, 7);
    undo.removeAllActions();
    EXPECT_FALSE(undo.canUndo());
    EXPECT_FALSE(undo.canRedo());
}

TEST_F(UndoManagerTest, LoneRegistrationWithoutGroupIsItsOwnStep) {
    target.set(1);
    target.set(2);
    EXPECT_EQ(undo.undoCount(), 2u);
    undo.undo();
    EXPECT_EQ(target.value, 1);
}

TEST_F(UndoManagerTest, ActionNamesFollowTheirGroups) {
    undo.beginUndoGrouping();
    target.set(1);
    undo.setActionName("Brush Stroke");
    undo.endUndoGrouping();
    EXPECT_EQ(undo.undoActionName(), "Brush Stroke");
    undo.undo();
    EXPECT_EQ(undo.redoActionName(), "Brush Stroke");
}

TEST(UndoManagerEventGroupingTest, RegistrationsOfOneEventFormOneGroup) {
    auto dispatcher = std::make_unique<SynchronousDispatcher>();
    SynchronousDispatcher* queue = dispatcher.get();
    MainThreadDispatcher::setShared(std::move(dispatcher));
    {
        UndoManager undo;
        UndoableValue target{undo};
        target.set(1);
        target.set(2);
        EXPECT_EQ(undo.undoCount(), 0u);  // the event's group is still open
        EXPECT_TRUE(undo.canUndo());
        queue->runPending();              // the event ends
        EXPECT_EQ(undo.undoCount(), 1u);
        target.set(3);
        undo.undo();                      // closes the open group first
        EXPECT_EQ(target.value, 2);
        undo.undo();
        EXPECT_EQ(target.value, 0);
        target.set(4);
    }
    // The end-of-event callback of a destroyed manager does nothing.
    EXPECT_GT(queue->runPending(), 0u);
    MainThreadDispatcher::setShared(nullptr);
}

}  // namespace
}  // namespace korvane
