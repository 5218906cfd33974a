// "mix": input1 (or the constant color1) and input2 (or color2) combined by the factor (a
// node's scalar, or the constant "value") in one of the modes 0 mix, 1 add, 2 multiply,
// 3 subtract, 4 screen, 5 divide (mixes), 6 difference, 7 darken, 8 lighten, 9 overlay.

#include <algorithm>
#include <cmath>
#include <string>

#include "raytracer/core/Log.h"
#include "raytracer/core/NodeMaterial.h"
#include "raytracer/nodes/BasicNodes.h"

namespace yafaray {
namespace {

enum class mixMode_t { mix, add, multiply, subtract, screen, divide, difference, darken, lighten, overlay };

float mixChannel(mixMode_t mode, float c1, float c2, float f) {
    switch (mode) {
        case mixMode_t::add:
            return c1 + f * c2;
        case mixMode_t::multiply:
            return c1 * ((1.f - f) + f * c2);
        case mixMode_t::subtract:
            return c1 - f * c2;
        case mixMode_t::screen:
            return 1.f - ((1.f - f) + f * (1.f - c2)) * (1.f - c1);
        case mixMode_t::difference:
            return (1.f - f) * c1 + f * std::fabs(c1 - c2);
        case mixMode_t::darken:
            return std::min(c1, f * c2);
        case mixMode_t::lighten:
            return std::max(c1, f * c2);
        case mixMode_t::overlay:
            return c1 < 0.5f ? c1 * ((1.f - f) + 2.f * f * c2)
                             : 1.f - ((1.f - f) + 2.f * f * (1.f - c2)) * (1.f - c1);
        case mixMode_t::divide:
        case mixMode_t::mix:
            break;
    }
    return (1.f - f) * c1 + f * c2;
}

class mixNode_t : public shaderNode_t {
public:
    explicit mixNode_t(const paraMap_t& params) {
        int mode = 0;
        params.getParam("mode", mode);
        mode_ = mode >= 0 && mode <= 9 ? static_cast<mixMode_t>(mode) : mixMode_t::mix;
        hasColor1_ = params.getParam("color1", color1_);
        hasColor2_ = params.getParam("color2", color2_);
        hasValue_ = params.getParam("value", value_);
    }

    bool configInputs(const paraMap_t& params, const nodeFinder_t& find) override {
        std::string name;
        if (params.getParam("input1", name) && !(input1_ = find(name))) return false;
        if (params.getParam("input2", name) && !(input2_ = find(name))) return false;
        if (params.getParam("factor", name) && !(factor_ = find(name))) return false;
        return (input1_ || hasColor1_) && (input2_ || hasColor2_) && (factor_ || hasValue_);
    }

    std::vector<const shaderNode_t*> dependencies() const override {
        std::vector<const shaderNode_t*> d;
        for (const shaderNode_t* n : {input1_, input2_, factor_}) {
            if (n) d.push_back(n);
        }
        return d;
    }

    void eval(nodeStack_t& stack, const surfacePoint_t&) const override {
        // Constant colours stand for themselves in the scalar output by their luminance.
        const colorA_t c1 = input1_ ? stack[input1_->ID].col : color1_;
        const colorA_t c2 = input2_ ? stack[input2_->ID].col : color2_;
        const float f1 = input1_ ? stack[input1_->ID].f : color1_.luminance();
        const float f2 = input2_ ? stack[input2_->ID].f : color2_.luminance();
        const float f = std::clamp(factor_ ? stack[factor_->ID].f : value_, 0.f, 1.f);
        nodeResult_t& r = stack[ID];
        r.col = colorA_t(mixChannel(mode_, c1.R, c2.R, f), mixChannel(mode_, c1.G, c2.G, f),
                         mixChannel(mode_, c1.B, c2.B, f), mixChannel(mode_, c1.A, c2.A, f));
        r.f = mixChannel(mode_, f1, f2, f);
    }

    void evalDerivative(nodeStack_t& stack, const surfacePoint_t&, const vector3d_t&,
                        const vector3d_t&) const override {
        // The height field mixes like the scalar, for the linear modes; others take input1's.
        const float f = std::clamp(factor_ ? stack[factor_->ID].f : value_, 0.f, 1.f);
        const float du1 = input1_ ? stack[input1_->ID].du : 0.f, dv1 = input1_ ? stack[input1_->ID].dv : 0.f;
        const float du2 = input2_ ? stack[input2_->ID].du : 0.f, dv2 = input2_ ? stack[input2_->ID].dv : 0.f;
        nodeResult_t& r = stack[ID];
        switch (mode_) {
            case mixMode_t::mix:
            case mixMode_t::divide:
                r.du = (1.f - f) * du1 + f * du2;
                r.dv = (1.f - f) * dv1 + f * dv2;
                break;
            case mixMode_t::add:
                r.du = du1 + f * du2;
                r.dv = dv1 + f * dv2;
                break;
            case mixMode_t::subtract:
                r.du = du1 - f * du2;
                r.dv = dv1 - f * dv2;
                break;
            default:
                r.du = du1;
                r.dv = dv1;
                break;
        }
    }

private:
    const shaderNode_t* input1_ = nullptr;
    const shaderNode_t* input2_ = nullptr;
    const shaderNode_t* factor_ = nullptr;
    mixMode_t mode_ = mixMode_t::mix;
    colorA_t color1_{0.f, 0.f, 0.f, 1.f}, color2_{0.f, 0.f, 0.f, 1.f};
    float value_ = 0.5f;
    bool hasColor1_ = false, hasColor2_ = false, hasValue_ = false;
};

}  // namespace

shaderNode_t* mixNodeFactory(const paraMap_t& params, renderEnvironment_t&) {
    return new mixNode_t(params);
}

}  // namespace yafaray
