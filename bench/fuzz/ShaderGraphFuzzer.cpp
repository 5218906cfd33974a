// libFuzzer target: the shader-graph build of the ray tracer's node materials. The bytes describe a
// node list (types, names, inputs that may share, repeat, cycle or be missing) handed to a
// "shinydiffusemat"; the material is built and evaluated at a few points. A crash, a sanitizer
// report, a timeout (work growing with the paths through the graph rather than its nodes) or a
// result that is not finite for finite inputs is a finding.
#include <cmath>
#include <cstdint>
#include <string>

#include "raytracer/core/Environment.h"
#include "raytracer/core/Plugin.h"
#include "raytracer/interface.h"
#include "raytracer/plugins.h"

namespace {

using namespace yafaray;

// Reads the input one byte at a time; zero once it runs out.
class Bytes {
public:
    Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t next() { return pos_ < size_ ? data_[pos_++] : 0; }
    bool done() const { return pos_ >= size_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// Forgets every material and texture, then creates the one texture the mapper nodes name.
void reset(yafrayInterface_t& yi) {
    yi.clearAll();
    yi.paramsClearAll();
    yi.paramsSetString("type", "clouds");
    yi.createTexture("clouds");
}

yafrayInterface_t& engine() {
    static yafrayInterface_t* yi = [] {
        auto* created = new yafrayInterface_t;
        registerPlugin_shinydiff(*created->getRenderEnvironment());
        registerPlugin_basicnodes(*created->getRenderEnvironment());
        registerPlugin_basictex(*created->getRenderEnvironment());
        reset(*created);
        return created;
    }();
    return *yi;
}

std::string nodeName(uint8_t b) {
    return "n" + std::to_string(b % 64);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static constexpr const char* kTypes[] = {"value", "mix", "layer", "texture_mapper"};
    static unsigned materials = 0;
    yafrayInterface_t& yi = engine();
    Bytes bytes(data, size);
    yi.paramsClearAll();
    yi.paramsSetString("type", "shinydiffusemat");
    // Up to 2000 elements: beyond the per-material node cap, so refusal is reached too.
    for (int element = 0; element < 2000 && !bytes.done(); ++element) {
        const uint8_t kind = bytes.next();
        yi.paramsPushList();
        yi.paramsSetString("element", "shader_node");
        yi.paramsSetString("type", kTypes[kind % 4]);
        yi.paramsSetString("name", (kind & 0x80 ? "m" + std::to_string(element) : nodeName(bytes.next())).c_str());
        switch (kind % 4) {
            case 0:
                yi.paramsSetColor("color", bytes.next() / 255.f, 0.5f, 0.25f, 1.f);
                break;
            case 1:
                yi.paramsSetString("input1", nodeName(bytes.next()).c_str());
                yi.paramsSetString("input2", nodeName(bytes.next()).c_str());
                yi.paramsSetFloat("value", bytes.next() / 255.0);
                yi.paramsSetInt("mode", bytes.next() % 12);
                break;
            case 2:
                yi.paramsSetString("input", nodeName(bytes.next()).c_str());
                yi.paramsSetString("upper_layer", nodeName(bytes.next()).c_str());
                yi.paramsSetInt("mode", bytes.next() % 10);
                break;
            default:
                yi.paramsSetString("texco", "uv");
                yi.paramsSetString("texture", "clouds");
                break;
        }
    }
    yi.paramsEndList();
    yi.paramsSetString("diffuse_shader", nodeName(bytes.next()).c_str());
    yi.paramsSetString("bump_shader", nodeName(bytes.next()).c_str());
    const material_t* m = yi.createMaterial(("fuzz" + std::to_string(materials++)).c_str());
    if (!m) return 0;
    for (int i = 0; i < 4; ++i) {
        surfacePoint_t sp;
        sp.P = point3d_t(0.25f * i, 0.5f, 0.f);
        sp.N = sp.Ng = vector3d_t(0.f, 0.f, 1.f);
        sp.u = 0.25f * i;
        sp.v = 0.5f;
        sp.hasUV = true;
        sp.dPdU = vector3d_t(1.f, 0.f, 0.f);
        sp.dPdV = vector3d_t(0.f, 1.f, 0.f);
        const materialResponse_t r = m->response(sp, vector3d_t(0.f, 0.f, 1.f));
        if (!std::isfinite(r.N.x + r.N.y + r.N.z)) __builtin_trap();
    }
    // Materials live as long as the environment; start afresh now and then so memory stays flat.
    if (materials % 256 == 0) reset(yi);
    return 0;
}
