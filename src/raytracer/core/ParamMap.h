#pragma once

#include <map>
#include <string>
#include <variant>
#include <vector>

#include "raytracer/core/Vector.h"

namespace yafaray {

// One typed value of a parameter map. A value is handed out only as the type it was stored with.
class parameter_t {
public:
    using value_t = std::variant<bool, int, double, std::string, point3d_t, colorA_t, matrix4x4_t>;

    parameter_t() = default;
    template <typename T>
    explicit parameter_t(T v) : value_(std::move(v)) {}

    const value_t& value() const { return value_; }
    bool wasRead() const { return read_; }
    void markRead() const { read_ = true; }
    void clearReadMark() const { read_ = false; }
    // Name of the stored type, for log lines.
    const char* typeName() const;

private:
    value_t value_;
    mutable bool read_ = false;
};

// Named parameters that a plug-in factory reads. The map remembers which entries were read so
// that misspelt or unsupported names can be reported after the create call.
class paraMap_t {
public:
    void setParam(const std::string& name, parameter_t p) { map_[name] = std::move(p); }

    // Reads name into v when it is stored with exactly v's type; otherwise v keeps its default.
    bool getParam(const std::string& name, bool& v) const { return get(name, v); }
    bool getParam(const std::string& name, int& v) const { return get(name, v); }
    bool getParam(const std::string& name, double& v) const { return get(name, v); }
    bool getParam(const std::string& name, float& v) const;
    bool getParam(const std::string& name, std::string& v) const { return get(name, v); }
    bool getParam(const std::string& name, point3d_t& v) const { return get(name, v); }
    bool getParam(const std::string& name, color_t& v) const;
    bool getParam(const std::string& name, colorA_t& v) const { return get(name, v); }
    bool getParam(const std::string& name, matrix4x4_t& v) const { return get(name, v); }

    bool contains(const std::string& name) const { return map_.count(name) != 0; }
    void clear() { map_.clear(); }
    bool empty() const { return map_.empty(); }
    // Forgets which parameters were read (before a create call).
    void resetReadMarks() const;
    // Names (with their stored types) that no getParam accepted since the last reset.
    std::vector<std::string> unreadParameters() const;

private:
    template <typename T>
    bool get(const std::string& name, T& v) const {
        const auto it = map_.find(name);
        if (it == map_.end()) return false;
        if (const T* p = std::get_if<T>(&it->second.value())) {
            v = *p;
            it->second.markRead();
            return true;
        }
        return false;
    }

    std::map<std::string, parameter_t> map_;
};

}  // namespace yafaray
