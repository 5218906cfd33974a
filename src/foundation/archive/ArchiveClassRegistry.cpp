#include "foundation/archive/ArchiveClassRegistry.h"

#include <set>

namespace korvane {

ArchiveClassRegistry& ArchiveClassRegistry::shared() {
    static ArchiveClassRegistry registry;
    return registry;
}

void ArchiveClassRegistry::registerClass(const std::string& name, const std::string& superclass,
                                         Factory factory) {
    std::lock_guard lock(mutex_);
    classes_[name] = Entry{superclass, std::move(factory)};
}

bool ArchiveClassRegistry::isRegistered(const std::string& name) const {
    std::lock_guard lock(mutex_);
    return classes_.count(name) != 0;
}

std::shared_ptr<Archivable> ArchiveClassRegistry::create(const std::string& name) const {
    Factory factory;
    {
        std::lock_guard lock(mutex_);
        auto it = classes_.find(name);
        if (it == classes_.end()) return nullptr;
        factory = it->second.factory;
    }
    return factory();
}

std::vector<std::string> ArchiveClassRegistry::classChain(const std::string& name) const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> chain;
    std::set<std::string> seen;
    std::string current = name;
    // Walk up the registered superclasses; a loop in the registrations ends the walk.
    while (!current.empty() && current != "NSObject" && seen.insert(current).second) {
        chain.push_back(current);
        auto it = classes_.find(current);
        if (it == classes_.end()) break;
        current = it->second.superclass;
    }
    chain.push_back("NSObject");
    return chain;
}

bool ArchiveClassRegistry::isKindOf(const std::string& name, const std::string& ancestor) const {
    for (const std::string& c : classChain(name)) {
        if (c == ancestor) return true;
    }
    return false;
}

}  // namespace korvane
