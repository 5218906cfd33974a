// "value": a constant "color" (default white), "scalar" (default 1) and "alpha" (default 1).

#include "raytracer/core/NodeMaterial.h"
#include "raytracer/nodes/BasicNodes.h"

namespace yafaray {
namespace {

class valueNode_t : public shaderNode_t {
public:
    explicit valueNode_t(const paraMap_t& params) {
        color_t c(1.f);
        float alpha = 1.f;
        params.getParam("color", c);
        params.getParam("scalar", scalar_);
        params.getParam("alpha", alpha);
        color_ = colorA_t(c, alpha);
    }

    bool configInputs(const paraMap_t&, const nodeFinder_t&) override { return true; }

    void eval(nodeStack_t& stack, const surfacePoint_t&) const override {
        stack[ID].col = color_;
        stack[ID].f = scalar_;
    }

private:
    colorA_t color_{1.f, 1.f, 1.f, 1.f};
    float scalar_ = 1.f;
};

}  // namespace

shaderNode_t* valueNodeFactory(const paraMap_t& params, renderEnvironment_t&) {
    return new valueNode_t(params);
}

}  // namespace yafaray
