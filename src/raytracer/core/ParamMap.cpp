#include "raytracer/core/ParamMap.h"

namespace yafaray {

const char* parameter_t::typeName() const {
    switch (value_.index()) {
        case 0:
            return "bool";
        case 1:
            return "int";
        case 2:
            return "float";
        case 3:
            return "string";
        case 4:
            return "point";
        case 5:
            return "color";
        case 6:
            return "matrix";
    }
    return "unknown";
}

bool paraMap_t::getParam(const std::string& name, float& v) const {
    double d = v;
    if (!get(name, d)) return false;
    v = static_cast<float>(d);
    return true;
}

bool paraMap_t::getParam(const std::string& name, color_t& v) const {
    colorA_t c(v, 1.f);
    if (!get(name, c)) return false;
    v = c;
    return true;
}

void paraMap_t::resetReadMarks() const {
    for (const auto& [name, p] : map_) {
        (void)name;
        p.clearReadMark();
    }
}

std::vector<std::string> paraMap_t::unreadParameters() const {
    std::vector<std::string> names;
    for (const auto& [name, p] : map_) {
        if (!p.wasRead()) names.push_back(name + " (" + p.typeName() + ")");
    }
    return names;
}

}  // namespace yafaray
