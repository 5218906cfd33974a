#include "renderer/extensions/FixedBlendMaterial.h"

#include <algorithm>
#include <memory>
#include <set>

#include "raytracer/core/Environment.h"
#include "raytracer/core/Log.h"

namespace yafaray {
namespace {

// Distinct names of the shader nodes in a material's list; nameless ones count as distinct.
size_t listedShaderNodes(std::vector<paraMap_t>& nodes) {
    std::set<std::string> names;
    size_t nameless = 0;
    for (const paraMap_t& element : nodes) {
        std::string kind, name;
        element.getParam("element", kind);
        if (kind != "shader_node") continue;
        element.getParam("name", name);
        if (name.empty()) {
            ++nameless;
        } else {
            names.insert(name);
        }
    }
    return names.size() + nameless;
}

}  // namespace

fixedBlendMat_t::fixedBlendMat_t(const material_t* first, const material_t* second, float blendValue)
    : first_(first), second_(second), value_(blendValue > 0.f ? std::min(blendValue, 1.f) : 0.f) {}

float fixedBlendMat_t::blendValue(const surfacePoint_t& sp) const {
    if (!mask_) return value_;
    nodeStackBuffer_t buffer(nodeCount());
    nodeStack_t stack = buffer.stack();
    evalNodes(sp, stack);
    const float b = stack[mask_->ID].f;
    return b > 0.f ? std::min(b, 1.f) : 0.f;  // NaN counts as 0
}

materialResponse_t fixedBlendMat_t::response(const surfacePoint_t& sp, const vector3d_t& wo) const {
    const float b = blendValue(sp);
    // Only components with a weight are evaluated.
    if (b <= 0.f) return first_->response(sp, wo);
    if (b >= 1.f) return second_->response(sp, wo);
    return blendResponses(first_->response(sp, wo), second_->response(sp, wo), b);
}

color_t fixedBlendMat_t::shadowFilter(const surfacePoint_t& sp, const vector3d_t& dir) const {
    const float b = blendValue(sp);
    color_t filter(0.f);  // an opaque component lets nothing through
    if (b < 1.f && first_->isTransparent()) filter += first_->shadowFilter(sp, dir) * (1.f - b);
    if (b > 0.f && second_->isTransparent()) filter += second_->shadowFilter(sp, dir) * b;
    return filter;
}

bool fixedBlendMat_t::isTransparent() const {
    return first_->isTransparent() || second_->isTransparent();
}

color_t fixedBlendMat_t::insideTransmittance(float distance) const {
    color_t t(0.f);
    if (value_ < 1.f) t += first_->insideTransmittance(distance) * (1.f - value_);
    if (value_ > 0.f) t += second_->insideTransmittance(distance) * value_;
    return t;
}

material_t* fixedBlendMaterialFactory(paraMap_t& params, std::vector<paraMap_t>& nodes,
                                      renderEnvironment_t& env) {
    std::string name, firstName, secondName, maskName;
    float value = fixedBlendMat_t::kDefaultBlendValue;
    params.getParam("name", name);
    params.getParam("material1", firstName);
    params.getParam("material2", secondName);
    params.getParam("blend_value", value);
    params.getParam("mask", maskName);
    const material_t* first = env.getMaterial(firstName);
    const material_t* second = env.getMaterial(secondName);
    if (!first || !second) {
        logMessage(logLevel_t::error, "blend material '" + name + "': no material named '" +
                                          (first ? secondName : firstName) + "'");
        return nullptr;
    }

    auto material = std::make_unique<fixedBlendMat_t>(first, second, value);
    material->materialName_ = name;
    material->loadNodes(nodes, env);
    if (!maskName.empty()) {
        material->mask_ = material->slotNode(params, "mask");
        if (!material->mask_) {
            logMessage(logLevel_t::error, "[ERROR]: blend shader node '" + maskName + "' does not exist!");
            return nullptr;
        }
    }
    // A node that could not be built leaves the list incomplete.
    if (material->nodeCount() < listedShaderNodes(nodes)) {
        logMessage(logLevel_t::error, "[ERROR]: loadNodes() failed!");
        return nullptr;
    }
    material->solveNodesOrder({material->mask_}, nullptr);
    return material.release();
}

void registerFixedBlendMaterial(renderEnvironment_t& env) {
    env.registerFactory("fixed_blend_mat", &fixedBlendMaterialFactory);
}

}  // namespace yafaray
