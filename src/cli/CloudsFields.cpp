// The fields of a cloud as the `clouds` options set them, and the clouds layer's info: every cloud
// with its fields.
#include "cli/FieldFamilies.h"

#include "scene/layers/LayerEditingGeometry.h"
#include "scene/layers/clouds/CloudsLayer.h"

namespace korvane::cli {

namespace {

// Set as the footprint "x0,y0,x1,y1" (corners in any order; the heights of the box stay), written
// as the whole box.
Field<Cloud> boundingBoxField() {
    return {"boundingBox",
            [](Cloud& cloud, const std::string& text) -> SetError {
                std::optional<Rect> footprint = parseRect(text);
                if (!footprint) return "'" + text + "' is not a footprint x0,y0,x1,y1";
                constexpr double kMinimum = LayerEditingGeometry::kMinimumFootprintExtent;
                if (footprint->size.width < kMinimum || footprint->size.height < kMinimum) {
                    return "'" + text + "' is narrower than the smallest cloud (0.5 by 0.5)";
                }
                Box box = cloud.boundingBox();
                box.start.x = static_cast<float>(footprint->minX());
                box.start.y = static_cast<float>(footprint->minY());
                box.end.x = static_cast<float>(footprint->maxX());
                box.end.y = static_cast<float>(footprint->maxY());
                cloud.setBoundingBox(box);
                return std::nullopt;
            },
            [](const Cloud& cloud, JsonWriter& w) {
                const Box& box = cloud.boundingBox();
                w.beginObject();
                for (auto [name, corner] : {std::pair{"start", box.start}, std::pair{"end", box.end}}) {
                    w.key(name);
                    w.beginArray();
                    for (float coordinate : {corner.x, corner.y, corner.z}) w.value(coordinate);
                    w.endArray();
                }
                w.endObject();
            }};
}

// 0: soft, ellipsoidal edges; 1: hard box edges.
Field<Cloud> edgeModeField() {
    return {"edgeMode",
            [](Cloud& cloud, const std::string& text) -> SetError {
                std::optional<long long> mode = parseInteger(text);
                if (!mode || (*mode != 0 && *mode != 1)) {
                    return "'" + text + "' is not an edge mode (0 soft, 1 hard)";
                }
                cloud.setEdgeMode(static_cast<int>(*mode));
                return std::nullopt;
            },
            [](const Cloud& cloud, JsonWriter& w) { w.value(cloud.edgeMode()); }};
}

void writeCloud(const Cloud& cloud, JsonWriter& w) {
    w.beginObject();
    w.key("name");
    w.value(cloud.name());
    writeFields(cloudFields(), cloud, w);
    w.key("textureName");
    if (cloud.cloudsTexture()) {
        w.value(cloud.cloudsTexture()->name());
    } else {
        w.value("none");
    }
    w.endObject();
}

}  // namespace

const FieldTable<Cloud>& cloudFields() {
    static const FieldTable<Cloud> table = {
        boundingBoxField(),
        floatField("density", &Cloud::density, &Cloud::setDensity, kNonNegative),
        floatField("cover", &Cloud::cover, &Cloud::setCover),
        floatField("sharpness", &Cloud::sharpness, &Cloud::setSharpness, kNonNegative),
        floatField("heightAboveGround", &Cloud::heightAboveGround, &Cloud::setHeightAboveGround, kHeight),
        floatField("height", &Cloud::height, &Cloud::setHeight, kHeight),
        edgeModeField(),
    };
    return table;
}

void writeCloudsLayerInfo(const BaseSceneLayer& layer, JsonWriter& w) {
    auto* clouds = dynamic_cast<const CloudsLayer*>(&layer);
    if (!clouds) return;
    w.key("clouds");
    w.beginArray();
    for (const auto& cloud : clouds->clouds()) writeCloud(*cloud, w);
    w.endArray();
}

}  // namespace korvane::cli
