// "blend_mat": two existing materials mixed, (1 − v) of "material1" and v of "material2", where
// v is "blend_value" or, with a "mask" node, that node's scalar at each point (clamped to [0, 1]).

#include <algorithm>
#include <string>

#include "raytracer/core/Environment.h"
#include "raytracer/core/Log.h"
#include "raytracer/core/NodeMaterial.h"
#include "raytracer/plugins.h"

namespace yafaray {
namespace {

class blendMat_t : public nodeMaterial_t {
public:
    blendMat_t(const std::string& name, const material_t* m1, const material_t* m2, float value,
               paraMap_t& params, std::vector<paraMap_t>& nodes, renderEnvironment_t& env)
        : m1_(m1), m2_(m2), value_(std::clamp(value, 0.f, 1.f)) {
        materialName_ = name;
        loadNodes(nodes, env);
        mask_ = slotNode(params, "mask");
        solveNodesOrder({mask_}, nullptr);
    }

    materialResponse_t response(const surfacePoint_t& sp, const vector3d_t& wo) const override {
        const float v = blendValue(sp);
        if (v <= 0.f) return m1_->response(sp, wo);
        if (v >= 1.f) return m2_->response(sp, wo);
        return blendResponses(m1_->response(sp, wo), m2_->response(sp, wo), v);
    }

    color_t shadowFilter(const surfacePoint_t& sp, const vector3d_t& dir) const override {
        const float v = blendValue(sp);
        const color_t f1 = v < 1.f && m1_->isTransparent() ? m1_->shadowFilter(sp, dir) : color_t(0.f);
        const color_t f2 = v > 0.f && m2_->isTransparent() ? m2_->shadowFilter(sp, dir) : color_t(0.f);
        return f1 * (1.f - v) + f2 * v;
    }

    bool isTransparent() const override { return m1_->isTransparent() || m2_->isTransparent(); }

    color_t insideTransmittance(float distance) const override {
        return (value_ <= 0.5f ? m1_ : m2_)->insideTransmittance(distance);
    }

private:
    float blendValue(const surfacePoint_t& sp) const {
        if (!mask_) return value_;
        nodeStackBuffer_t buffer(nodeCount());
        nodeStack_t stack = buffer.stack();
        evalNodes(sp, stack);
        return std::clamp(stack[mask_->ID].f, 0.f, 1.f);
    }

    const material_t* m1_;
    const material_t* m2_;
    float value_;
    const shaderNode_t* mask_ = nullptr;
};

material_t* blendFactory(paraMap_t& params, std::vector<paraMap_t>& nodes, renderEnvironment_t& env) {
    std::string name, name1, name2;
    float value = 0.5f;
    params.getParam("name", name);
    params.getParam("material1", name1);
    params.getParam("material2", name2);
    params.getParam("blend_value", value);
    const material_t* m1 = env.getMaterial(name1);
    const material_t* m2 = env.getMaterial(name2);
    if (!m1 || !m2) {
        logMessage(logLevel_t::error,
                   "blend material '" + name + "': no material named '" + (m1 ? name2 : name1) + "'");
        return nullptr;
    }
    return new blendMat_t(name, m1, m2, value, params, nodes, env);
}

}  // namespace

void registerPlugin_blendmat(renderEnvironment_t& env) {
    env.registerFactory("blend_mat", &blendFactory);
}

}  // namespace yafaray
