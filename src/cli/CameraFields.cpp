// `set` keys of the camera layer; points are plan coordinates "x,y".
#include "cli/FieldFamilies.h"

#include "scene/layers/camera/CameraLayer.h"

namespace korvane::cli {

namespace {

// Setting the type also moves the camera to the type's default placement, as the editor does.
Field<CameraLayer> cameraTypeField() {
    return {"cameraType",
            [](CameraLayer& camera, const std::string& text) -> SetError {
                std::string known;
                for (const CameraTypeInfo& type : cameraTypes()) {
                    if (text == type.cameraType) {
                        camera.setCameraType(text);
                        return std::nullopt;
                    }
                    known += known.empty() ? "" : ", ";
                    known += type.cameraType;
                }
                return "'" + text + "' is not a camera type (" + known + ")";
            },
            [](const CameraLayer& camera, JsonWriter& w) { w.value(camera.cameraType()); }};
}

const FieldTable<CameraLayer>& cameraFields() {
    static const FieldTable<CameraLayer> table = {
        cameraTypeField(),
        pointField("fromPoint", &CameraLayer::fromPoint, &CameraLayer::setFromPoint),
        floatField("fromPointHeight", &CameraLayer::fromPointHeight, &CameraLayer::setFromPointHeight),
        pointField("toPoint", &CameraLayer::toPoint, &CameraLayer::setToPoint),
        floatField("toPointHeight", &CameraLayer::toPointHeight, &CameraLayer::setToPointHeight),
        floatField("focal", &CameraLayer::focal, &CameraLayer::setFocal, kNonNegative),
        floatField("angle", &CameraLayer::angle, &CameraLayer::setAngle, kNonNegative),
        floatField("maxAngle", &CameraLayer::maxAngle, &CameraLayer::setMaxAngle, kNonNegative),
        floatField("scale", &CameraLayer::scale, &CameraLayer::setScale, kNonNegative),
    };
    return table;
}

}  // namespace

FieldFamily cameraFieldFamily() {
    return fieldFamily<CameraLayer>("camera", cameraFields(), lastLayerOfClass<CameraLayer>,
                                    "the document has no camera layer",
                                    [] { return std::make_shared<CameraLayer>(nullptr); });
}

}  // namespace korvane::cli
