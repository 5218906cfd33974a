#pragma once

#include <string>

namespace korvane {

class KeyedArchiver;
class KeyedUnarchiver;

// An axis-aligned box given by two corners of three floats, as the model stores cloud footprints and
// mesh bounds. Nothing orders the corners: `start` is usually, not necessarily, the smaller one.
struct Box {
    struct Corner {
        float x = 0;
        float y = 0;
        float z = 0;

        bool operator==(const Corner&) const = default;
    };

    Corner start;
    Corner end;

    bool operator==(const Box&) const = default;
};

// Writes the box as six floats named `prefix` followed by "Start" or "End" and then "X", "Y" or "Z"
// ("boundingBoxStartX" … "boundingBoxEndZ"), start first.
void encodeBox(KeyedArchiver& coder, const std::string& prefix, const Box& box);
// Reads the six floats written by encodeBox; an absent one reads as 0.
Box decodeBox(KeyedUnarchiver& coder, const std::string& prefix);

}  // namespace korvane
