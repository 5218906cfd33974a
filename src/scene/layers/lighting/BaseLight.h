#pragma once

#include <string>

#include "foundation/archive/Archivable.h"

namespace korvane {

class BaseRenderer;
class LightingLayer;
class Scene;

// A light source of the lighting layer. It knows its layer only to reach the scene for change
// notifications; it is created in the ray tracer under its unique `name`. Main thread only; the
// render worker calls appendToRenderer.
class BaseLight : public Archivable {
public:
    explicit BaseLight(LightingLayer* lightingLayer = nullptr);  // initWithLightingLayer:
    ~BaseLight() override = default;

    // The owning layer (not owned); none for a light that has not been added or whose layer is gone.
    LightingLayer* lightingLayer() const { return lightingLayer_; }
    void setLightingLayer(LightingLayer* layer) { lightingLayer_ = layer; }

    bool canBeDeleted() const { return canBeDeleted_; }
    void setCanBeDeleted(bool canBeDeleted) { canBeDeleted_ = canBeDeleted; }
    const std::string& name() const { return name_; }
    void setName(const std::string& name) { name_ = name; }
    const std::string& userName() const { return userName_; }
    void setUserName(const std::string& userName) { userName_ = userName; }
    // The icon's image resource; never archived.
    virtual std::string userIcon() const { return {}; }

    // The base light renders nothing.
    virtual void appendToRenderer(BaseRenderer& renderer);

    // Archive: "lightingLayer", "canBeDeleted", "name", "userName".
    std::string archiveClassName() const override { return "BaseLight"; }
    void encode(KeyedArchiver& coder) const override;
    void decode(KeyedUnarchiver& coder) override;

protected:
    // Posts the scene-did-change notification of the layer's scene, if there is one.
    void postSceneDidChange() const;
    // The scene a render reads: the renderer's, or the layer's when the renderer has none.
    const Scene* sceneForRenderer(const BaseRenderer& renderer) const;

    bool canBeDeleted_ = true;
    std::string name_;
    std::string userName_ = "Base Light";

private:
    LightingLayer* lightingLayer_ = nullptr;
};

}  // namespace korvane
