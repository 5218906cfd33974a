// `set` keys of the sun ("lighting.sun.power"), the fields the `lights` options reach, and the
// lighting layer's info: every light with its fields.
#include "cli/FieldFamilies.h"

#include <cmath>
#include <sstream>

#include "scene/layers/lighting/LightingLayer.h"

namespace korvane::cli {

namespace {

// A direction lies in the unit disc: (0, 0) overhead, length 1 on the horizon.
Field<BaseDirectionalLight> directionField() {
    return {"direction",
            [](BaseDirectionalLight& light, const std::string& text) -> SetError {
                std::optional<Point> direction = parsePoint(text);
                if (!direction) return notAPoint(text);
                if (std::hypot(direction->x, direction->y) > 1.0) {
                    return "'" + text + "' lies outside the unit disc (x² + y² must not exceed 1)";
                }
                light.setDirection(*direction);
                return std::nullopt;
            },
            [](const BaseDirectionalLight& light, JsonWriter& w) { writePoint(w, light.direction()); }};
}

// A point light stands on the plan: 0..width, 0..height of its scene.
Field<PointLight> positionField() {
    return {"position",
            [](PointLight& light, const std::string& text) -> SetError {
                std::optional<Point> position = parsePoint(text);
                if (!position) return notAPoint(text);
                const Scene* scene = light.lightingLayer() ? light.lightingLayer()->scene() : nullptr;
                if (scene && (position->x < 0 || position->x > scene->size().width || position->y < 0 ||
                              position->y > scene->size().height)) {
                    std::ostringstream reason;
                    reason << "'" << text << "' lies outside the scene (0,0 to " << scene->size().width << ","
                           << scene->size().height << ")";
                    return reason.str();
                }
                light.setPosition(*position);
                return std::nullopt;
            },
            [](const PointLight& light, JsonWriter& w) { writePoint(w, light.position()); }};
}

void writeLight(const BaseLight& light, JsonWriter& w) {
    w.beginObject();
    w.key("class");
    w.value(light.archiveClassName());
    w.key("name");
    w.value(light.name());
    w.key("userName");
    w.value(light.userName());
    w.key("canBeDeleted");
    w.value(light.canBeDeleted());
    if (auto* directional = dynamic_cast<const BaseDirectionalLight*>(&light)) {
        writeFields(directionalLightFields(), *directional, w);
    } else if (auto* point = dynamic_cast<const PointLight*>(&light)) {
        writeFields(pointLightFields(), *point, w);
    }
    w.endObject();
}

}  // namespace

const FieldTable<BaseDirectionalLight>& directionalLightFields() {
    static const FieldTable<BaseDirectionalLight> table = {
        colorField("color", &BaseDirectionalLight::color, &BaseDirectionalLight::setColor),
        directionField(),
        floatField("power", &BaseDirectionalLight::power, &BaseDirectionalLight::setPower, kNonNegative),
        floatField("shadowAngle", &BaseDirectionalLight::shadowAngle, &BaseDirectionalLight::setShadowAngle,
                   kNonNegative),
    };
    return table;
}

const FieldTable<PointLight>& pointLightFields() {
    static const FieldTable<PointLight> table = {
        colorField("color", &PointLight::color, &PointLight::setColor),
        positionField(),
        floatField("power", &PointLight::power, &PointLight::setPower, kNonNegative),
        floatField("heightOverGround", &PointLight::heightOverGround, &PointLight::setHeightOverGround,
                   kHeight),
    };
    return table;
}

FieldFamily sunFieldFamily() {
    auto findSun = [](Scene& scene) -> BaseDirectionalLight* {
        LightingLayer* lighting = lastLayerOfClass<LightingLayer>(scene);
        return lighting ? lighting->sunLight().get() : nullptr;
    };
    return fieldFamily<BaseDirectionalLight>("lighting.sun", directionalLightFields(), findSun,
                                             "the document has no lighting layer", [] {
                                                 auto lighting = std::make_shared<LightingLayer>(nullptr);
                                                 // Shares the layer's ownership: the sun lives in it.
                                                 return std::shared_ptr<BaseDirectionalLight>(
                                                     lighting, lighting->sunLight().get());
                                             });
}

void writeLightingLayerInfo(const BaseSceneLayer& layer, JsonWriter& w) {
    auto* lighting = dynamic_cast<const LightingLayer*>(&layer);
    if (!lighting) return;
    w.key("lights");
    w.beginArray();
    for (const auto& light : lighting->lights()) writeLight(*light, w);
    w.endArray();
}

}  // namespace korvane::cli
