#include "foundation/NotificationCenter.h"

#include <gtest/gtest.h>

#include "foundation/KeyValueObserving.h"

namespace korvane {
namespace {

TEST(NotificationCenterTest, DeliversByNameAndObject) {
    NotificationCenter center;
    int a = 0, b = 0;
    int fromA = 0, anyName = 0, fromAnyone = 0;
    center.addObserver("Changed", &a, [&](const Notification&) { ++fromA; });
    center.addObserver("Changed", nullptr, [&](const Notification& n) {
        ++fromAnyone;
        EXPECT_EQ(n.name, "Changed");
    });
    center.addObserver("", nullptr, [&](const Notification&) { ++anyName; });
    center.post("Changed", &a);
    center.post("Changed", &b);
    center.post("Other", &a);
    EXPECT_EQ(fromA, 1);
    EXPECT_EQ(fromAnyone, 2);
    EXPECT_EQ(anyName, 3);
}

TEST(NotificationCenterTest, ObserverRemovedDuringDeliveryIsNotCalledAgain) {
    NotificationCenter center;
    int second = 0;
    NotificationCenter::Token secondToken = 0;
    center.addObserver("N", nullptr, [&](const Notification&) { center.removeObserver(secondToken); });
    secondToken = center.addObserver("N", nullptr, [&](const Notification&) { ++second; });
    center.post("N", nullptr);
    center.post("N", nullptr);
    EXPECT_EQ(second, 0);
}

TEST(NotificationCenterTest, ObservationEndsWithItsHandle) {
    NotificationCenter center;
    int calls = 0;
    {
        NotificationObservation observation(center, "N", nullptr, [&](const Notification&) { ++calls; });
        center.post("N", nullptr);
        NotificationObservation moved = std::move(observation);
        center.post("N", nullptr);
    }
    center.post("N", nullptr);
    EXPECT_EQ(calls, 2);
}

TEST(NotificationCenterTest, UserInfoReachesTheObserver) {
    NotificationCenter center;
    int seen = 0;
    center.addObserver("N", nullptr, [&](const Notification& n) { seen = std::any_cast<int>(n.userInfo.at("count")); });
    center.post("N", nullptr, {{"count", std::any(42)}});
    EXPECT_EQ(seen, 42);
}

class ObservableList : public KeyValueObservable {
public:
    void insert(int v) {
        willChange(KeyValueChangeKind::Insertion, {items.size()}, "items");
        items.push_back(v);
        didChange(KeyValueChangeKind::Insertion, {items.size() - 1}, "items");
    }
    std::vector<int> items;
};

TEST(KeyValueObservingTest, ListChangesAnnounceWillAndDidWithIndexes) {
    ObservableList list;
    std::vector<KeyValueChange> heard;
    std::vector<size_t> sizesWhenTold;
    list.addObserver("items", [&](const KeyValueChange& c) {
        heard.push_back(c);
        sizesWhenTold.push_back(list.items.size());
    }, true);
    int otherKey = 0;
    auto token = list.addObserver("other", [&](const KeyValueChange&) { ++otherKey; });
    list.insert(5);
    list.insert(6);
    ASSERT_EQ(heard.size(), 4u);
    EXPECT_TRUE(heard[0].isPrior);
    EXPECT_FALSE(heard[1].isPrior);
    EXPECT_EQ(sizesWhenTold, (std::vector<size_t>{0, 1, 1, 2}));
    EXPECT_EQ(heard[3].indexes, std::vector<size_t>{1});
    EXPECT_EQ(heard[3].kind, KeyValueChangeKind::Insertion);
    EXPECT_EQ(otherKey, 0);
    list.removeObserver(token);
}

TEST(KeyValueObservingTest, ObserversWithoutPriorHearOnlyDidChange) {
    ObservableList list;
    int calls = 0;
    list.addObserver("items", [&](const KeyValueChange& c) {
        EXPECT_FALSE(c.isPrior);
        ++calls;
    });
    list.insert(1);
    EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace korvane
