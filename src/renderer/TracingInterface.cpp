#include "renderer/TracingInterface.h"

#include <algorithm>
#include <cstdio>

namespace korvane {

namespace {

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", v);
    return text;
}

std::string quoted(const char* s) {
    return std::string("\"") + (s ? s : "") + "\"";
}

std::string flag(bool b) {
    return b ? "true" : "false";
}

template <typename T>
std::string matrix(const T m[4][4]) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) text += " " + number(double(m[i][j]));
    }
    return text;
}

}  // namespace

void TracingInterface::setSink(Sink sink, bool fullGeometry) {
    std::lock_guard lock(sinkMutex_);
    sink_ = std::move(sink);
    fullGeometry_ = fullGeometry;
    tracing_ = static_cast<bool>(sink_);
    mesh_ = MeshSummary{};
}

void TracingInterface::write(const std::string& line) {
    std::lock_guard lock(sinkMutex_);
    if (sink_) sink_(line);
}

std::string TracingInterface::materialName(const yafaray::material_t* mat) const {
    if (!mat) return "(none)";
    auto found = materialNames_.find(mat);
    return found == materialNames_.end() ? "(unnamed)" : found->second;
}

void TracingInterface::noteVertex(double x, double y, double z) {
    const double p[3] = {x, y, z};
    for (int i = 0; i < 3; ++i) {
        mesh_.low[i] = mesh_.vertices == 0 ? p[i] : std::min(mesh_.low[i], p[i]);
        mesh_.high[i] = mesh_.vertices == 0 ? p[i] : std::max(mesh_.high[i], p[i]);
    }
    ++mesh_.vertices;
}

void TracingInterface::noteMaterial(const yafaray::material_t* mat) {
    ++mesh_.triangles;
    std::string name = materialName(mat);
    if (std::find(mesh_.materials.begin(), mesh_.materials.end(), name) == mesh_.materials.end())
        mesh_.materials.push_back(std::move(name));
}

void TracingInterface::writeMeshSummary() {
    if (!mesh_.open) return;
    std::string line = "triMesh " + std::to_string(mesh_.id) + " vertices " + std::to_string(mesh_.vertices) +
                       " uvs " + std::to_string(mesh_.uvs) + " triangles " + std::to_string(mesh_.triangles) +
                       " bounds";
    for (double v : mesh_.low) line += " " + number(v);
    for (double v : mesh_.high) line += " " + number(v);
    line += " materials";
    for (const std::string& name : mesh_.materials) line += " " + quoted(name.c_str());
    mesh_ = MeshSummary{};
    write(line);
}

void TracingInterface::paramsClearAll() {
    if (tracing()) write("paramsClearAll");
    myyafrayinterface_t::paramsClearAll();
}
void TracingInterface::paramsSetString(const char* name, const char* s) {
    if (tracing()) write("paramsSetString " + quoted(name) + " " + quoted(s));
    myyafrayinterface_t::paramsSetString(name, s);
}
void TracingInterface::paramsSetBool(const char* name, bool b) {
    if (tracing()) write("paramsSetBool " + quoted(name) + " " + flag(b));
    myyafrayinterface_t::paramsSetBool(name, b);
}
void TracingInterface::paramsSetInt(const char* name, int i) {
    if (tracing()) write("paramsSetInt " + quoted(name) + " " + std::to_string(i));
    myyafrayinterface_t::paramsSetInt(name, i);
}
void TracingInterface::paramsSetFloat(const char* name, double f) {
    if (tracing()) write("paramsSetFloat " + quoted(name) + " " + number(f));
    myyafrayinterface_t::paramsSetFloat(name, f);
}
void TracingInterface::paramsSetPoint(const char* name, double x, double y, double z) {
    if (tracing())
        write("paramsSetPoint " + quoted(name) + " " + number(x) + " " + number(y) + " " + number(z));
    myyafrayinterface_t::paramsSetPoint(name, x, y, z);
}
void TracingInterface::paramsSetColor(const char* name, float r, float g, float b, float a) {
    if (tracing())
        write("paramsSetColor " + quoted(name) + " " + number(r) + " " + number(g) + " " + number(b) + " " +
              number(a));
    myyafrayinterface_t::paramsSetColor(name, r, g, b, a);
}
void TracingInterface::paramsSetColor(const char* name, const float* rgb, bool withAlpha) {
    if (tracing() && rgb)
        write("paramsSetColor " + quoted(name) + " " + number(rgb[0]) + " " + number(rgb[1]) + " " +
              number(rgb[2]) + " " + number(withAlpha ? rgb[3] : 1.0f));
    myyafrayinterface_t::paramsSetColor(name, rgb, withAlpha);
}
void TracingInterface::paramsSetMatrix(const char* name, const float m[4][4], bool transpose) {
    if (tracing()) write("paramsSetMatrix " + quoted(name) + matrix(m) + " " + flag(transpose));
    myyafrayinterface_t::paramsSetMatrix(name, m, transpose);
}
void TracingInterface::paramsSetMatrix(const char* name, const double m[4][4], bool transpose) {
    if (tracing()) write("paramsSetMatrix " + quoted(name) + matrix(m) + " " + flag(transpose));
    myyafrayinterface_t::paramsSetMatrix(name, m, transpose);
}
void TracingInterface::paramsStartList() {
    if (tracing()) write("paramsStartList");
    myyafrayinterface_t::paramsStartList();
}
void TracingInterface::paramsPushList() {
    if (tracing()) write("paramsPushList");
    myyafrayinterface_t::paramsPushList();
}
void TracingInterface::paramsEndList() {
    if (tracing()) write("paramsEndList");
    myyafrayinterface_t::paramsEndList();
}
void TracingInterface::setInputColorSpace(const std::string& colorSpace, float gamma) {
    if (tracing()) write("setInputColorSpace " + quoted(colorSpace.c_str()) + " " + number(gamma));
    myyafrayinterface_t::setInputColorSpace(colorSpace, gamma);
}

yafaray::texture_t* TracingInterface::createTexture(const char* name) {
    if (tracing()) write("createTexture " + quoted(name));
    return myyafrayinterface_t::createTexture(name);
}
yafaray::material_t* TracingInterface::createMaterial(const char* name) {
    if (tracing()) write("createMaterial " + quoted(name));
    yafaray::material_t* material = myyafrayinterface_t::createMaterial(name);
    if (material) materialNames_[material] = name ? name : "";
    return material;
}
yafaray::light_t* TracingInterface::createLight(const char* name) {
    if (tracing()) write("createLight " + quoted(name));
    return myyafrayinterface_t::createLight(name);
}
yafaray::camera_t* TracingInterface::createCamera(const char* name) {
    if (tracing()) write("createCamera " + quoted(name));
    return myyafrayinterface_t::createCamera(name);
}
yafaray::background_t* TracingInterface::createBackground(const char* name) {
    if (tracing()) write("createBackground " + quoted(name));
    return myyafrayinterface_t::createBackground(name);
}
yafaray::integrator_t* TracingInterface::createIntegrator(const char* name) {
    if (tracing()) write("createIntegrator " + quoted(name));
    return myyafrayinterface_t::createIntegrator(name);
}
yafaray::VolumeRegion* TracingInterface::createVolumeRegion(const char* name) {
    if (tracing()) write("createVolumeRegion " + quoted(name));
    return myyafrayinterface_t::createVolumeRegion(name);
}
yafaray::object3d_t* TracingInterface::createObject(const char* name) {
    if (tracing()) write("createObject " + quoted(name));
    return myyafrayinterface_t::createObject(name);
}

bool TracingInterface::startScene(int type) {
    if (tracing()) write("startScene " + std::to_string(type));
    return myyafrayinterface_t::startScene(type);
}
bool TracingInterface::startGeometry() {
    if (tracing()) write("startGeometry");
    return myyafrayinterface_t::startGeometry();
}
bool TracingInterface::endGeometry() {
    if (summarising()) writeMeshSummary();  // a mesh that was never ended
    if (tracing()) write("endGeometry");
    return myyafrayinterface_t::endGeometry();
}
unsigned int TracingInterface::getNextFreeID() {
    const unsigned int id = myyafrayinterface_t::getNextFreeID();
    if (tracing() && fullGeometry_) write("getNextFreeID " + std::to_string(id));
    return id;
}
bool TracingInterface::startTriMesh(unsigned int& id, int vertices, int triangles, bool hasOrco, bool hasUV,
                                    int type) {
    const bool started = myyafrayinterface_t::startTriMesh(id, vertices, triangles, hasOrco, hasUV, type);
    if (summarising()) {
        writeMeshSummary();
        mesh_.open = true;
        mesh_.id = id;
    } else if (tracing()) {
        write("startTriMesh " + std::to_string(id) + " " + std::to_string(vertices) + " " +
              std::to_string(triangles) + " " + flag(hasOrco) + " " + flag(hasUV) + " " +
              std::to_string(type));
    }
    return started;
}
int TracingInterface::addVertex(double x, double y, double z) {
    if (summarising()) {
        noteVertex(x, y, z);
    } else if (tracing()) {
        write("addVertex " + number(x) + " " + number(y) + " " + number(z));
    }
    return myyafrayinterface_t::addVertex(x, y, z);
}
int TracingInterface::addVertex(double x, double y, double z, double ox, double oy, double oz) {
    if (summarising()) {
        noteVertex(x, y, z);
    } else if (tracing()) {
        write("addVertex " + number(x) + " " + number(y) + " " + number(z) + " " + number(ox) + " " +
              number(oy) + " " + number(oz));
    }
    return myyafrayinterface_t::addVertex(x, y, z, ox, oy, oz);
}
int TracingInterface::addUV(float u, float v) {
    if (summarising()) {
        ++mesh_.uvs;
    } else if (tracing()) {
        write("addUV " + number(u) + " " + number(v));
    }
    return myyafrayinterface_t::addUV(u, v);
}
bool TracingInterface::addTriangle(int a, int b, int c, const yafaray::material_t* mat) {
    if (summarising()) {
        noteMaterial(mat);
    } else if (tracing()) {
        write("addTriangle " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c) + " " +
              quoted(materialName(mat).c_str()));
    }
    return myyafrayinterface_t::addTriangle(a, b, c, mat);
}
bool TracingInterface::addTriangle(int a, int b, int c, int uvA, int uvB, int uvC,
                                   const yafaray::material_t* mat) {
    if (summarising()) {
        noteMaterial(mat);
    } else if (tracing()) {
        write("addTriangle " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c) + " " +
              std::to_string(uvA) + " " + std::to_string(uvB) + " " + std::to_string(uvC) + " " +
              quoted(materialName(mat).c_str()));
    }
    return myyafrayinterface_t::addTriangle(a, b, c, uvA, uvB, uvC, mat);
}
bool TracingInterface::endTriMesh() {
    if (summarising()) {
        writeMeshSummary();
    } else if (tracing()) {
        write("endTriMesh");
    }
    return myyafrayinterface_t::endTriMesh();
}
bool TracingInterface::smoothMesh(unsigned int id, double angle) {
    if (tracing()) write("smoothMesh " + std::to_string(id) + " " + number(angle));
    return myyafrayinterface_t::smoothMesh(id, angle);
}

void TracingInterface::render(yafaray::colorOutput_t& output, yafaray::progressBar_t* pb) {
    if (tracing()) write("render");
    myyafrayinterface_t::render(output, pb);
}
void TracingInterface::abort() {
    if (tracing()) write("abort");
    myyafrayinterface_t::abort();
}
void TracingInterface::clearAll() {
    if (tracing()) write("clearAll");
    materialNames_.clear();
    mesh_ = MeshSummary{};
    // The base class empties the parameters through paramsClearAll as part of this call; the trace
    // shows only the calls made on the interface, not the ones it makes on itself. Callers hold the
    // render lock, as setRendererCallTrace does when it changes tracing.
    const bool wasTracing = tracing_.exchange(false);
    myyafrayinterface_t::clearAll();
    tracing_ = wasTracing;
}

}  // namespace korvane
