#include "raytracer/core/NodeMaterial.h"

#include <functional>
#include <set>

#include "raytracer/core/Environment.h"
#include "raytracer/core/Log.h"
#include "raytracer/core/SurfaceDifferentials.h"

namespace yafaray {

nodeMaterial_t::~nodeMaterial_t() = default;

void nodeMaterial_t::loadNodes(std::vector<paraMap_t>& elements, renderEnvironment_t& env) {
    const std::string who = "material '" + materialName_ + "'";
    std::set<std::string> names;
    for (paraMap_t& element : elements) {
        std::string kind, name;
        element.getParam("element", kind);
        if (kind != "shader_node") continue;
        element.getParam("name", name);
        names.insert(name);
    }
    if (names.size() > kMaxShaderNodes) {
        logMessage(logLevel_t::error, who + " has " + std::to_string(names.size()) +
                                          " shader nodes, more than the " + std::to_string(kMaxShaderNodes) +
                                          " a material may have; it renders without them");
        nodesRefused_ = true;
        return;
    }
    std::vector<std::pair<shaderNode_t*, const paraMap_t*>> created;
    std::vector<std::unique_ptr<shaderNode_t>> all;
    std::map<std::string, shaderNode_t*> byName;
    for (paraMap_t& element : elements) {
        std::string kind, name, type;
        element.getParam("element", kind);
        if (kind != "shader_node") continue;
        element.getParam("name", name);
        element.getParam("type", type);
        if (name.empty()) {
            logMessage(logLevel_t::warning, who + ": a shader node without a name was skipped");
            continue;
        }
        // One shader used twice in a material's tree is listed twice; the first copy serves both.
        if (byName.count(name)) continue;
        shadernode_factory_t factory = env.shaderNodeFactory(type);
        if (!factory) {
            logMessage(logLevel_t::warning,
                       who + ": shader node '" + name + "' has unknown type '" + type + "'");
            continue;
        }
        std::unique_ptr<shaderNode_t> node(factory(element, env));
        if (!node) {
            logMessage(logLevel_t::warning, who + ": shader node '" + name + "' (" + type + ") not created");
            continue;
        }
        byName[name] = node.get();
        created.emplace_back(node.get(), &element);
        all.push_back(std::move(node));
    }

    // Wire inputs by name; a node whose inputs are missing is unusable.
    std::set<const shaderNode_t*> bad;
    const nodeFinder_t finder(byName);
    for (auto& [node, params] : created) {
        if (!node->configInputs(*params, finder)) bad.insert(node);
    }
    // Drop nodes that lie on a dependency cycle or depend on an unusable node.
    std::map<const shaderNode_t*, int> state;  // 1: on the current path, 2: done
    std::function<bool(const shaderNode_t*)> usable = [&](const shaderNode_t* n) -> bool {
        if (bad.count(n)) return false;
        const int s = state[n];
        if (s == 1) return false;
        if (s == 2) return true;
        state[n] = 1;
        bool ok = true;
        for (const shaderNode_t* d : n->dependencies()) ok = (d && usable(d)) && ok;
        state[n] = 2;
        if (!ok) bad.insert(n);
        return ok;
    };
    for (auto& [node, params] : created) usable(node);

    for (auto& [name, node] : byName) {
        if (bad.count(node)) {
            logMessage(logLevel_t::warning,
                       who + ": shader node '" + name + "' has a missing or circular input and is not used");
        } else {
            byName_[name] = node;
        }
    }
    for (auto& node : all) {
        if (!bad.count(node.get())) {
            node->ID = static_cast<unsigned int>(nodes_.size());
            nodes_.push_back(std::move(node));
        }
    }
    for (paraMap_t& element : elements) {
        std::string kind;
        element.getParam("element", kind);
        if (kind != "shader_node") continue;
        std::string type;
        element.getParam("type", type);
        for (const std::string& unused : element.unreadParameters()) {
            logMessage(logLevel_t::warning, "unused parameter '" + unused + "' for shader node " + type);
        }
    }
}

const shaderNode_t* nodeMaterial_t::slotNode(const paraMap_t& params, const char* slot) {
    std::string name;
    if (nodesRefused_ || !params.getParam(slot, name) || name.empty()) return nullptr;
    const auto it = byName_.find(name);
    if (it == byName_.end()) {
        logMessage(logLevel_t::warning, "material '" + materialName_ + "': shader node '" + name + "' for " +
                                            slot + " does not exist; rendering without it");
        return nullptr;
    }
    return it->second;
}

void nodeMaterial_t::solveNodesOrder(const std::vector<const shaderNode_t*>& roots,
                                     const shaderNode_t* bump) {
    auto collect = [](const shaderNode_t* root, std::vector<const shaderNode_t*>& out,
                      std::set<const shaderNode_t*>& seen) {
        std::function<void(const shaderNode_t*)> visit = [&](const shaderNode_t* n) {
            if (!n || seen.count(n)) return;
            seen.insert(n);
            for (const shaderNode_t* d : n->dependencies()) visit(d);
            out.push_back(n);  // after its inputs
        };
        visit(root);
    };
    order_.clear();
    bumpOrder_.clear();
    std::set<const shaderNode_t*> seen, seenBump;
    for (const shaderNode_t* r : roots) collect(r, order_, seen);
    collect(bump, order_, seen);
    collect(bump, bumpOrder_, seenBump);
    bump_ = bump;
}

void nodeMaterial_t::evalNodes(const surfacePoint_t& sp, nodeStack_t& stack) const {
    for (const shaderNode_t* n : order_) n->eval(stack, sp);
}

vector3d_t nodeMaterial_t::bumpedNormal(const surfacePoint_t& sp, nodeStack_t& stack) const {
    if (!bump_) return sp.N;
    vector3d_t T, B;
    bumpFrame(sp, sp.N, T, B);
    for (const shaderNode_t* n : bumpOrder_) n->evalDerivative(stack, sp, T, B);
    const nodeResult_t& r = stack[bump_->ID];
    vector3d_t n = (sp.N - T * r.du - B * r.dv).normalized();
    // Never bend the normal to the far side of the surface.
    if (dot(n, sp.Ng) <= 0.01f) n = (n + sp.Ng * (0.01f - dot(n, sp.Ng))).normalized();
    return n;
}

materialResponse_t blendResponses(const materialResponse_t& a, const materialResponse_t& b, float w) {
    const float wa = 1.f - w;
    materialResponse_t r;
    r.N = (a.N * wa + b.N * w).normalized();
    r.diffuse = a.diffuse * wa + b.diffuse * w;
    r.translucent = a.translucent * wa + b.translucent * w;
    r.mirror = a.mirror * wa + b.mirror * w;
    r.transmit = a.transmit * wa + b.transmit * w;
    r.refract = a.refract * wa + b.refract * w;
    const bool ra = !a.refract.isBlack(), rb = !b.refract.isBlack();
    r.refractDir =
        ra && rb ? (a.refractDir * wa + b.refractDir * w).normalized() : (ra ? a.refractDir : b.refractDir);
    r.emit = a.emit * wa + b.emit * w;
    r.alpha = a.alpha * wa + b.alpha * w;
    return r;
}

}  // namespace yafaray
