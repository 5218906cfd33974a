#pragma once

#include <array>
#include <memory>
#include <string>

#include "foundation/Geometry.h"
#include "foundation/KeyValueObserving.h"
#include "scene/BaseSceneLayer.h"

namespace korvane {

// One entry of the camera types: the stored type string, the editor's menu title and the engine's
// camera type that renders it.
struct CameraTypeInfo {
    const char* cameraType;
    const char* menuTitle;
    const char* rendererType;
};
// The camera types in the editor menu's order.
const std::array<CameraTypeInfo, 5>& cameraTypes();

// The scene's camera: a type, an eye and a target placed on the plan (plan coordinates) with
// heights above the highest ground or water there, and the type's lens parameter. The terrain
// triangulation and the small-object layers use the eye to spend detail near the viewer; with
// several camera layers the last one in the stack counts.
class CameraLayer final : public BaseSceneLayer, public KeyValueObservable {
public:
    // initWithScene: angle 90, maxAngle 180, scale 5, then the "perspective" type and its defaults.
    explicit CameraLayer(Scene* scene = nullptr);
    // A layer with no scene with this layer's type and then all of its values.
    std::shared_ptr<BaseSceneLayer> copy() const override;

    // Layer table
    std::string name() const override { return "Camera"; }
    std::string icon() const override { return "CameraLayerIcon.png"; }
    std::string editLayerClassName() const override { return "EditCameraLayerViewController"; }
    int orderForFunctionsList() const override { return 50; }

    // Properties; every setter stores and posts scene-did-change (no undo).
    const std::string& cameraType() const { return cameraType_; }
    // Stores the type and moves the camera to that type's default placement.
    void setCameraType(const std::string& type);
    // The placement and lens defaults of a type; an unknown type changes nothing.
    void setDefaultsForCameraType(const std::string& type);
    Point fromPoint() const { return fromPoint_; }
    void setFromPoint(Point point);
    float fromPointHeight() const { return fromPointHeight_; }
    void setFromPointHeight(float height);
    Point toPoint() const { return toPoint_; }
    void setToPoint(Point point);
    float toPointHeight() const { return toPointHeight_; }
    void setToPointHeight(float height);
    float focal() const { return focal_; }
    void setFocal(float focal);
    float angle() const { return angle_; }
    void setAngle(float degrees);
    float maxAngle() const { return maxAngle_; }
    void setMaxAngle(float degrees);
    float scale() const { return scale_; }
    void setScale(float scale);

    // Shifts both points by half the size difference (announced as changes of "fromPoint" and
    // "toPoint"), so the camera keeps its place over the centred terrain. Posts nothing.
    void sceneSizeDidChange(Size fromSize, Size toSize) override;
    // A weight falling off from 1 at the eye to 0 at 30 scene units (Manhattan) and beyond; always
    // 0.5 for "topdown". x and y are plan coordinates, z is ignored.
    float distanceFromPointInScene(const std::array<float, 3>& point) const;

    // Creates the engine's camera "camera" for the renderer's output size.
    void appendToRenderer(BaseRenderer& renderer) override;

    // Archive: "cameraType", "fromPoint", "toPoint", "fromPointHeight", "toPointHeight", "focal",
    // "angle", "maxAngle", "scale", then "scene". Decoded zero lens values take their defaults.
    std::string archiveClassName() const override { return "CameraLayer"; }
    void encode(KeyedArchiver& coder) const override;
    void decode(KeyedUnarchiver& coder) override;

private:
    std::string cameraType_;
    Point fromPoint_{0.5, 0.5};
    float fromPointHeight_ = 0.15f;
    Point toPoint_{2.0, 2.0};
    float toPointHeight_ = 0.15f;
    float focal_ = 1.0f;
    float angle_ = 90.0f;
    float maxAngle_ = 180.0f;
    float scale_ = 5.0f;
};

}  // namespace korvane
