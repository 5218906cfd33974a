// `set` keys and info fields of the water layer; "preset" applies one of the water presets by key.
#include "cli/FieldFamilies.h"

#include "scene/layers/water/WaterLayer.h"

namespace korvane::cli {

namespace {

// The filter and mirror colours may be unset (the layer then renders without them): "none".
constexpr const char* kNoColor = "none";

Field<WaterLayer> optionalColorField(const char* name, const std::optional<Color>& (WaterLayer::*get)() const,
                                     void (WaterLayer::*set)(std::optional<Color>)) {
    return {name,
            [set](WaterLayer& water, const std::string& text) -> SetError {
                if (text == kNoColor) {
                    (water.*set)(std::nullopt);
                    return std::nullopt;
                }
                std::optional<Color> color = parseColor(text);
                if (!color) return notAColor(text) + " or " + kNoColor;
                (water.*set)(*color);
                return std::nullopt;
            },
            [get](const WaterLayer& water, JsonWriter& w) {
                const std::optional<Color>& color = (water.*get)();
                if (color) {
                    writeColor(w, *color);
                } else {
                    w.value(kNoColor);
                }
            }};
}

Field<WaterLayer> presetField() {
    return {"preset",
            [](WaterLayer& water, const std::string& text) -> SetError {
                std::string known;
                for (const WaterPresetDictionary& preset : WaterLayer::presetDictionaries()) {
                    if (preset.presetKey == text) {
                        water.configureWithPresetDictionary(preset);
                        return std::nullopt;
                    }
                    known += known.empty() ? "" : ", ";
                    known += preset.presetKey;
                }
                return "'" + text + "' is not a water preset (" + known + ")";
            },
            {}};
}

const FieldTable<WaterLayer>& waterFields() {
    static const FieldTable<WaterLayer> table = {
        boolField("active", &WaterLayer::active, &WaterLayer::setActive),
        floatField("height", &WaterLayer::height, &WaterLayer::setHeight, kHeight),
        floatField("absorbtion", &WaterLayer::absorbtion, &WaterLayer::setAbsorbtion, kNonNegative),
        floatField("wavesHeight", &WaterLayer::wavesHeight, &WaterLayer::setWavesHeight, kNonNegative),
        floatField("wavesTwirl", &WaterLayer::wavesTwirl, &WaterLayer::setWavesTwirl, kNonNegative),
        floatField("wavesSize", &WaterLayer::wavesSize, &WaterLayer::setWavesSize, kNonNegative),
        floatField("IOR", &WaterLayer::IOR, &WaterLayer::setIOR, kNonNegative),
        optionalColorField("waterColor", &WaterLayer::waterColor, &WaterLayer::setWaterColor),
        optionalColorField("mirrorColor", &WaterLayer::mirrorColor, &WaterLayer::setMirrorColor),
        presetField(),
    };
    return table;
}

}  // namespace

FieldFamily waterFieldFamily() {
    return fieldFamily<WaterLayer>("water", waterFields(), lastLayerOfClass<WaterLayer>,
                                   "the document has no water layer",
                                   [] { return std::make_shared<WaterLayer>(nullptr); });
}

void writeWaterLayerInfo(const BaseSceneLayer& layer, JsonWriter& w) {
    if (auto* water = dynamic_cast<const WaterLayer*>(&layer)) writeFields(waterFields(), *water, w);
}

}  // namespace korvane::cli
