#pragma once

// The engine's public face: the parameter and creation calls through which the scene layers
// build a scene, the mesh calls, and render with its output and progress adapters.

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "raytracer/core/Environment.h"
#include "raytracer/core/ParamMap.h"
#include "raytracer/core/Plugin.h"

namespace yafaray {

class scene_t;
struct rawFilm_t;

// Receives finished pixels. c holds `channels` floats: R, G, B, A and, with "z_channel" on, the
// distance from the camera to the visible surface (negative where nothing was hit). Called from
// the thread that runs render, row 0 at the top.
class colorOutput_t {
public:
    virtual ~colorOutput_t() = default;
    virtual bool putPixel(int x, int y, const float* c, int channels) = 0;
    // A render given a region ("region_x0" …) hands over the region's film after its last pass's
    // pixels, so that the frame put together from its regions can be resolved (and denoised) as
    // a whole (resolveFilm in core/Film.h). The film is the caller's; copy what is kept.
    virtual void putFilm(const rawFilm_t& film) { (void)film; }
    // All pixels of a pass have been put.
    virtual void flush() {}
    // The pixels of [x0, x1) × [y0, y1) have been put.
    virtual void flushArea(int x0, int y0, int x1, int y1) { (void)x0, (void)y0, (void)x1, (void)y1; }
};

// Told how a render advances: init(total) at the start of each pass, update(steps) as each tile
// finishes, done() at the end of each pass. Calls are serialised but may come from any render
// thread.
class progressBar_t {
public:
    virtual ~progressBar_t() = default;
    virtual void init(int totalSteps) = 0;
    virtual void update(int steps = 1) = 0;
    virtual void done() = 0;
    virtual void setNumberOfPasses(int passes) { (void)passes; }
};

// The interface object. All calls except abort come from one thread (the one that builds the
// scene and renders); abort may come from any thread. The calls are virtual so that a subclass can
// record or trace them (the renderer's --trace, tests comparing parameter streams).
class yafrayInterface_t {
public:
    // Registers the built-in cameras, the "constant" background and the "none" volume integrator;
    // the stock plug-ins are registered by the caller through the registerPlugin_* functions.
    yafrayInterface_t();
    virtual ~yafrayInterface_t();
    yafrayInterface_t(const yafrayInterface_t&) = delete;
    yafrayInterface_t& operator=(const yafrayInterface_t&) = delete;

    // Parameter maps. Values go to the current map: the main one, or the last map of the list
    // after paramsStartList/paramsPushList until paramsEndList.
    virtual void paramsClearAll();
    virtual void paramsSetString(const char* name, const char* s);
    virtual void paramsSetBool(const char* name, bool b);
    virtual void paramsSetInt(const char* name, int i);
    virtual void paramsSetFloat(const char* name, double f);
    virtual void paramsSetPoint(const char* name, double x, double y, double z);
    virtual void paramsSetColor(const char* name, float r, float g, float b, float a = 1.f);
    virtual void paramsSetColor(const char* name, const float* rgb, bool withAlpha = false);
    virtual void paramsSetMatrix(const char* name, const float m[4][4], bool transpose = false);
    virtual void paramsSetMatrix(const char* name, const double m[4][4], bool transpose = false);
    virtual void paramsStartList();
    virtual void paramsPushList();
    virtual void paramsEndList();
    // "Raw_Manual_Gamma" (colours as given, raised to gamma) or "sRGB" (decoded from sRGB).
    virtual void setInputColorSpace(const std::string& colorSpace, float gamma = 1.f);

    // Creation from the main map's "type"; the environment owns the result. Null (and a log
    // line) when the type is unknown, the name is taken or the parameters are refused.
    virtual texture_t* createTexture(const char* name);
    virtual material_t* createMaterial(const char* name);
    virtual light_t* createLight(const char* name);
    virtual camera_t* createCamera(const char* name);
    virtual background_t* createBackground(const char* name);
    virtual integrator_t* createIntegrator(const char* name);
    virtual VolumeRegion* createVolumeRegion(const char* name);
    virtual object3d_t* createObject(const char* name);

    // Scene and geometry. Meshes are only accepted between startGeometry and endGeometry;
    // endGeometry builds the acceleration structure.
    virtual bool startScene(int type = 0);
    virtual bool startGeometry();
    virtual bool endGeometry();
    // Identifiers count down from INT_MAX.
    virtual unsigned int getNextFreeID();
    // Opens a mesh and writes its new identifier to id. `vertices` and `triangles` are hints;
    // type 0 is a plain triangle mesh, flag 0x100 hides it from rays.
    virtual bool startTriMesh(unsigned int& id, int vertices, int triangles, bool hasOrco, bool hasUV = false,
                              int type = 0);
    // Index of the new vertex within the open mesh, or -1 when no mesh is open.
    virtual int addVertex(double x, double y, double z);
    virtual int addVertex(double x, double y, double z, double ox, double oy, double oz);
    // Index of the new UV pair within the open mesh, or -1 when no mesh is open.
    virtual int addUV(float u, float v);
    // One triangle (counter-clockwise is the front) with its material; the second form with
    // one UV index per corner. False (and nothing added) for indices out of range.
    virtual bool addTriangle(int a, int b, int c, const material_t* mat);
    virtual bool addTriangle(int a, int b, int c, int uvA, int uvB, int uvC, const material_t* mat);
    virtual bool endTriMesh();
    // Vertex normals averaged over faces within `angle` degrees; id 0 is the mesh just ended.
    virtual bool smoothMesh(unsigned int id, double angle);

    // Renders with the main map's settings ("camera_name", "integrator_name", "width", …) and
    // returns when the image is finished or abort was called. pb may be null. With the ints
    // "region_x0", "region_y0", "region_x1", "region_y1" only the pixels of that rectangle of the
    // frame are rendered and put (in frame coordinates), bit-identical to a full render's.
    virtual void render(colorOutput_t& output, progressBar_t* pb = nullptr);
    // Makes a running render return within about one tile's work. Any thread.
    virtual void abort();
    // Forgets the scene, every created object and the parameter maps; factories stay.
    virtual void clearAll();

    renderEnvironment_t* getRenderEnvironment() { return &env_; }
    // The scene built so far (for diagnostics and tests).
    const scene_t& scene() const { return *scene_; }

private:
    paraMap_t& current();
    colorA_t inputColor(float r, float g, float b, float a) const;

    renderEnvironment_t env_;
    paraMap_t params_;
    std::vector<paraMap_t> list_;
    int currentList_ = -1;  // -1: the main map
    std::unique_ptr<scene_t> scene_;
    unsigned int nextFreeID_;
    bool sceneStarted_ = false;
    std::string inputColorSpace_ = "Raw_Manual_Gamma";
    float inputGamma_ = 1.f;
    std::atomic<bool> abort_{false};
};

}  // namespace yafaray
