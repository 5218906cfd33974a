#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/archive/Archivable.h"

namespace korvane {

// The allow-list of model classes an archive may instantiate, by archive class name, with their
// superclass names for the class chain written beside each object.
class ArchiveClassRegistry {
public:
    using Factory = std::function<std::shared_ptr<Archivable>()>;

    // The process-wide registry the model registers its classes with. Any thread.
    static ArchiveClassRegistry& shared();

    // Registers (or replaces) a class. `superclass` is "NSObject" for a root class of the model.
    void registerClass(const std::string& name, const std::string& superclass, Factory factory);
    template <class T>
    void registerClass(const std::string& name, const std::string& superclass) {
        registerClass(name, superclass, [] { return std::make_shared<T>(); });
    }

    bool isRegistered(const std::string& name) const;
    // A new default-constructed instance owned by the caller, or nullptr for an unknown name.
    std::shared_ptr<Archivable> create(const std::string& name) const;
    // The class and its superclasses up to "NSObject", as written in "$classes".
    std::vector<std::string> classChain(const std::string& name) const;
    // Whether `name` is `ancestor` or one of its subclasses.
    bool isKindOf(const std::string& name, const std::string& ancestor) const;

private:
    struct Entry {
        std::string superclass;
        Factory factory;
    };
    mutable std::mutex mutex_;
    std::map<std::string, Entry> classes_;
};

}  // namespace korvane
