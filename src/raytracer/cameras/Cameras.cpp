// The stock cameras: perspective, architect, angular and orthographic. They share one frame:
// Z towards "to", X to the image's right and Y down the image, with row 0 at the top.

#include <cmath>
#include <string>

#include "raytracer/core/Environment.h"
#include "raytracer/core/Log.h"
#include "raytracer/plugins.h"

namespace yafaray {
namespace {

constexpr float kDegToRad = kPi / 180.f;

struct cameraFrame_t {
    point3d_t from;
    vector3d_t X, Y, Z;
    int resx = 320, resy = 200;
    float aspect = 1.f;  // aspect_ratio · resy / resx
};

cameraFrame_t readFrame(paraMap_t& params) {
    point3d_t from(0.f, 1.f, 0.f), to(0.f, 0.f, 0.f), up(0.f, 1.f, 1.f);
    int resx = 320, resy = 200;
    float aspectRatio = 1.f, nearClip = 0.f, farClip = -1.f;
    std::string viewName;
    params.getParam("from", from);
    params.getParam("to", to);
    params.getParam("up", up);
    params.getParam("resx", resx);
    params.getParam("resy", resy);
    params.getParam("aspect_ratio", aspectRatio);
    params.getParam("nearClip", nearClip);
    params.getParam("farClip", farClip);
    params.getParam("view_name", viewName);
    cameraFrame_t f;
    f.from = from;
    f.resx = std::max(1, resx);
    f.resy = std::max(1, resy);
    f.Z = (to - from).normalized();
    f.X = cross(f.Z, up - from).normalized();
    f.Y = cross(f.Z, f.X);
    f.aspect = aspectRatio * float(f.resy) / float(f.resx);
    return f;
}

// Concentric mapping of the unit square onto the unit disc.
void squareToDisc(float u, float v, float& x, float& y) {
    const float a = 2.f * u - 1.f, b = 2.f * v - 1.f;
    if (a == 0.f && b == 0.f) {
        x = y = 0.f;
        return;
    }
    float r, phi;
    if (std::fabs(a) > std::fabs(b)) {
        r = a;
        phi = (kPi / 4.f) * (b / a);
    } else {
        r = b;
        phi = kPi / 2.f - (kPi / 4.f) * (a / b);
    }
    x = r * std::cos(phi);
    y = r * std::sin(phi);
}

class perspectiveCam_t : public camera_t {
public:
    perspectiveCam_t(const cameraFrame_t& f, float focal, float aperture, float dofDistance,
                     vector3d_t vertical)
        : f_(f), focal_(focal), aperture_(aperture), dofDistance_(dofDistance), vertical_(vertical) {
        resX = f.resx;
        resY = f.resy;
    }

    // The image plane one focal length away is one unit wide.
    float pixelSpread() const override { return 1.f / (float(resX) * focal_); }

    ray_t shootRay(float px, float py, float lu, float lv, float& wt) const override {
        wt = 1.f;
        ray_t ray;
        ray.from = f_.from;
        ray.dir = (f_.Z * focal_ + f_.X * (px / resX - 0.5f) + vertical_ * (f_.aspect * (py / resY - 0.5f)))
                      .normalized();
        ray.tmin = 0.f;
        if (aperture_ > 0.f && dofDistance_ > 0.f) {
            float dx, dy;
            squareToDisc(lu, lv, dx, dy);
            const vector3d_t lens = (f_.X * dx + f_.Y * dy) * aperture_;
            ray.from = f_.from + lens;
            ray.dir = (ray.dir * dofDistance_ - lens).normalized();
        }
        return ray;
    }

private:
    cameraFrame_t f_;
    float focal_, aperture_, dofDistance_;
    vector3d_t vertical_;  // direction of increasing image rows
};

camera_t* makePerspective(paraMap_t& params, bool architect) {
    const cameraFrame_t f = readFrame(params);
    float focal = 1.f, aperture = 0.f, dofDistance = 0.f, bokehRotation = 0.f;
    std::string bokehType, bokehBias;
    params.getParam("focal", focal);
    params.getParam("aperture", aperture);
    params.getParam("dof_distance", dofDistance);
    params.getParam("bokeh_type", bokehType);
    params.getParam("bokeh_bias", bokehBias);
    params.getParam("bokeh_rotation", bokehRotation);
    if (focal <= 0.f) focal = 1.f;
    // The architect camera keeps world verticals vertical: its image rows run along world −Z.
    const vector3d_t vertical = architect ? vector3d_t(0.f, 0.f, -1.f) : f.Y;
    return new perspectiveCam_t(f, focal, aperture, dofDistance, vertical);
}

camera_t* perspectiveFactory(paraMap_t& params, renderEnvironment_t&) {
    return makePerspective(params, false);
}
camera_t* architectFactory(paraMap_t& params, renderEnvironment_t&) {
    return makePerspective(params, true);
}

class angularCam_t : public camera_t {
public:
    enum class projection_t { equidistant, orthographic, stereographic, equisolid, rectilinear };

    angularCam_t(const cameraFrame_t& f, float angle, float maxRadius, bool circular, bool mirrored,
                 projection_t p)
        : f_(f), angle_(angle), maxRadius_(maxRadius), circular_(circular), projection_(p) {
        resX = f.resx;
        resY = f.resy;
        xAxis_ = mirrored ? -f.X : f.X;
    }

    ray_t shootRay(float px, float py, float, float, float& wt) const override {
        ray_t ray;
        ray.from = f_.from;
        ray.tmin = 0.f;
        const float u = 1.f - 2.f * px / resX;
        const float v = (2.f * py / resY - 1.f) * f_.aspect;
        const float r = std::sqrt(u * u + v * v);
        wt = (circular_ && r > maxRadius_) ? 0.f : 1.f;
        float phi = 0.f;
        switch (projection_) {
            case projection_t::equidistant:
                phi = r * angle_;
                break;
            case projection_t::orthographic:
                phi = std::asin(std::min(1.f, r * std::sin(angle_)));
                break;
            case projection_t::stereographic:
                phi = 2.f * std::atan(r * std::tan(angle_ / 2.f));
                break;
            case projection_t::equisolid:
                phi = 2.f * std::asin(std::min(1.f, r * std::sin(angle_ / 2.f)));
                break;
            case projection_t::rectilinear:
                phi = std::atan(r * std::tan(angle_));
                break;
        }
        const float psi = std::atan2(v, u);
        ray.dir = ((xAxis_ * std::cos(psi) + f_.Y * std::sin(psi)) * std::sin(phi) + f_.Z * std::cos(phi))
                      .normalized();
        return ray;
    }

private:
    cameraFrame_t f_;
    float angle_, maxRadius_;
    bool circular_;
    projection_t projection_;
    vector3d_t xAxis_;
};

camera_t* angularFactory(paraMap_t& params, renderEnvironment_t&) {
    const cameraFrame_t f = readFrame(params);
    float angle = 90.f, maxAngle = -1.f;
    bool circular = true, mirrored = false;
    std::string projection = "equidistant";
    params.getParam("angle", angle);
    params.getParam("max_angle", maxAngle);
    params.getParam("circular", circular);
    params.getParam("mirrored", mirrored);
    params.getParam("projection", projection);
    if (maxAngle <= 0.f) maxAngle = angle;
    angle = std::clamp(angle, 0.01f, 180.f);
    angularCam_t::projection_t p = angularCam_t::projection_t::equidistant;
    if (projection == "orthographic")
        p = angularCam_t::projection_t::orthographic;
    else if (projection == "stereographic")
        p = angularCam_t::projection_t::stereographic;
    else if (projection == "equisolid_angle")
        p = angularCam_t::projection_t::equisolid;
    else if (projection == "rectilinear")
        p = angularCam_t::projection_t::rectilinear;
    return new angularCam_t(f, angle * kDegToRad, maxAngle / angle, circular, mirrored, p);
}

class orthoCam_t : public camera_t {
public:
    orthoCam_t(const cameraFrame_t& f, float scale) : f_(f), scale_(scale) {
        resX = f.resx;
        resY = f.resy;
    }

    ray_t shootRay(float px, float py, float, float, float& wt) const override {
        wt = 1.f;
        ray_t ray;
        ray.from =
            f_.from + f_.X * ((px / resX - 0.5f) * scale_) + f_.Y * (f_.aspect * (py / resY - 0.5f) * scale_);
        ray.dir = f_.Z;
        ray.tmin = 0.f;
        return ray;
    }

private:
    cameraFrame_t f_;
    float scale_;
};

camera_t* orthographicFactory(paraMap_t& params, renderEnvironment_t&) {
    const cameraFrame_t f = readFrame(params);
    float scale = 1.f;
    params.getParam("scale", scale);
    return new orthoCam_t(f, scale);
}

}  // namespace

void registerCameras(renderEnvironment_t& env) {
    env.registerFactory("perspective", &perspectiveFactory);
    env.registerFactory("architect", &architectFactory);
    env.registerFactory("angular", &angularFactory);
    env.registerFactory("orthographic", &orthographicFactory);
}

}  // namespace yafaray
