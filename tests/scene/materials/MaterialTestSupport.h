#pragma once

#include <string>
#include <vector>

#include "RecordingInterface.h"
#include "scene/BaseRenderer.h"

namespace korvane {

// A renderer that the model takes for the ray tracer, recording every parameter call.
class RecordingRenderer final : public BaseRenderer {
public:
    bool isYafarayRenderer() const override { return true; }
    yafaray::yafrayInterface_t* yafrayinterface() const override { return &recorder; }
    mutable RecordingInterface recorder;
    const std::vector<std::string>& calls() const { return recorder.calls; }
};

// A renderer that is not the ray tracer: nothing may be appended to it.
class PlainRenderer final : public BaseRenderer {};

inline std::string num(double v) {
    return RecordingInterface::number(v);
}
inline std::string str(const std::string& key, const std::string& value) {
    return "paramsSetString \"" + key + "\" \"" + value + "\"";
}
inline std::string flt(const std::string& key, float value) {
    return "paramsSetFloat \"" + key + "\" " + num(value);
}

}  // namespace korvane
