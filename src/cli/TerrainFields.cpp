// `set` keys of the terrain layer: how it meets the ground outside the scene and its smoothing.
#include "cli/FieldFamilies.h"

#include "scene/layers/terrain/TerrainLayer.h"

namespace korvane::cli {

namespace {

Field<TerrainLayer> borderModeField() {
    return {"borderMode",
            [](TerrainLayer& terrain, const std::string& text) -> SetError {
                std::optional<long long> mode = parseInteger(text);
                if (!mode || *mode < TerrainLayer::kBorderLoweredToZero || *mode > TerrainLayer::kBorderExtendedEdge) {
                    return "'" + text + "' is not a border mode (0 lowered to zero, 1 sloped apron, 2 extended edge)";
                }
                terrain.setBorderMode(static_cast<int32_t>(*mode));
                return std::nullopt;
            },
            [](const TerrainLayer& terrain, JsonWriter& w) { w.value(static_cast<int>(terrain.borderMode())); }};
}

const FieldTable<TerrainLayer>& terrainFields() {
    static const FieldTable<TerrainLayer> table = {
        borderModeField(),
        // An angle in degrees.
        floatField("smoothingFactor", &TerrainLayer::smoothingFactor, &TerrainLayer::setSmoothingFactor,
                   {0.0, 180.0}),
    };
    return table;
}

}  // namespace

FieldFamily terrainFieldFamily() {
    return fieldFamily<TerrainLayer>("terrain", terrainFields(), lastLayerOfClass<TerrainLayer>,
                                     "the document has no terrain layer",
                                     [] { return std::make_shared<TerrainLayer>(nullptr); });
}

}  // namespace korvane::cli
