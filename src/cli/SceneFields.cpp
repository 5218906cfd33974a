// `set` keys of the scene itself: its size, the height scale and the post-processing settings.
#include "cli/FieldFamilies.h"

namespace korvane::cli {

namespace {

constexpr Range kSceneSide{kMinimumSceneSide, kMaximumSceneSide};
constexpr Range kTerrainHeight{kMinimumTerrainHeight, kMaximumTerrainHeight};

Field<Scene> sizeField() {
    return {"size",
            [](Scene& scene, const std::string& text) -> SetError {
                std::optional<std::vector<double>> sides = parseNumberList(text, 2);
                if (!sides) return "'" + text + "' is not a size W,H";
                for (double side : *sides) {
                    if (SetError outside = checkRange(side, kSceneSide)) return outside;
                }
                scene.setSize({(*sides)[0], (*sides)[1]});
                return std::nullopt;
            },
            [](const Scene& scene, JsonWriter& w) {
                w.beginArray();
                w.value(scene.size().width);
                w.value(scene.size().height);
                w.endArray();
            }};
}

const FieldTable<Scene>& sceneFields() {
    static const FieldTable<Scene> table = {
        sizeField(),
        floatField("maxTerrainHeight", &Scene::maxTerrainHeight, &Scene::setMaxTerrainHeight, kTerrainHeight),
        boolField("farDepthOfField", &Scene::farDepthOfField, &Scene::setFarDepthOfField),
        floatField("farDepthOfFieldStart", &Scene::farDepthOfFieldStart, &Scene::setFarDepthOfFieldStart),
        floatField("farDepthOfFieldBias", &Scene::farDepthOfFieldBias, &Scene::setFarDepthOfFieldBias),
        floatField("farDepthOfFieldMaximumStrength", &Scene::farDepthOfFieldMaximumStrength,
                   &Scene::setFarDepthOfFieldMaximumStrength, kNonNegative),
        boolField("nearDepthOfField", &Scene::nearDepthOfField, &Scene::setNearDepthOfField),
        floatField("nearDepthOfFieldEnd", &Scene::nearDepthOfFieldEnd, &Scene::setNearDepthOfFieldEnd),
        floatField("nearDepthOfFieldBias", &Scene::nearDepthOfFieldBias, &Scene::setNearDepthOfFieldBias),
        floatField("nearDepthOfFieldMaximumStrength", &Scene::nearDepthOfFieldMaximumStrength,
                   &Scene::setNearDepthOfFieldMaximumStrength, kNonNegative),
        boolField("bloomFilter", &Scene::bloomFilter, &Scene::setBloomFilter),
        floatField("bloomRadius", &Scene::bloomRadius, &Scene::setBloomRadius, kNonNegative),
        floatField("bloomIntensity", &Scene::bloomIntensity, &Scene::setBloomIntensity, kNonNegative),
        boolField("depthTint", &Scene::depthTint, &Scene::setDepthTint),
        floatField("depthTintStart", &Scene::depthTintStart, &Scene::setDepthTintStart),
        floatField("depthTintBias", &Scene::depthTintBias, &Scene::setDepthTintBias),
        floatField("depthTintOpacity", &Scene::depthTintOpacity, &Scene::setDepthTintOpacity, {0.0, 1.0}),
        colorField("depthTintColor", &Scene::depthTintColor, &Scene::setDepthTintColor),
        boolField("vibranceFilter", &Scene::vibranceFilter, &Scene::setVibranceFilter),
        floatField("vibranceStrength", &Scene::vibranceStrength, &Scene::setVibranceStrength),
    };
    return table;
}

}  // namespace

FieldFamily sceneFieldFamily() {
    return fieldFamily<Scene>("scene", sceneFields(), [](Scene& scene) { return &scene; }, {},
                              [] { return std::make_shared<Scene>(); });
}

}  // namespace korvane::cli
