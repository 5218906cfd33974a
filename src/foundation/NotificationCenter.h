#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace korvane {

// What an observer receives: the name, the posting object (compared by identity) and optional extras.
struct Notification {
    std::string name;
    const void* object = nullptr;
    std::map<std::string, std::any> userInfo;
};

// Delivers named notifications synchronously to the observers registered for them, in the order
// they registered. Model changes post on the main thread; registering and removing is thread-safe.
class NotificationCenter {
public:
    using Observer = std::function<void(const Notification&)>;
    using Token = uint64_t;

    // The process-wide centre; lives until the process ends. Any thread.
    static NotificationCenter& defaultCenter();

    // Registers an observer for `name` from `object` (nullptr: from any object). The returned token
    // removes it again. An empty name observes every notification.
    Token addObserver(std::string name, const void* object, Observer observer);
    // Removes an observer; a token that is not registered is ignored. Safe inside a delivery.
    void removeObserver(Token token);
    // Delivers to every matching observer on the calling thread. An observer removed during the
    // delivery is not called afterwards; one added during it first hears the next post.
    void post(const std::string& name, const void* object, std::map<std::string, std::any> userInfo = {});

private:
    struct Registration {
        Token token;
        std::string name;
        const void* object;
        std::shared_ptr<Observer> observer;
    };
    mutable std::mutex mutex_;
    std::vector<Registration> registrations_;
    Token nextToken_ = 1;
};

// Removes its observer when destroyed, so an object's observations end with it.
class NotificationObservation {
public:
    NotificationObservation() = default;
    NotificationObservation(NotificationCenter& center, std::string name, const void* object,
                            NotificationCenter::Observer observer);
    ~NotificationObservation();
    NotificationObservation(NotificationObservation&& other) noexcept;
    NotificationObservation& operator=(NotificationObservation&& other) noexcept;
    NotificationObservation(const NotificationObservation&) = delete;
    NotificationObservation& operator=(const NotificationObservation&) = delete;

private:
    void reset();
    NotificationCenter* center_ = nullptr;
    NotificationCenter::Token token_ = 0;
};

}  // namespace korvane
