#pragma once

// A renderer double for the terrain and camera layers: it owns an engine interface that records
// the meshes, parameters and cameras the layers hand it (and still builds them in the engine).

#include <array>
#include <map>
#include <string>
#include <variant>
#include <vector>

#include "raytracer/EngineTestSupport.h"
#include "raytracer/interface.h"
#include "scene/BaseRenderer.h"

namespace korvane::testing {

struct RecordedVertex {
    double x, y, z;
};
struct RecordedTriangle {
    int a, b, c;
    int uvA, uvB, uvC;
    const yafaray::material_t* material;
};
struct RecordedMesh {
    int vertexHint = 0, triangleHint = 0;
    bool hasUV = false;
    std::vector<RecordedVertex> vertices;
    std::vector<std::array<float, 2>> uvs;
    std::vector<RecordedTriangle> triangles;
    double smoothAngle = -1;  // the angle smoothMesh was given; -1: not smoothed
};

using ParamValue = std::variant<std::string, bool, int, double, std::array<double, 3>>;
using ParamMap = std::map<std::string, ParamValue>;

class RecordingInterface : public yafaray::yafrayInterface_t {
public:
    void paramsClearAll() override {
        params.clear();
        yafrayInterface_t::paramsClearAll();
    }
    void paramsSetString(const char* name, const char* s) override {
        params[name] = std::string(s);
        yafrayInterface_t::paramsSetString(name, s);
    }
    void paramsSetBool(const char* name, bool b) override {
        params[name] = b;
        yafrayInterface_t::paramsSetBool(name, b);
    }
    void paramsSetInt(const char* name, int i) override {
        params[name] = i;
        yafrayInterface_t::paramsSetInt(name, i);
    }
    void paramsSetFloat(const char* name, double f) override {
        params[name] = f;
        yafrayInterface_t::paramsSetFloat(name, f);
    }
    void paramsSetPoint(const char* name, double x, double y, double z) override {
        params[name] = std::array<double, 3>{x, y, z};
        yafrayInterface_t::paramsSetPoint(name, x, y, z);
    }
    yafaray::camera_t* createCamera(const char* name) override {
        cameras[name] = params;
        return yafrayInterface_t::createCamera(name);
    }
    bool startTriMesh(unsigned int& id, int vertices, int triangles, bool hasOrco, bool hasUV,
                      int type) override {
        meshes.push_back({vertices, triangles, hasUV, {}, {}, {}, -1});
        return yafrayInterface_t::startTriMesh(id, vertices, triangles, hasOrco, hasUV, type);
    }
    int addVertex(double x, double y, double z) override {
        if (!meshes.empty()) meshes.back().vertices.push_back({x, y, z});
        return yafrayInterface_t::addVertex(x, y, z);
    }
    int addUV(float u, float v) override {
        if (!meshes.empty()) meshes.back().uvs.push_back({u, v});
        return yafrayInterface_t::addUV(u, v);
    }
    bool addTriangle(int a, int b, int c, int uvA, int uvB, int uvC,
                     const yafaray::material_t* mat) override {
        if (!meshes.empty()) meshes.back().triangles.push_back({a, b, c, uvA, uvB, uvC, mat});
        return yafrayInterface_t::addTriangle(a, b, c, uvA, uvB, uvC, mat);
    }
    bool smoothMesh(unsigned int id, double angle) override {
        if (!meshes.empty()) meshes.back().smoothAngle = angle;
        return yafrayInterface_t::smoothMesh(id, angle);
    }

    ParamMap params;
    std::map<std::string, ParamMap> cameras;
    std::vector<RecordedMesh> meshes;
};

// A ray-tracer renderer as the layers see it, with the scene's geometry open for meshes.
class TestRenderer : public BaseRenderer {
public:
    TestRenderer() {
        enginetest::registerStockPlugins(*yi.getRenderEnvironment());
        yi.startScene(0);
        yi.startGeometry();
    }
    bool isYafarayRenderer() const override { return true; }
    yafaray::yafrayInterface_t* yafrayinterface() const override { return &yi; }

    mutable RecordingInterface yi;
};

// A renderer that is not a ray tracer: layers append nothing to it.
class OtherRenderer : public BaseRenderer {};

template <class T>
T param(const ParamMap& map, const std::string& name) {
    auto it = map.find(name);
    if (it == map.end() || !std::holds_alternative<T>(it->second)) return T{};
    return std::get<T>(it->second);
}

}  // namespace korvane::testing
