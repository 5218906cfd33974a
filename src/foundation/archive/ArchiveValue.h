#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "foundation/Bitmap.h"
#include "foundation/Color.h"
#include "foundation/archive/Archivable.h"

namespace korvane {

class ArchiveValue;
using ArchiveArray = std::vector<ArchiveValue>;
using ArchiveDictionary = std::vector<std::pair<std::string, ArchiveValue>>;  // keys in order
using ArchiveData = std::vector<uint8_t>;

// An object-valued entry of an archive as a plain value: what a list or dictionary holds.
// Numbers are NSNumbers, model objects are shared (stored once, referenced wherever they recur).
class ArchiveValue {
public:
    using Storage = std::variant<std::monostate, bool, int64_t, double, std::string, ArchiveData,
                                 std::shared_ptr<Archivable>, Color, std::shared_ptr<Bitmap>, ArchiveArray,
                                 ArchiveDictionary>;

    ArchiveValue() = default;
    template <class T>
    requires std::is_constructible_v<Storage, T&&> ArchiveValue(T&& value)
        : storage_(std::forward<T>(value)) {}
    ArchiveValue(const char* text) : storage_(std::string(text)) {}
    ArchiveValue(int value) : storage_(int64_t{value}) {}

    bool isNone() const { return std::holds_alternative<std::monostate>(storage_); }
    template <class T>
    const T* get() const {
        return std::get_if<T>(&storage_);
    }
    const Storage& storage() const { return storage_; }

private:
    Storage storage_;
};

}  // namespace korvane
