#include <climits>
#include <cmath>

#include "raytracer/core/Film.h"
#include "raytracer/core/Log.h"
#include "raytracer/core/RenderContext.h"
#include "raytracer/core/Scene.h"
#include "raytracer/interface.h"
#include "raytracer/plugins.h"

namespace yafaray {
namespace {

float srgbToLinear(float c) {
    return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f);
}

template <typename T>
matrix4x4_t toMatrix(const T m[4][4], bool transpose) {
    matrix4x4_t out;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) out.m[i][j] = transpose ? double(m[j][i]) : double(m[i][j]);
    }
    return out;
}

}  // namespace

yafrayInterface_t::yafrayInterface_t() : scene_(std::make_unique<scene_t>()), nextFreeID_(INT_MAX) {
    registerCameras(env_);
    registerBuiltinBackgrounds(env_);
    registerBuiltinIntegrators(env_);
}

yafrayInterface_t::~yafrayInterface_t() = default;

paraMap_t& yafrayInterface_t::current() {
    return currentList_ >= 0 && size_t(currentList_) < list_.size() ? list_[currentList_] : params_;
}

void yafrayInterface_t::paramsClearAll() {
    params_.clear();
    list_.clear();
    currentList_ = -1;
}

void yafrayInterface_t::paramsSetString(const char* name, const char* s) {
    current().setParam(name, parameter_t(std::string(s ? s : "")));
}
void yafrayInterface_t::paramsSetBool(const char* name, bool b) {
    current().setParam(name, parameter_t(b));
}
void yafrayInterface_t::paramsSetInt(const char* name, int i) {
    current().setParam(name, parameter_t(i));
}
void yafrayInterface_t::paramsSetFloat(const char* name, double f) {
    current().setParam(name, parameter_t(f));
}
void yafrayInterface_t::paramsSetPoint(const char* name, double x, double y, double z) {
    current().setParam(name, parameter_t(point3d_t(float(x), float(y), float(z))));
}

colorA_t yafrayInterface_t::inputColor(float r, float g, float b, float a) const {
    if (inputColorSpace_ == "sRGB") return colorA_t(srgbToLinear(r), srgbToLinear(g), srgbToLinear(b), a);
    if (inputGamma_ != 1.f) {
        return colorA_t(std::pow(std::max(0.f, r), inputGamma_), std::pow(std::max(0.f, g), inputGamma_),
                        std::pow(std::max(0.f, b), inputGamma_), a);
    }
    return colorA_t(r, g, b, a);
}

void yafrayInterface_t::paramsSetColor(const char* name, float r, float g, float b, float a) {
    current().setParam(name, parameter_t(inputColor(r, g, b, a)));
}
void yafrayInterface_t::paramsSetColor(const char* name, const float* rgb, bool withAlpha) {
    if (!rgb) return;
    // Set directly rather than through the other (virtual) form, so a tracing subclass sees one call.
    current().setParam(name, parameter_t(inputColor(rgb[0], rgb[1], rgb[2], withAlpha ? rgb[3] : 1.f)));
}
void yafrayInterface_t::paramsSetMatrix(const char* name, const float m[4][4], bool transpose) {
    current().setParam(name, parameter_t(toMatrix(m, transpose)));
}
void yafrayInterface_t::paramsSetMatrix(const char* name, const double m[4][4], bool transpose) {
    current().setParam(name, parameter_t(toMatrix(m, transpose)));
}

void yafrayInterface_t::paramsStartList() {
    if (list_.empty()) list_.emplace_back();
    currentList_ = 0;
}
void yafrayInterface_t::paramsPushList() {
    list_.emplace_back();
    currentList_ = static_cast<int>(list_.size()) - 1;
}
void yafrayInterface_t::paramsEndList() {
    currentList_ = -1;
}

void yafrayInterface_t::setInputColorSpace(const std::string& colorSpace, float gamma) {
    inputColorSpace_ = colorSpace;
    inputGamma_ = gamma > 0.f ? gamma : 1.f;
}

texture_t* yafrayInterface_t::createTexture(const char* name) {
    return env_.createTexture(name, params_);
}
material_t* yafrayInterface_t::createMaterial(const char* name) {
    return env_.createMaterial(name, params_, list_);
}
light_t* yafrayInterface_t::createLight(const char* name) {
    return env_.createLight(name, params_);
}
camera_t* yafrayInterface_t::createCamera(const char* name) {
    return env_.createCamera(name, params_);
}
background_t* yafrayInterface_t::createBackground(const char* name) {
    return env_.createBackground(name, params_);
}
integrator_t* yafrayInterface_t::createIntegrator(const char* name) {
    return env_.createIntegrator(name, params_);
}
VolumeRegion* yafrayInterface_t::createVolumeRegion(const char* name) {
    return env_.createVolumeRegion(name, params_);
}
object3d_t* yafrayInterface_t::createObject(const char* name) {
    return env_.createObject(name, params_);
}

bool yafrayInterface_t::startScene(int type) {
    if (type != 0) logMessage(logLevel_t::warning, "only the triangle scene mode is supported; using it");
    sceneStarted_ = true;
    return true;
}

bool yafrayInterface_t::startGeometry() {
    return scene_->startGeometry();
}

bool yafrayInterface_t::endGeometry() {
    if (!scene_->inGeometry()) return false;
    return scene_->endGeometry();
}

unsigned int yafrayInterface_t::getNextFreeID() {
    return nextFreeID_--;
}

bool yafrayInterface_t::startTriMesh(unsigned int& id, int vertices, int triangles, bool hasOrco, bool hasUV,
                                     int type) {
    (void)vertices, (void)triangles;
    const unsigned int newId = getNextFreeID();
    if (!scene_->startTriMesh(newId, hasOrco, hasUV, type)) return false;
    id = newId;
    return true;
}

int yafrayInterface_t::addVertex(double x, double y, double z) {
    return scene_->addVertex(point3d_t(float(x), float(y), float(z)));
}

int yafrayInterface_t::addVertex(double x, double y, double z, double, double, double) {
    // Original coordinates feed "orco" texture mapping, which no material reads yet.
    return scene_->addVertex(point3d_t(float(x), float(y), float(z)));
}

int yafrayInterface_t::addUV(float u, float v) {
    return scene_->addUV(u, v);
}

bool yafrayInterface_t::addTriangle(int a, int b, int c, const material_t* mat) {
    return scene_->addTriangle(a, b, c, -1, -1, -1, mat);
}

bool yafrayInterface_t::addTriangle(int a, int b, int c, int uvA, int uvB, int uvC, const material_t* mat) {
    return scene_->addTriangle(a, b, c, uvA, uvB, uvC, mat);
}

bool yafrayInterface_t::endTriMesh() {
    return scene_->endTriMesh();
}

bool yafrayInterface_t::smoothMesh(unsigned int id, double angle) {
    return scene_->smoothMesh(id, static_cast<float>(angle));
}

void yafrayInterface_t::render(colorOutput_t& output, progressBar_t* pb) {
    abort_.store(false);
    params_.resetReadMarks();
    std::string cameraName, integratorName, volumeName, backgroundName;
    params_.getParam("camera_name", cameraName);
    params_.getParam("integrator_name", integratorName);
    params_.getParam("volintegrator_name", volumeName);
    params_.getParam("background_name", backgroundName);
    renderSettings_t settings;
    std::string error;
    const bool settingsOk = readRenderSettings(params_, settings, error);
    for (const std::string& unused : params_.unreadParameters()) {
        logMessage(logLevel_t::warning, "unused parameter '" + unused + "' for render");
    }
    if (!settingsOk) {
        logMessage(logLevel_t::error, error);
        return;
    }
    renderContext_t ctx;
    ctx.camera = env_.getCamera(cameraName);
    if (!ctx.camera) {
        logMessage(logLevel_t::error, "render: no camera named '" + cameraName + "'");
        return;
    }
    auto* integrator = dynamic_cast<surfaceIntegrator_t*>(env_.getIntegrator(integratorName));
    if (!integrator) {
        logMessage(logLevel_t::error, "render: no surface integrator named '" + integratorName + "'");
        return;
    }
    volumeIntegrator_t* volumeIntegrator = nullptr;
    if (!volumeName.empty()) {
        volumeIntegrator = dynamic_cast<volumeIntegrator_t*>(env_.getIntegrator(volumeName));
        ctx.volumeIntegrator = volumeIntegrator;
        if (!volumeIntegrator) {
            logMessage(logLevel_t::warning,
                       "render: no volume integrator named '" + volumeName + "', rendering without");
        }
    }
    if (!backgroundName.empty()) {
        ctx.background = env_.getBackground(backgroundName);
        if (!ctx.background)
            logMessage(logLevel_t::warning, "render: no background named '" + backgroundName + "'");
    }
    if (scene_->inGeometry()) {
        logMessage(logLevel_t::warning, "render: geometry was not ended; ending it now");
        scene_->endGeometry();
    }
    if (!scene_->built()) {
        scene_->startGeometry();
        scene_->endGeometry();
    }
    ctx.scene = scene_.get();
    for (light_t* l : env_.lights()) ctx.lights.push_back(l);
    ctx.volumeRegions = env_.volumeRegions();
    if (!integrator->preprocess(ctx)) {
        logMessage(logLevel_t::error, "render: the surface integrator could not prepare the scene");
        return;
    }
    // The volume integrator takes the regions and lights and builds its grids before any tile.
    if (volumeIntegrator && !volumeIntegrator->preprocess(ctx)) {
        logMessage(logLevel_t::error, "render: the volume integrator could not prepare the scene");
        return;
    }
    if (!renderTiled(settings, ctx, *integrator, output, pb, abort_)) {
        logMessage(logLevel_t::info, "render aborted");
    }
}

void yafrayInterface_t::abort() {
    abort_.store(true);
}

void yafrayInterface_t::clearAll() {
    env_.clearAll();
    scene_->clear();
    paramsClearAll();
    sceneStarted_ = false;
    nextFreeID_ = INT_MAX;
}

}  // namespace yafaray
