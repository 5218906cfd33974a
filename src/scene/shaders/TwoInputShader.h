#pragma once

#include <memory>

#include "scene/shaders/BaseShader.h"

namespace korvane {

// What the two combining shaders (layer and mix) share: two input shaders that are appended before
// the combining node, pass a bump strength on, give the combined swatch colour and are archived as
// "shader1" and "shader2".
class TwoInputShader : public BaseShader {
public:
    const std::shared_ptr<BaseShader>& shader1() const { return shader1_; }
    void setShader1(std::shared_ptr<BaseShader> shader) { shader1_ = std::move(shader); }
    const std::shared_ptr<BaseShader>& shader2() const { return shader2_; }
    void setShader2(std::shared_ptr<BaseShader> shader) { shader2_ = std::move(shader); }

    void appendToRenderer(BaseRenderer& renderer) override;
    std::optional<Color> representativeColor() const override;
    bool respondsToSetBumpStrength() const override { return true; }
    void setBumpStrength(float strength) override;

    void encode(KeyedArchiver& coder) const override;
    void decode(KeyedUnarchiver& coder) override;

protected:
    // Appends both inputs' nodes and opens the combining node's list element with its "element",
    // "type" and "name"; null (nothing appended) for a foreign renderer, a missing input or a
    // cyclic graph. The caller adds the node's own parameters to the returned interface.
    yafaray::yafrayInterface_t* beginCombiningNode(BaseRenderer& renderer, const char* type);

    std::shared_ptr<BaseShader> shader1_;
    std::shared_ptr<BaseShader> shader2_;
};

// shader1's colour blended half-way toward shader2's; none when shader1 has none, shader1's alone when
// shader2 has none.
std::optional<Color> combinedRepresentativeColor(const BaseShader* shader1, const BaseShader* shader2);

}  // namespace korvane
