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

// A value source behind a shader: at render time it creates one ray-tracer texture under its own
// name, which a texture-mapper node then names. Built and edited on the main thread; appended on the
// render worker.
class BaseTexture : public Archivable {
public:
    BaseTexture();  // init: a new unique name
    ~BaseTexture() override = default;

    const std::string& name() const { return name_; }
    void setName(const std::string& name) { name_ = name; }

    // Creates the ray-tracer texture named `name`; the base texture creates nothing. Concrete textures
    // create nothing unless the renderer is a ray tracer. Render worker thread.
    virtual void appendToRenderer(BaseRenderer& renderer);
    // The colour that stands for the texture in swatches; none for the base and the image texture.
    virtual std::optional<Color> representativeColor() const { return std::nullopt; }

    // The name of a noise index as the ray tracer knows it (0 "stdperlin" … 7 "cellnoise"); none for
    // any other value.
    static std::optional<std::string> noiseTypeStringForEnum(int noiseType);

    // Archive: "name".
    std::string archiveClassName() const override { return "BaseTexture"; }
    void encode(KeyedArchiver& coder) const override;
    void decode(KeyedUnarchiver& coder) override;

protected:
    // The interface of a ray-tracing renderer, or null for any other renderer.
    static yafaray::yafrayInterface_t* interfaceOf(BaseRenderer& renderer);
    // The name sent for a noise field. An index outside the table (only a damaged archive holds one)
    // falls back to "stdperlin", with one log line per process, so the engine never gets an empty name.
    static std::string noiseNameForRenderer(int noiseType);
    // Sends a colour as (red, green, blue, alpha); an absent colour is not sent.
    static void sendColor(yafaray::yafrayInterface_t& yi, const char* key, const std::optional<Color>& color);
    // color1 blended half-way toward color2: the swatch colour of the procedural textures.
    static std::optional<Color> halfwayColor(const std::optional<Color>& color1,
                                             const std::optional<Color>& color2);

private:
    std::string name_;
};

}  // namespace korvane
