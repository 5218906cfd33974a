#pragma once

// Materials with shader slots: the node list a material receives with its parameters, built into
// shader nodes, wired by name and evaluated per shading point in dependency order.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "raytracer/core/ParamMap.h"
#include "raytracer/core/Plugin.h"

namespace yafaray {

class renderEnvironment_t;

// Finds the usable nodes of one list by name; what configInputs receives.
class nodeFinder_t {
public:
    explicit nodeFinder_t(const std::map<std::string, shaderNode_t*>& nodes) : nodes_(nodes) {}
    // The node named `name`, or null. Build thread.
    const shaderNode_t* operator()(const std::string& name) const {
        const auto it = nodes_.find(name);
        return it == nodes_.end() ? nullptr : it->second;
    }

private:
    const std::map<std::string, shaderNode_t*>& nodes_;
};

// Per-point storage for a node list's results: on the caller's stack for small lists.
class nodeStackBuffer_t {
public:
    explicit nodeStackBuffer_t(size_t nodes) {
        if (nodes > kLocal) heap_.resize(nodes);
    }
    nodeStack_t stack() { return nodeStack_t(heap_.empty() ? local_ : heap_.data()); }

private:
    static constexpr size_t kLocal = 24;
    nodeResult_t local_[kLocal];
    std::vector<nodeResult_t> heap_;
};

class nodeMaterial_t : public material_t {
public:
    // The most shader nodes one material may have. Real materials use a handful; a list beyond
    // this comes from a damaged or hostile scene and would only cost time and memory per point.
    static constexpr size_t kMaxShaderNodes = 1024;

    ~nodeMaterial_t() override;

    // Number of usable nodes; a nodeStackBuffer_t of this size holds their results.
    size_t nodeCount() const { return nodes_.size(); }

protected:
    // Builds the nodes of the list elements whose "element" is "shader_node" (each with "name"
    // and "type"). A node of unknown type, without a name, with a missing input, or depending on
    // such a node or on itself is dropped with a log line; the rest stay usable. A list of more than
    // kMaxShaderNodes differently named nodes is refused as a whole with an error that names the
    // material, which then renders with its constant values. Build thread.
    void loadNodes(std::vector<paraMap_t>& elements, renderEnvironment_t& env);
    // The node that the string parameter `slot` of params names, or null when the slot is not
    // set; a name that matches no usable node is logged once and gives null, so the material
    // renders without that slot. Always null, silently, when loadNodes refused the list.
    const shaderNode_t* slotNode(const paraMap_t& params, const char* slot);
    // Fixes the evaluation order of the given slot nodes and their inputs (nulls are ignored);
    // the last entry is taken as the bump slot when `bump` is set. Call once, after the slots.
    void solveNodesOrder(const std::vector<const shaderNode_t*>& roots, const shaderNode_t* bump);
    // Evaluates the ordered nodes at sp. Render threads.
    void evalNodes(const surfacePoint_t& sp, nodeStack_t& stack) const;
    // Normal at sp bent by the bump node's slopes (evalNodes must have run): with frame T, B
    // around N, N' = normalize(N − du·T − dv·B). sp.N without a bump node.
    vector3d_t bumpedNormal(const surfacePoint_t& sp, nodeStack_t& stack) const;

    std::string materialName_;

private:
    std::vector<std::unique_ptr<shaderNode_t>> nodes_;
    std::map<std::string, shaderNode_t*> byName_;
    std::vector<const shaderNode_t*> order_;
    std::vector<const shaderNode_t*> bumpOrder_;
    const shaderNode_t* bump_ = nullptr;
    bool nodesRefused_ = false;
};

// Linear combination of two materials' responses: (1 − w)·a + w·b, the normals and refraction
// directions blended and renormalised, for blend materials.
materialResponse_t blendResponses(const materialResponse_t& a, const materialResponse_t& b, float w);

}  // namespace yafaray
