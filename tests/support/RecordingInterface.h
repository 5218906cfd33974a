#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "raytracer/interface.h"

// An engine interface that writes down every parameter and creation call, one line each, and
// passes it on to the real engine. Tests compare the recorded parameter streams of the layers,
// materials and lights with what they must send. Geometry calls are counted, not recorded.
class RecordingInterface : public yafaray::yafrayInterface_t {
public:
    using yafrayInterface_t::addTriangle;
    using yafrayInterface_t::addVertex;
    using yafrayInterface_t::paramsSetColor;
    using yafrayInterface_t::paramsSetMatrix;

    std::vector<std::string> calls;
    int vertices = 0, triangles = 0, meshes = 0;

    static std::string number(double v) {
        char text[32];
        std::snprintf(text, sizeof text, "%.9g", v);
        return text;
    }
    static std::string quoted(const char* s) { return std::string("\"") + (s ? s : "") + "\""; }

    void paramsClearAll() override {
        calls.push_back("paramsClearAll");
        yafrayInterface_t::paramsClearAll();
    }
    void paramsSetString(const char* name, const char* s) override {
        calls.push_back("paramsSetString " + quoted(name) + " " + quoted(s));
        yafrayInterface_t::paramsSetString(name, s);
    }
    void paramsSetBool(const char* name, bool b) override {
        calls.push_back("paramsSetBool " + quoted(name) + (b ? " true" : " false"));
        yafrayInterface_t::paramsSetBool(name, b);
    }
    void paramsSetInt(const char* name, int i) override {
        calls.push_back("paramsSetInt " + quoted(name) + " " + std::to_string(i));
        yafrayInterface_t::paramsSetInt(name, i);
    }
    void paramsSetFloat(const char* name, double f) override {
        calls.push_back("paramsSetFloat " + quoted(name) + " " + number(f));
        yafrayInterface_t::paramsSetFloat(name, f);
    }
    void paramsSetPoint(const char* name, double x, double y, double z) override {
        calls.push_back("paramsSetPoint " + quoted(name) + " " + number(x) + " " + number(y) + " " +
                        number(z));
        yafrayInterface_t::paramsSetPoint(name, x, y, z);
    }
    void paramsSetColor(const char* name, float r, float g, float b, float a) override {
        calls.push_back("paramsSetColor " + quoted(name) + " " + number(r) + " " + number(g) + " " +
                        number(b) + " " + number(a));
        yafrayInterface_t::paramsSetColor(name, r, g, b, a);
    }
    void paramsStartList() override {
        calls.push_back("paramsStartList");
        yafrayInterface_t::paramsStartList();
    }
    void paramsPushList() override {
        calls.push_back("paramsPushList");
        yafrayInterface_t::paramsPushList();
    }
    void paramsEndList() override {
        calls.push_back("paramsEndList");
        yafrayInterface_t::paramsEndList();
    }
    yafaray::texture_t* createTexture(const char* name) override {
        calls.push_back("createTexture " + quoted(name));
        return yafrayInterface_t::createTexture(name);
    }
    yafaray::material_t* createMaterial(const char* name) override {
        calls.push_back("createMaterial " + quoted(name));
        return yafrayInterface_t::createMaterial(name);
    }
    yafaray::light_t* createLight(const char* name) override {
        calls.push_back("createLight " + quoted(name));
        return yafrayInterface_t::createLight(name);
    }
    yafaray::camera_t* createCamera(const char* name) override {
        calls.push_back("createCamera " + quoted(name));
        return yafrayInterface_t::createCamera(name);
    }
    yafaray::background_t* createBackground(const char* name) override {
        calls.push_back("createBackground " + quoted(name));
        return yafrayInterface_t::createBackground(name);
    }
    yafaray::integrator_t* createIntegrator(const char* name) override {
        calls.push_back("createIntegrator " + quoted(name));
        return yafrayInterface_t::createIntegrator(name);
    }
    yafaray::VolumeRegion* createVolumeRegion(const char* name) override {
        calls.push_back("createVolumeRegion " + quoted(name));
        return yafrayInterface_t::createVolumeRegion(name);
    }
    bool startTriMesh(unsigned int& id, int v, int t, bool hasOrco, bool hasUV, int type) override {
        ++meshes;
        return yafrayInterface_t::startTriMesh(id, v, t, hasOrco, hasUV, type);
    }
    int addVertex(double x, double y, double z) override {
        ++vertices;
        return yafrayInterface_t::addVertex(x, y, z);
    }
    bool addTriangle(int a, int b, int c, const yafaray::material_t* mat) override {
        ++triangles;
        return yafrayInterface_t::addTriangle(a, b, c, mat);
    }
    bool addTriangle(int a, int b, int c, int uvA, int uvB, int uvC,
                     const yafaray::material_t* mat) override {
        ++triangles;
        return yafrayInterface_t::addTriangle(a, b, c, uvA, uvB, uvC, mat);
    }

    // Index of the first recorded call equal to `call`, or -1.
    int indexOf(const std::string& call) const {
        for (size_t i = 0; i < calls.size(); ++i) {
            if (calls[i] == call) return static_cast<int>(i);
        }
        return -1;
    }
};
