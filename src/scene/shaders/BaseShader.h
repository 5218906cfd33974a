#pragma once

#include <optional>
#include <string>

#include "foundation/Color.h"
#include "foundation/archive/Archivable.h"

namespace yafaray {
class yafrayInterface_t;
}

namespace korvane {

class BaseRenderer;

// A node through which a material takes a value from a texture: a colour, a bump, a transparency, a
// reflection amount or a blend mask. A material first lets its shaders create their textures
// (appendToRenderer), then builds its own parameter map and lets each shader add its node elements
// to the list (appendShaderNodeToRenderer), inputs before the nodes that name them. Built on the
// main thread; appended on the render worker.
class BaseShader : public Archivable {
public:
    BaseShader();  // init: a new unique name
    ~BaseShader() override = default;

    // The node's name; other nodes and materials refer to the shader by it.
    const std::string& name() const { return name_; }
    void setName(const std::string& name) { name_ = name; }

    // Lets the textures the shader reads create themselves; the base shader has none.
    virtual void appendToRenderer(BaseRenderer& renderer);
    // Adds the node (and its inputs' nodes) to the current list. The base versions forward to each
    // other, the unscaled one with the scale 1, 1, 1, the scaled one dropping its scale; every
    // concrete shader overrides at least one of them.
    virtual void appendShaderNodeToRenderer(BaseRenderer& renderer);
    virtual void appendShaderNodeToRenderer(BaseRenderer& renderer, float scaleX, float scaleY, float scaleZ);

    // A colour that stands for the shader in swatches; none for the base shader.
    virtual std::optional<Color> representativeColor() const { return std::nullopt; }

    // Whether setBumpStrength means anything to this shader (materials ask before handing over
    // their bump strength), and the setter itself; the base shader ignores it.
    virtual bool respondsToSetBumpStrength() const { return false; }
    virtual void setBumpStrength(float) {}

    // Archive: "name".
    std::string archiveClassName() const override { return "BaseShader"; }
    void encode(KeyedArchiver& coder) const override;
    void decode(KeyedUnarchiver& coder) override;

protected:
    // The interface of a ray-tracing renderer, or null for any other renderer.
    static yafaray::yafrayInterface_t* interfaceOf(BaseRenderer& renderer);

private:
    std::string name_;
};

}  // namespace korvane
