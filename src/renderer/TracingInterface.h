#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "renderer/YafarayRenderer.h"

namespace korvane {

// The shared interface's concrete type: the ray tracer's interface that can also write down every
// call made on it, one line each with its arguments (`paramsSetFloat "sigma_a" 0.5`,
// `createVolumeRegion "Clouds_…"`), before passing it on. Meshes are summarised in one line from
// startTriMesh to endTriMesh (`triMesh ID vertices V uvs U triangles T bounds X0 Y0 Z0 X1 Y1 Z1
// materials "a" "b"`) unless every geometry call is asked for. Without a sink it only passes the
// calls on. Users debug scenes with the trace; tests compare parameter streams with it.
class TracingInterface final : public yafaray::myyafrayinterface_t {
public:
    using Sink = std::function<void(const std::string& line)>;

    // Replaces the sink (an empty one stops tracing). Not during a render: use
    // setRendererCallTrace, which waits for the render lock.
    void setSink(Sink sink, bool fullGeometry);

    void paramsClearAll() override;
    void paramsSetString(const char* name, const char* s) override;
    void paramsSetBool(const char* name, bool b) override;
    void paramsSetInt(const char* name, int i) override;
    void paramsSetFloat(const char* name, double f) override;
    void paramsSetPoint(const char* name, double x, double y, double z) override;
    void paramsSetColor(const char* name, float r, float g, float b, float a = 1.f) override;
    void paramsSetColor(const char* name, const float* rgb, bool withAlpha = false) override;
    void paramsSetMatrix(const char* name, const float m[4][4], bool transpose = false) override;
    void paramsSetMatrix(const char* name, const double m[4][4], bool transpose = false) override;
    void paramsStartList() override;
    void paramsPushList() override;
    void paramsEndList() override;
    void setInputColorSpace(const std::string& colorSpace, float gamma = 1.f) override;

    yafaray::texture_t* createTexture(const char* name) override;
    yafaray::material_t* createMaterial(const char* name) override;
    yafaray::light_t* createLight(const char* name) override;
    yafaray::camera_t* createCamera(const char* name) override;
    yafaray::background_t* createBackground(const char* name) override;
    yafaray::integrator_t* createIntegrator(const char* name) override;
    yafaray::VolumeRegion* createVolumeRegion(const char* name) override;
    yafaray::object3d_t* createObject(const char* name) override;

    bool startScene(int type = 0) override;
    bool startGeometry() override;
    bool endGeometry() override;
    unsigned int getNextFreeID() override;
    bool startTriMesh(unsigned int& id, int vertices, int triangles, bool hasOrco, bool hasUV = false,
                      int type = 0) override;
    int addVertex(double x, double y, double z) override;
    int addVertex(double x, double y, double z, double ox, double oy, double oz) override;
    int addUV(float u, float v) override;
    bool addTriangle(int a, int b, int c, const yafaray::material_t* mat) override;
    bool addTriangle(int a, int b, int c, int uvA, int uvB, int uvC, const yafaray::material_t* mat) override;
    bool endTriMesh() override;
    bool smoothMesh(unsigned int id, double angle) override;

    void render(yafaray::colorOutput_t& output, yafaray::progressBar_t* pb = nullptr) override;
    void abort() override;
    void clearAll() override;

private:
    struct MeshSummary {
        bool open = false;
        unsigned int id = 0;
        long vertices = 0, uvs = 0, triangles = 0;
        std::array<double, 3> low{}, high{};
        std::vector<std::string> materials;
    };

    bool tracing() const { return tracing_.load(std::memory_order_relaxed); }
    void write(const std::string& line);
    // In summary mode, geometry calls are folded into the open mesh instead of written.
    bool summarising() const { return tracing() && !fullGeometry_; }
    void noteVertex(double x, double y, double z);
    void noteMaterial(const yafaray::material_t* mat);
    void writeMeshSummary();
    std::string materialName(const yafaray::material_t* mat) const;

    std::atomic<bool> tracing_{false};
    bool fullGeometry_ = false;
    std::mutex sinkMutex_;
    Sink sink_;
    MeshSummary mesh_;
    std::map<const yafaray::material_t*, std::string> materialNames_;
};

// Starts (or, with an empty sink, stops) tracing the calls of the shared interface, creating it if
// need be. Waits until no render runs. Any thread.
void setRendererCallTrace(TracingInterface::Sink sink, bool fullGeometry = false);

}  // namespace korvane
