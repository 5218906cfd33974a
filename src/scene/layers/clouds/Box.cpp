#include "scene/layers/clouds/Box.h"

#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"

namespace korvane {

void encodeBox(KeyedArchiver& coder, const std::string& prefix, const Box& box) {
    coder.encodeFloat(prefix + "StartX", box.start.x);
    coder.encodeFloat(prefix + "StartY", box.start.y);
    coder.encodeFloat(prefix + "StartZ", box.start.z);
    coder.encodeFloat(prefix + "EndX", box.end.x);
    coder.encodeFloat(prefix + "EndY", box.end.y);
    coder.encodeFloat(prefix + "EndZ", box.end.z);
}

Box decodeBox(KeyedUnarchiver& coder, const std::string& prefix) {
    Box box;
    box.start.x = coder.decodeFloat(prefix + "StartX");
    box.start.y = coder.decodeFloat(prefix + "StartY");
    box.start.z = coder.decodeFloat(prefix + "StartZ");
    box.end.x = coder.decodeFloat(prefix + "EndX");
    box.end.y = coder.decodeFloat(prefix + "EndY");
    box.end.z = coder.decodeFloat(prefix + "EndZ");
    return box;
}

}  // namespace korvane
