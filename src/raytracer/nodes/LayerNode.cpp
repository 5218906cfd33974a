// "layer": an input (colour or scalar) laid over an upper layer with one of the modes
// 0 mix, 1 add, 2 multiply, 3 subtract, 4 screen, 5 divide, 6 difference, 7 darken, 8 lighten
// (any other mode mixes). The upper layer's alpha works as a stencil; the bump slopes of input
// and upper layer add up.

#include <algorithm>
#include <cmath>
#include <string>

#include "raytracer/core/NodeMaterial.h"
#include "raytracer/nodes/BasicNodes.h"

namespace yafaray {
namespace {

enum class layerMode_t { mix, add, multiply, subtract, screen, divide, difference, darken, lighten };

// One channel of the blend: X the input value, Y the upper value, f the input's own factor and
// g the layer factor (upper alpha × colfac / valfac).
float blendChannel(layerMode_t mode, float X, float Y, float f, float g) {
    const float k = f * g;
    switch (mode) {
        case layerMode_t::add:
            return Y + k * X;
        case layerMode_t::subtract:
            return Y - k * X;
        case layerMode_t::multiply:
            return (1.f - g + k * X) * Y;
        case layerMode_t::screen:
            return 1.f - (1.f - g + k * (1.f - X)) * (1.f - Y);
        case layerMode_t::divide:
            return (1.f - k) * Y + (X != 0.f ? k * Y / X : 0.f);
        case layerMode_t::difference:
            return (1.f - k) * Y + k * std::fabs(X - Y);
        case layerMode_t::darken:
            return std::min(k * X, Y);
        case layerMode_t::lighten:
            return std::max(k * X, Y);
        case layerMode_t::mix:
            break;
    }
    return k * X + (1.f - k) * Y;
}

class layerNode_t : public shaderNode_t {
public:
    explicit layerNode_t(const paraMap_t& params) {
        int mode = 0;
        params.getParam("mode", mode);
        mode_ = mode >= 0 && mode <= 8 ? static_cast<layerMode_t>(mode) : layerMode_t::mix;
        params.getParam("upper_color", upperColor_);
        params.getParam("upper_value", upperValue_);
        params.getParam("colfac", colfac_);
        params.getParam("valfac", valfac_);
        params.getParam("def_col", defCol_);
        params.getParam("def_val", defVal_);
        params.getParam("do_color", doColor_);
        params.getParam("do_scalar", doScalar_);
        params.getParam("color_input", colorInput_);
        params.getParam("use_alpha", useAlpha_);
        params.getParam("noRGB", noRGB_);
        params.getParam("stencil", stencil_);
        params.getParam("negative", negative_);
    }

    bool configInputs(const paraMap_t& params, const nodeFinder_t& find) override {
        std::string name;
        if (!params.getParam("input", name) || !(input_ = find(name))) return false;
        // A named upper layer must exist; without one the constants serve.
        if (params.getParam("upper_layer", name) && !(upper_ = find(name))) return false;
        return true;
    }

    std::vector<const shaderNode_t*> dependencies() const override {
        std::vector<const shaderNode_t*> d{input_};
        if (upper_) d.push_back(upper_);
        return d;
    }

    void eval(nodeStack_t& stack, const surfacePoint_t&) const override {
        color_t Rc = upperColor_;
        float Rv = upperValue_, S = 1.f;
        if (upper_) {
            const nodeResult_t& u = stack[upper_->ID];
            Rc = u.col;
            Rv = u.f;
            S = u.col.A;
        }
        const nodeResult_t& in = stack[input_->ID];
        bool rgbInput = colorInput_;
        color_t T = in.col;
        float a = in.col.A, v = in.f;
        if (rgbInput && noRGB_) {
            v = T.luminance();
            rgbInput = false;
        }
        if (negative_) {
            T = color_t(1.f) - T;
            v = 1.f - v;
        }
        if (stencil_) {
            if (rgbInput) {
                const float a0 = a;
                a *= S;
                S *= a0;
            } else {
                const float v0 = v;
                v *= S;
                S *= v0;
            }
        }
        nodeResult_t& r = stack[ID];
        r.col = colorA_t(color_t(0.f), S);
        r.f = 0.f;
        if (doColor_) {
            const color_t X = rgbInput ? T : defCol_;
            const float f = std::clamp(rgbInput ? a : v, 0.f, 1.f);
            const float g = S * colfac_;
            r.col = colorA_t(std::max(0.f, blendChannel(mode_, X.R, Rc.R, f, g)),
                             std::max(0.f, blendChannel(mode_, X.G, Rc.G, f, g)),
                             std::max(0.f, blendChannel(mode_, X.B, Rc.B, f, g)), S);
        }
        if (doScalar_) {
            float f = v;
            if (rgbInput) f = useAlpha_ ? (negative_ ? 1.f - a : a) : T.luminance();
            r.f = std::max(0.f, blendChannel(mode_, defVal_, Rv, f, S * valfac_));
        }
    }

    void evalDerivative(nodeStack_t& stack, const surfacePoint_t&, const vector3d_t&,
                        const vector3d_t&) const override {
        float du = stack[input_->ID].du, dv = stack[input_->ID].dv;
        if (upper_) {
            du += stack[upper_->ID].du;
            dv += stack[upper_->ID].dv;
        }
        const float sign = negative_ ? -1.f : 1.f;
        stack[ID].du = sign * du;
        stack[ID].dv = sign * dv;
    }

private:
    const shaderNode_t* input_ = nullptr;
    const shaderNode_t* upper_ = nullptr;
    layerMode_t mode_ = layerMode_t::mix;
    color_t upperColor_{0.f}, defCol_{1.f};
    float upperValue_ = 0.f, colfac_ = 1.f, valfac_ = 1.f, defVal_ = 1.f;
    bool doColor_ = true, doScalar_ = false, colorInput_ = true, useAlpha_ = false, noRGB_ = false,
         stencil_ = false, negative_ = false;
};

}  // namespace

shaderNode_t* layerNodeFactory(const paraMap_t& params, renderEnvironment_t&) {
    return new layerNode_t(params);
}

}  // namespace yafaray
