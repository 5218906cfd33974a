#include "foundation/NotificationCenter.h"

#include <algorithm>

namespace korvane {

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter center;
    return center;
}

NotificationCenter::Token NotificationCenter::addObserver(std::string name, const void* object,
                                                          Observer observer) {
    std::lock_guard lock(mutex_);
    Token token = nextToken_++;
    registrations_.push_back(
        {token, std::move(name), object, std::make_shared<Observer>(std::move(observer))});
    return token;
}

void NotificationCenter::removeObserver(Token token) {
    std::lock_guard lock(mutex_);
    std::erase_if(registrations_, [token](const Registration& r) { return r.token == token; });
}

void NotificationCenter::post(const std::string& name, const void* object,
                              std::map<std::string, std::any> userInfo) {
    // Deliver from a snapshot so observers may add or remove observers while being called.
    std::vector<std::pair<Token, std::shared_ptr<Observer>>> matching;
    {
        std::lock_guard lock(mutex_);
        for (const Registration& r : registrations_) {
            bool nameMatches = r.name.empty() || r.name == name;
            bool objectMatches = r.object == nullptr || r.object == object;
            if (nameMatches && objectMatches) matching.emplace_back(r.token, r.observer);
        }
    }
    Notification notification{name, object, std::move(userInfo)};
    for (auto& [token, observer] : matching) {
        bool stillRegistered;
        {
            std::lock_guard lock(mutex_);
            stillRegistered =
                std::any_of(registrations_.begin(), registrations_.end(),
                            [token = token](const Registration& r) { return r.token == token; });
        }
        if (stillRegistered) (*observer)(notification);
    }
}

NotificationObservation::NotificationObservation(NotificationCenter& center, std::string name,
                                                 const void* object, NotificationCenter::Observer observer)
    : center_(&center), token_(center.addObserver(std::move(name), object, std::move(observer))) {}

NotificationObservation::~NotificationObservation() {
    reset();
}

NotificationObservation::NotificationObservation(NotificationObservation&& other) noexcept
    : center_(other.center_), token_(other.token_) {
    other.center_ = nullptr;
}

NotificationObservation& NotificationObservation::operator=(NotificationObservation&& other) noexcept {
    if (this != &other) {
        reset();
        center_ = other.center_;
        token_ = other.token_;
        other.center_ = nullptr;
    }
    return *this;
}

void NotificationObservation::reset() {
    if (center_) center_->removeObserver(token_);
    center_ = nullptr;
}

}  // namespace korvane
