#pragma once

#include <string>

namespace korvane {

// One entry of a preset catalogue: the title shown in menus ("name") and the identifier that selects
// the recipe ("presetKey"). Applying a preset reads only the key.
struct PresetDictionary {
    std::string name;
    std::string presetKey;

    bool operator==(const PresetDictionary&) const = default;
};

}  // namespace korvane
