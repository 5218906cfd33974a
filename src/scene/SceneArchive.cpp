// The scene's keys in a document archive, the defaults that let older files open, and the ranges
// that values read from a file are clamped into.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "foundation/archive/ArchiveFormat.h"
#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "scene/CheckedValue.h"
#include "scene/Scene.h"

namespace korvane {

namespace {

constexpr float kDefaultMaxTerrainHeight = 4.0f;
constexpr double kDefaultSide = 10.0;  // a new scene's, taken for a side that is not a number
constexpr double kUnbounded = std::numeric_limits<double>::infinity();

// v clamped into low…high; not a number gives fallback.
double clampedInto(double v, double low, double high, double fallback) {
    return std::isnan(v) ? fallback : std::clamp(v, low, high);
}

// The two numbers of a stored size "{w, h}", each as written (nan, inf and all); none when the text
// does not hold two numbers.
std::optional<std::pair<double, double>> storedPair(const std::string& text) {
    double sides[2];
    const char* p = text.c_str();
    for (double& side : sides) {
        while (*p == '{' || *p == ',' || *p == ' ') ++p;
        char* end = nullptr;
        side = std::strtod(p, &end);
        if (end == p) return std::nullopt;
        p = end;
    }
    return std::pair{sides[0], sides[1]};
}

}  // namespace

void Scene::encode(KeyedArchiver& coder) const {
    coder.encodeObjects("layers", layers_);
    coder.encodeSize("size", size_);
    coder.encodeFloat("maxTerrainHeight", maxTerrainHeight_);
    coder.encodeBool("farDepthOfField", farDepthOfField_);
    coder.encodeFloat("farDepthOfFieldStart", farDepthOfFieldStart_);
    coder.encodeFloat("farDepthOfFieldBias", farDepthOfFieldBias_);
    coder.encodeFloat("farDepthOfFieldMaximumStrength", farDepthOfFieldMaximumStrength_);
    coder.encodeBool("nearDepthOfField", nearDepthOfField_);
    coder.encodeFloat("nearDepthOfFieldEnd", nearDepthOfFieldEnd_);
    coder.encodeFloat("nearDepthOfFieldBias", nearDepthOfFieldBias_);
    coder.encodeFloat("nearDepthOfFieldMaximumStrength", nearDepthOfFieldMaximumStrength_);
    coder.encodeBool("bloomFilter", bloomFilter_);
    coder.encodeFloat("bloomRadius", bloomRadius_);
    coder.encodeFloat("bloomIntensity", bloomIntensity_);
    coder.encodeBool("depthTint", depthTint_);
    coder.encodeFloat("depthTintStart", depthTintStart_);
    coder.encodeFloat("depthTintBias", depthTintBias_);
    coder.encodeFloat("depthTintOpacity", depthTintOpacity_);
    coder.encodeColor("depthTintColor", depthTintColor_);
    coder.encodeBool("vibranceFilter", vibranceFilter_);
    coder.encodeFloat("vibranceStrength", vibranceStrength_);
}

void Scene::decode(KeyedUnarchiver& coder) {
    // The instance already holds every default of a new scene.
    layers_ = coder.decodeObjects<BaseSceneLayer>("layers");
    // A layer whose stored scene is some other object would keep a reference that outlives it:
    // every layer of this stack belongs to this scene.
    for (const auto& layer : layers_) {
        if (layer->scene() != this) layer->setScene(this);
    }
    decodeCheckedSize(coder);
    maxTerrainHeight_ = coder.decodeFloat("maxTerrainHeight");
    if (maxTerrainHeight_ == 0.0f) maxTerrainHeight_ = kDefaultMaxTerrainHeight;  // older files
    maxTerrainHeight_ = checkedValue(coder, "maximum terrain height", maxTerrainHeight_, kMinimumMaxTerrainHeight,
                                     kMaximumMaxTerrainHeight);

    // Each group of settings is read only when its switch is stored, so files written before the
    // settings existed keep the defaults.
    if (coder.containsValue("farDepthOfField")) {
        farDepthOfField_ = coder.decodeBool("farDepthOfField");
        farDepthOfFieldStart_ = coder.decodeFloat("farDepthOfFieldStart");
        farDepthOfFieldBias_ = coder.decodeFloat("farDepthOfFieldBias");
        farDepthOfFieldMaximumStrength_ = coder.decodeFloat("farDepthOfFieldMaximumStrength");
    }
    if (coder.containsValue("nearDepthOfField")) {
        nearDepthOfField_ = coder.decodeBool("nearDepthOfField");
        nearDepthOfFieldEnd_ = coder.decodeFloat("nearDepthOfFieldEnd");
        nearDepthOfFieldBias_ = coder.decodeFloat("nearDepthOfFieldBias");
        nearDepthOfFieldMaximumStrength_ = coder.decodeFloat("nearDepthOfFieldMaximumStrength");
    }
    if (coder.containsValue("bloomFilter")) {
        bloomFilter_ = coder.decodeBool("bloomFilter");
        bloomIntensity_ = coder.decodeFloat("bloomIntensity");
        bloomRadius_ = coder.decodeFloat("bloomRadius");
    }
    if (coder.containsValue("depthTint")) {
        depthTint_ = coder.decodeBool("depthTint");
        depthTintStart_ = coder.decodeFloat("depthTintStart");
        depthTintBias_ = coder.decodeFloat("depthTintBias");
        depthTintOpacity_ = coder.decodeFloat("depthTintOpacity");
        // A stored colour of the wrong kind reads as none; the default colour stays then.
        if (std::optional<Color> color = coder.decodeColor("depthTintColor")) depthTintColor_ = *color;
    }
    if (coder.containsValue("vibranceFilter")) {
        vibranceFilter_ = coder.decodeBool("vibranceFilter");
        vibranceStrength_ = coder.decodeFloat("vibranceStrength");
    }
    farDepthOfFieldMaximumStrength_ = checkedValue(coder, "far depth of field maximum strength",
                                                   farDepthOfFieldMaximumStrength_, 0, kUnbounded);
    nearDepthOfFieldMaximumStrength_ = checkedValue(coder, "near depth of field maximum strength",
                                                    nearDepthOfFieldMaximumStrength_, 0, kUnbounded);
    bloomRadius_ = checkedValue(coder, "bloom radius", bloomRadius_, 0, kUnbounded);
    bloomIntensity_ = checkedValue(coder, "bloom intensity", bloomIntensity_, 0, kUnbounded);
    depthTintOpacity_ = checkedValue(coder, "depth tint opacity", depthTintOpacity_, 0, 1);
}

float Scene::checkedValue(KeyedUnarchiver& coder, const char* what, float value, double low, double high) {
    return korvane::checkedValue(coder, std::string("scene ") + what, value, ValueRange{low, high});
}

void Scene::decodeCheckedSize(KeyedUnarchiver& coder) {
    const std::optional<std::string> text = coder.decodeString("size");
    if (!text) {
        // No size (or one of another kind) reads as 0 × 0, as it always has.
        if (coder.containsValue("size")) coder.reportRepair("scene size holds something other than a size; it is ignored");
        size_ = {};
        return;
    }
    const std::optional<std::pair<double, double>> stored = storedPair(*text);
    if (!stored) {
        size_ = {kDefaultSide, kDefaultSide};
        coder.reportRepair("scene size '" + text->substr(0, 40) + "' is not a size; using {" +
                           repairText(kDefaultSide) + ", " + repairText(kDefaultSide) + "}");
        return;
    }
    const auto [w, h] = *stored;
    const Size fallback{kDefaultSide, kDefaultSide};
    const Size repaired{clampedInto(w, kMinimumSide, kMaximumSide, fallback.width),
                        clampedInto(h, kMinimumSide, kMaximumSide, fallback.height)};
    if (repaired.width != w || repaired.height != h) {
        coder.reportRepair("scene size {" + repairText(w) + ", " + repairText(h) + "} is outside " +
                           repairText(ValueRange{kMinimumSide, kMaximumSide}) + "; using {" +
                           repairText(repaired.width) + ", " + repairText(repaired.height) + "}");
    }
    size_ = repaired;
}

}  // namespace korvane
