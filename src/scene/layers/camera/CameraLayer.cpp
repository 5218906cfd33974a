#include "scene/layers/camera/CameraLayer.h"

#include <algorithm>
#include <cmath>

#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "raytracer/interface.h"
#include "scene/BaseRenderer.h"
#include "scene/CheckedValue.h"
#include "scene/Scene.h"

namespace korvane {

namespace {

constexpr const char* kPerspective = "perspective";
constexpr const char* kArchitect = "architect";
constexpr const char* kAngular = "angular";
constexpr const char* kOrthographic = "orthographic";
constexpr const char* kTopdown = "topdown";

constexpr float kDefaultFocal = 1.0f;
constexpr float kDefaultAngle = 90.0f;
constexpr float kDefaultMaxAngle = 180.0f;
constexpr float kDefaultScale = 5.0f;
// The bird's-eye camera looks straight down from this height.
constexpr double kTopdownEyeHeight = 100.0;
// Beyond this Manhattan distance from the eye, distanceFromPointInScene is 0.
constexpr float kDistanceFalloff = 30.0f;

constexpr const char* kFromPointKey = "fromPoint";
constexpr const char* kToPointKey = "toPoint";

}  // namespace

const std::array<CameraTypeInfo, 5>& cameraTypes() {
    static const std::array<CameraTypeInfo, 5> types = {{
        {kPerspective, "Perspective", kPerspective},
        {kArchitect, "Architect", kArchitect},
        {kAngular, "Angular", kAngular},
        {kOrthographic, "Orthographic", kOrthographic},
        {kTopdown, "Bird", kOrthographic},
    }};
    return types;
}

CameraLayer::CameraLayer(Scene* scene) : BaseSceneLayer(scene) {
    angle_ = kDefaultAngle;
    maxAngle_ = kDefaultMaxAngle;
    scale_ = kDefaultScale;
    setCameraType(kPerspective);
}

std::shared_ptr<BaseSceneLayer> CameraLayer::copy() const {
    auto layer = std::make_shared<CameraLayer>();
    layer->setCameraType(cameraType_);
    layer->setFromPoint(fromPoint_);
    layer->setToPoint(toPoint_);
    layer->setFromPointHeight(fromPointHeight_);
    layer->setToPointHeight(toPointHeight_);
    layer->setFocal(focal_);
    layer->setAngle(angle_);
    layer->setMaxAngle(maxAngle_);
    layer->setScale(scale_);
    return layer;
}

void CameraLayer::setCameraType(const std::string& type) {
    cameraType_ = type;
    setDefaultsForCameraType(type);
    postSceneDidChange();
}

void CameraLayer::setDefaultsForCameraType(const std::string& type) {
    if (type == kPerspective || type == kArchitect || type == kAngular) {
        fromPoint_ = {0.5, 0.5};
        fromPointHeight_ = 0.15f;
        toPoint_ = {2.0, 2.0};
        toPointHeight_ = 0.15f;
        focal_ = kDefaultFocal;
    } else if (type == kTopdown) {
        fromPoint_ = {5.0, 5.0};
        scale_ = kDefaultScale;
    } else if (type == kOrthographic) {
        fromPoint_ = {0.5, 0.5};
        fromPointHeight_ = 3.0f;
        toPoint_ = {2.0, 2.0};
        toPointHeight_ = 0.15f;
        scale_ = kDefaultScale;
    }
}

void CameraLayer::setFromPoint(Point point) {
    fromPoint_ = point;
    postSceneDidChange();
}

void CameraLayer::setFromPointHeight(float height) {
    fromPointHeight_ = height;
    postSceneDidChange();
}

void CameraLayer::setToPoint(Point point) {
    toPoint_ = point;
    postSceneDidChange();
}

void CameraLayer::setToPointHeight(float height) {
    toPointHeight_ = height;
    postSceneDidChange();
}

void CameraLayer::setFocal(float focal) {
    focal_ = focal;
    postSceneDidChange();
}

void CameraLayer::setAngle(float degrees) {
    angle_ = degrees;
    postSceneDidChange();
}

void CameraLayer::setMaxAngle(float degrees) {
    maxAngle_ = degrees;
    postSceneDidChange();
}

void CameraLayer::setScale(float scale) {
    scale_ = scale;
    postSceneDidChange();
}

void CameraLayer::sceneSizeDidChange(Size fromSize, Size toSize) {
    // Half the difference in single precision. Rounding the difference before halving gives the same
    // value (halving is exact) and keeps the rounding: GCC 12's vectoriser drops a float round trip of
    // the halved pair of doubles.
    const double dx = static_cast<float>(toSize.width - fromSize.width) / 2.0f;
    const double dy = static_cast<float>(toSize.height - fromSize.height) / 2.0f;
    willChange(KeyValueChangeKind::Setting, {}, kFromPointKey);
    fromPoint_ = {fromPoint_.x + dx, fromPoint_.y + dy};
    didChange(KeyValueChangeKind::Setting, {}, kFromPointKey);
    willChange(KeyValueChangeKind::Setting, {}, kToPointKey);
    toPoint_ = {toPoint_.x + dx, toPoint_.y + dy};
    didChange(KeyValueChangeKind::Setting, {}, kToPointKey);
}

float CameraLayer::distanceFromPointInScene(const std::array<float, 3>& point) const {
    if (cameraType_ == kTopdown) return 0.5f;
    const float manhattan =
        static_cast<float>(std::fabs(point[0] - fromPoint_.x) + std::fabs(point[1] - fromPoint_.y));
    return 1.0f - std::min(1.0f, manhattan / kDistanceFalloff);
}

void CameraLayer::appendToRenderer(BaseRenderer& renderer) {
    yafaray::yafrayInterface_t* yi = renderer.yafrayinterface();
    if (!renderer.isYafarayRenderer() || !yi) return;

    const bool topdown = cameraType_ == kTopdown;
    const std::string rendererType = topdown ? kOrthographic : cameraType_;
    const Scene* scene = this->scene();
    const double sceneHeight = scene ? scene->size().height : 0.0;
    // Plan points are ground (x, Hs − y); heights are measured from the ground or the water above it.
    const Point fromGround{fromPoint_.x, sceneHeight - fromPoint_.y};
    const Point toGround{toPoint_.x, sceneHeight - toPoint_.y};
    const float zFrom =
        (scene ? scene->highestTerrainElevationAtScenePoint(fromGround, true) : 0.0f) + fromPointHeight_;
    const float zTo = scene ? scene->highestTerrainElevationAtScenePoint(toGround, true) : 0.0f;

    yi->paramsClearAll();
    if (topdown) {
        yi->paramsSetPoint("from", fromGround.x, fromGround.y, kTopdownEyeHeight);
        yi->paramsSetPoint("to", fromGround.x, fromGround.y, 0.0);
        yi->paramsSetPoint("up", fromGround.x, fromGround.y + 1.0, 0.0);
    } else {
        yi->paramsSetPoint("from", fromGround.x, fromGround.y, zFrom);
        yi->paramsSetPoint("to", toGround.x, toGround.y, zTo + toPointHeight_);
        // A point one unit above the eye: world z is up.
        yi->paramsSetPoint("up", fromGround.x, fromGround.y, zFrom + 1.0);
    }
    yi->paramsSetString("type", rendererType.c_str());
    const Size output = renderer.outputSize();
    yi->paramsSetInt("resx", static_cast<int>(output.width));
    yi->paramsSetInt("resy", static_cast<int>(output.height));
    yi->paramsSetFloat("aspect_ratio", 1.0);
    if (cameraType_ == kPerspective || cameraType_ == kArchitect) {
        yi->paramsSetFloat("focal", focal_);
    } else if (cameraType_ == kAngular) {
        yi->paramsSetFloat("angle", angle_);
        yi->paramsSetFloat("max_angle", maxAngle_);
        yi->paramsSetBool("circular", false);
    } else if (cameraType_ == kOrthographic || topdown) {
        yi->paramsSetFloat("scale", scale_);
    }
    yi->createCamera("camera");
}

void CameraLayer::encode(KeyedArchiver& coder) const {
    coder.encodeString("cameraType", cameraType_);
    coder.encodePoint(kFromPointKey, fromPoint_);
    coder.encodePoint(kToPointKey, toPoint_);
    coder.encodeFloat("fromPointHeight", fromPointHeight_);
    coder.encodeFloat("toPointHeight", toPointHeight_);
    coder.encodeFloat("focal", focal_);
    coder.encodeFloat("angle", angle_);
    coder.encodeFloat("maxAngle", maxAngle_);
    coder.encodeFloat("scale", scale_);
    BaseSceneLayer::encode(coder);
}

void CameraLayer::decode(KeyedUnarchiver& coder) {
    BaseSceneLayer::decode(coder);
    // Fields are assigned directly: the scene they would notify is itself still being decoded.
    std::optional<std::string> type = coder.decodeString("cameraType");
    cameraType_ = type ? *type : kPerspective;
    setDefaultsForCameraType(cameraType_);
    fromPoint_ = coder.decodePoint(kFromPointKey);
    toPoint_ = coder.decodePoint(kToPointKey);
    fromPointHeight_ = coder.decodeFloat("fromPointHeight");
    toPointHeight_ = coder.decodeFloat("toPointHeight");
    // A lens value of 0 is one the file does not hold (older files): the type's default stays, and
    // takes the place of a negative one too.
    auto lens = [&](const char* key, const char* what, float fallback) {
        const float value = replacedValue(coder, what, coder.decodeFloat(key), kNonNegativeRange, fallback);
        return value == 0.0f ? fallback : value;
    };
    focal_ = lens("focal", "camera focal length", kDefaultFocal);
    angle_ = lens("angle", "camera angle", kDefaultAngle);
    maxAngle_ = lens("maxAngle", "camera maximum angle", kDefaultMaxAngle);
    scale_ = lens("scale", "camera scale", kDefaultScale);
}

}  // namespace korvane
