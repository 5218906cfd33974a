#pragma once

#include <string>
#include <vector>

#include "foundation/archive/Archivable.h"
#include "scene/materials/PresetDictionary.h"

namespace yafaray {
class material_t;
class yafrayInterface_t;
}  // namespace yafaray

namespace korvane {

class BaseRenderer;

// How a surface looks to the ray tracer. Layers own materials and, while appending themselves, ask
// each to create its ray-tracer material; the returned handle goes on the triangles they add. Built
// and edited on the main thread; appended on the render worker (never while being edited).
class BaseMaterial : public Archivable {
public:
    BaseMaterial();  // init: a new unique name and hidden name
    ~BaseMaterial() override = default;

    // The user-visible name; archived.
    const std::string& name() const { return name_; }
    void setName(const std::string& name) { name_ = name; }
    // New for every object (created or decoded), never archived: keeps the ray-tracer names of two
    // materials with the same user name apart in one render.
    const std::string& hiddenRandomName() const { return hiddenRandomName_; }
    // "name - hiddenRandomName": the name of every ray-tracer material this object creates.
    std::string materialNameForRenderer() const;

    // Creates the material in the ray tracer and returns the handle (owned by the engine), or null
    // when nothing was created. The scales are texture-coordinate scales handed to the shaders' nodes;
    // the plain form uses 1, 1, 1. The base material creates nothing. Render worker thread.
    const yafaray::material_t* appendToRenderer(BaseRenderer& renderer);
    virtual const yafaray::material_t* appendToRenderer(BaseRenderer& renderer, float scaleX, float scaleY,
                                                        float scaleZ);

    // The preset catalogue of the class (none for the base material) and applying one entry of it.
    static std::vector<PresetDictionary> presetDictionaries() { return {}; }
    virtual void configureWithPresetDictionary(const PresetDictionary&) {}

    // Archive: "name".
    std::string archiveClassName() const override { return "BaseMaterial"; }
    void encode(KeyedArchiver& coder) const override;
    void decode(KeyedUnarchiver& coder) override;

protected:
    // The interface of a ray-tracing renderer, or null for any other renderer.
    static yafaray::yafrayInterface_t* interfaceOf(BaseRenderer& renderer);

private:
    std::string name_;
    std::string hiddenRandomName_;
};

}  // namespace korvane
