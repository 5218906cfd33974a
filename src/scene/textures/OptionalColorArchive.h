#pragma once

#include <optional>
#include <string>

#include "foundation/Color.h"
#include "foundation/archive/KeyedArchiver.h"

namespace korvane {

// Colours of the materials and textures are optional objects: a present one is stored as a colour
// object, an absent one as the null reference, which decodes as none again.
inline void encodeOptionalColor(KeyedArchiver& coder, const std::string& key,
                                const std::optional<Color>& color) {
    if (color) {
        coder.encodeColor(key, *color);
    } else {
        coder.encodeObject(key, static_cast<const Archivable*>(nullptr));
    }
}

}  // namespace korvane
