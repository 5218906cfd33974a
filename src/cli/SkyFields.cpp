// `set` keys and info fields of the sky and the fog layers.
#include "cli/FieldFamilies.h"

#include "scene/layers/sky/FogLayer.h"
#include "scene/layers/sky/SkyLayer.h"

namespace korvane::cli {

namespace {

const FieldTable<SkyLayer>& skyFields() {
    static const FieldTable<SkyLayer> table = {
        floatField("turbidity", &SkyLayer::turbidity, &SkyLayer::setTurbidity, kNonNegative),
        floatField("horizonBrightness", &SkyLayer::horizonBrightness, &SkyLayer::setHorizonBrightness),
        floatField("horizonLuminance", &SkyLayer::horizonLuminance, &SkyLayer::setHorizonLuminance),
        floatField("circumsolarIntensity", &SkyLayer::circumsolarIntensity, &SkyLayer::setCircumsolarIntensity),
        floatField("circumsolarWidth", &SkyLayer::circumsolarWidth, &SkyLayer::setCircumsolarWidth),
        floatField("backscatteredLight", &SkyLayer::backscatteredLight, &SkyLayer::setBackscatteredLight),
        boolField("useBackgroundAsLightSource", &SkyLayer::useBackgroundAsLightSource,
                  &SkyLayer::setUseBackgroundAsLightSource),
        boolField("night", &SkyLayer::night, &SkyLayer::setNight),
    };
    return table;
}

const FieldTable<FogLayer>& fogFields() {
    static const FieldTable<FogLayer> table = {
        boolField("active", &FogLayer::active, &FogLayer::setActive),
        floatField("density", &FogLayer::density, &FogLayer::setDensity, kNonNegative),
        floatField("height", &FogLayer::height, &FogLayer::setHeight, kHeight),
        floatField("scatter", &FogLayer::scatter, &FogLayer::setScatter, kNonNegative),
        boolField("hazeActive", &FogLayer::hazeActive, &FogLayer::setHazeActive),
        floatField("hazeStrength", &FogLayer::hazeStrength, &FogLayer::setHazeStrength, kNonNegative),
        floatField("hazeDistance", &FogLayer::hazeDistance, &FogLayer::setHazeDistance, kNonNegative),
    };
    return table;
}

}  // namespace

FieldFamily skyFieldFamily() {
    return fieldFamily<SkyLayer>("sky", skyFields(), lastLayerOfClass<SkyLayer>, "the document has no sky layer",
                                [] { return std::make_shared<SkyLayer>(nullptr); });
}

// The renderer takes the haze from the last fog layer, so that is the one `set` changes.
FieldFamily fogFieldFamily() {
    return fieldFamily<FogLayer>("fog", fogFields(), lastLayerOfClass<FogLayer>, "the document has no fog layer",
                                [] { return std::make_shared<FogLayer>(nullptr); });
}

void writeSkyLayerInfo(const BaseSceneLayer& layer, JsonWriter& w) {
    if (auto* sky = dynamic_cast<const SkyLayer*>(&layer)) writeFields(skyFields(), *sky, w);
}

void writeFogLayerInfo(const BaseSceneLayer& layer, JsonWriter& w) {
    if (auto* fog = dynamic_cast<const FogLayer*>(&layer)) writeFields(fogFields(), *fog, w);
}

}  // namespace korvane::cli
