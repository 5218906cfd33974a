#pragma once

// "fixed_blend_mat": the application's blend material. Two existing materials are mixed with
// weights (1 − b) and b, where b is "blend_value" or, with a "mask" shader node, that node's
// scalar at each point, clamped to [0, 1]. A component whose weight is 0 is not evaluated at all.

#include <string>
#include <vector>

#include "raytracer/core/NodeMaterial.h"

namespace yafaray {

class renderEnvironment_t;

class fixedBlendMat_t : public nodeMaterial_t {
public:
    // Default of "blend_value" when it is not given.
    static constexpr float kDefaultBlendValue = 0.5f;

    // The factory loads the node list and picks the mask node; blendValue is clamped to [0, 1].
    fixedBlendMat_t(const material_t* first, const material_t* second, float blendValue);

    materialResponse_t response(const surfacePoint_t& sp, const vector3d_t& wo) const override;
    color_t shadowFilter(const surfacePoint_t& sp, const vector3d_t& dir) const override;
    // Shadow rays may pass when either component lets them.
    bool isTransparent() const override;
    // Weighted by the constant blend value: a distance inside the material has no surface point.
    color_t insideTransmittance(float distance) const override;

    // The blend value at sp, in [0, 1]. Any render thread.
    float blendValue(const surfacePoint_t& sp) const;

private:
    friend material_t* fixedBlendMaterialFactory(paraMap_t&, std::vector<paraMap_t>&, renderEnvironment_t&);

    const material_t* first_;
    const material_t* second_;
    float value_;
    const shaderNode_t* mask_ = nullptr;
};

// Factory of "fixed_blend_mat": null, with the reason logged, when a component material does not
// exist, when the node list does not load completely, or when "mask" names no node of the list.
material_t* fixedBlendMaterialFactory(paraMap_t& params, std::vector<paraMap_t>& nodes,
                                      renderEnvironment_t& env);

// Registers the factory under "fixed_blend_mat".
void registerFixedBlendMaterial(renderEnvironment_t& env);

}  // namespace yafaray
