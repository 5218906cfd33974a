#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace korvane {

enum class KeyValueChangeKind { Setting, Insertion, Removal, Replacement };

// One announcement of a change to a property; `indexes` name the list elements concerned
// (positions before the change for removals, after it for insertions).
struct KeyValueChange {
    std::string key;
    KeyValueChangeKind kind = KeyValueChangeKind::Setting;
    std::vector<size_t> indexes;
    bool isPrior = false;  // true for the will-change announcement
};

// Lets observers follow changes of an object's properties, list properties included: the owner
// brackets each change with willChange/didChange and observers hear the did-change announcement
// (and the will-change one when they ask for prior announcements). Main thread only.
class KeyValueObservable {
public:
    using Observer = std::function<void(const KeyValueChange&)>;
    using Token = uint64_t;

    virtual ~KeyValueObservable() = default;

    // Observes `key`; the token removes the observer again.
    Token addObserver(const std::string& key, Observer observer, bool wantsPriorAnnouncement = false);
    void removeObserver(Token token);

protected:
    void willChange(KeyValueChangeKind kind, std::vector<size_t> indexes, const std::string& key);
    void didChange(KeyValueChangeKind kind, std::vector<size_t> indexes, const std::string& key);

private:
    struct Registration {
        Token token;
        std::string key;
        bool wantsPrior;
        Observer observer;
    };
    void announce(const KeyValueChange& change);
    std::vector<Registration> observers_;
    Token nextToken_ = 1;
};

}  // namespace korvane
