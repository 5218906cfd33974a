#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Geometry.h"

namespace yafaray {
class yafrayInterface_t;
class material_t;
}  // namespace yafaray

namespace korvane {

class BaseRenderer;
class Scene;
class CameraLayer;

// One kind of small object that a plants or rocks layer scatters over the terrain at render time.
// Nothing is stored per object: for every density-map cell the layer asks an instance of its kind
// to generate triangles. An instance (and the render material it makes) lives for one append only,
// on the render worker thread.
class BaseSmallObject {
public:
    BaseSmallObject() = default;
    virtual ~BaseSmallObject() = default;
    BaseSmallObject(const BaseSmallObject&) = delete;
    BaseSmallObject& operator=(const BaseSmallObject&) = delete;

    // The class name, under which a layer archives its kind.
    virtual std::string className() const { return "BaseSmallObject"; }
    // Display name and image resource of the kind; empty for the abstract kinds.
    virtual std::string name() const { return {}; }
    virtual std::string icon() const { return {}; }
    // Footprint in scene units, from which the layer derives how many objects a cell gets.
    virtual Size size() const { return {0.05, 0.05}; }

    // Creates the render material (base: nothing).
    virtual void prepareForRenderer(BaseRenderer& renderer);
    // Bracket all placements of one layer (base: nothing).
    virtual void beginPlacingSmallObjects(BaseRenderer& renderer);
    virtual void endPlacingSmallObjects(BaseRenderer& renderer);
    // Generates up to `count` objects inside `cell` (ground coordinates, scene units) for a painted
    // density `strength` in 0…1 (base: nothing).
    virtual void placeSmallObject(int count, const Rect& cell, float strength, const Scene& scene,
                                  BaseRenderer& renderer);
};

// A kind as the editor and the archive see it: its class name and a way to make an instance.
struct SmallObjectClass {
    std::string className;
    std::function<std::unique_ptr<BaseSmallObject>()> create;

    // The kind's display name and icon (those of a fresh instance).
    std::string name() const;
    std::string icon() const;
};

// Every kind the model knows, looked up by class name; null for a name that does not exist (a
// document written by a version with other kinds). Any thread.
const SmallObjectClass* smallObjectClassNamed(std::string_view className);

// The interface of a renderer that small objects append themselves to, or null when the renderer is
// not the ray tracer (then nothing is generated).
yafaray::yafrayInterface_t* smallObjectInterface(BaseRenderer& renderer);

// What object placement needs of the scene's camera (the last camera layer): the eye on the plan
// and the detail weight that falls off with the distance from it. Without a camera the eye is at
// the plan origin and the weight is 0 everywhere.
class SmallObjectsCamera {
public:
    explicit SmallObjectsCamera(const Scene& scene);
    ~SmallObjectsCamera();
    Point fromPoint() const;
    // 1 at the eye, falling to 0; (x, y) in plan coordinates.
    float distanceFromPointInScene(float x, float y) const;

private:
    std::shared_ptr<CameraLayer> camera_;
};

}  // namespace korvane
