#include "foundation/KeyValueObserving.h"

#include <algorithm>

namespace korvane {

KeyValueObservable::Token KeyValueObservable::addObserver(const std::string& key, Observer observer,
                                                          bool wantsPriorAnnouncement) {
    Token token = nextToken_++;
    observers_.push_back({token, key, wantsPriorAnnouncement, std::move(observer)});
    return token;
}

void KeyValueObservable::removeObserver(Token token) {
    std::erase_if(observers_, [token](const Registration& r) { return r.token == token; });
}

void KeyValueObservable::willChange(KeyValueChangeKind kind, std::vector<size_t> indexes,
                                    const std::string& key) {
    announce({key, kind, std::move(indexes), true});
}

void KeyValueObservable::didChange(KeyValueChangeKind kind, std::vector<size_t> indexes,
                                   const std::string& key) {
    announce({key, kind, std::move(indexes), false});
}

void KeyValueObservable::announce(const KeyValueChange& change) {
    // A snapshot, so observers may stop observing while they are told.
    std::vector<Registration> matching;
    for (const Registration& r : observers_) {
        if (r.key == change.key && (!change.isPrior || r.wantsPrior)) matching.push_back(r);
    }
    for (const Registration& r : matching) {
        bool stillObserving = std::any_of(observers_.begin(), observers_.end(),
                                          [&](const Registration& o) { return o.token == r.token; });
        if (stillObserving) r.observer(change);
    }
}

}  // namespace korvane
