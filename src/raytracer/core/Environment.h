#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "raytracer/core/ParamMap.h"
#include "raytracer/core/Plugin.h"
#include "raytracer/core/Volume.h"

namespace yafaray {

class renderEnvironment_t;

using texture_factory_t = texture_t* (*)(paraMap_t&, renderEnvironment_t&);
using material_factory_t = material_t* (*)(paraMap_t&, std::vector<paraMap_t>&, renderEnvironment_t&);
using light_factory_t = light_t* (*)(paraMap_t&, renderEnvironment_t&);
using camera_factory_t = camera_t* (*)(paraMap_t&, renderEnvironment_t&);
using background_factory_t = background_t* (*)(paraMap_t&, renderEnvironment_t&);
using integrator_factory_t = integrator_t* (*)(paraMap_t&, renderEnvironment_t&);
using volumeregion_factory_t = VolumeRegion* (*)(paraMap_t&, renderEnvironment_t&);
using object_factory_t = object3d_t* (*)(paraMap_t&, renderEnvironment_t&);
using shadernode_factory_t = shaderNode_t* (*)(const paraMap_t&, renderEnvironment_t&);

// The plug-in registry (factories by category and type name) and the named instances created
// from it. Used from the thread that builds the scene; lookups are read-only during render.
class renderEnvironment_t {
public:
    // Registering a type name again replaces the earlier factory.
    void registerFactory(const std::string& name, texture_factory_t f) { textureFactories_[name] = f; }
    void registerFactory(const std::string& name, material_factory_t f) { materialFactories_[name] = f; }
    void registerFactory(const std::string& name, light_factory_t f) { lightFactories_[name] = f; }
    void registerFactory(const std::string& name, camera_factory_t f) { cameraFactories_[name] = f; }
    void registerFactory(const std::string& name, background_factory_t f) { backgroundFactories_[name] = f; }
    void registerFactory(const std::string& name, integrator_factory_t f) { integratorFactories_[name] = f; }
    void registerFactory(const std::string& name, volumeregion_factory_t f) { volumeFactories_[name] = f; }
    void registerFactory(const std::string& name, object_factory_t f) { objectFactories_[name] = f; }
    void registerFactory(const std::string& name, shadernode_factory_t f) { shaderNodeFactories_[name] = f; }
    // Factory of the shader node type, or null; materials build their node lists with it.
    shadernode_factory_t shaderNodeFactory(const std::string& type) const {
        const auto it = shaderNodeFactories_.find(type);
        return it == shaderNodeFactories_.end() ? nullptr : it->second;
    }

    // Create calls: the plug-in is chosen by the string parameter "type". They return the new
    // instance (owned by the environment) or null when the name is taken, the type is unknown or
    // the factory refused; each failure is logged, as are parameters the factory did not read.
    texture_t* createTexture(const std::string& name, paraMap_t& params);
    material_t* createMaterial(const std::string& name, paraMap_t& params, std::vector<paraMap_t>& nodes);
    light_t* createLight(const std::string& name, paraMap_t& params);
    camera_t* createCamera(const std::string& name, paraMap_t& params);
    background_t* createBackground(const std::string& name, paraMap_t& params);
    integrator_t* createIntegrator(const std::string& name, paraMap_t& params);
    VolumeRegion* createVolumeRegion(const std::string& name, paraMap_t& params);
    object3d_t* createObject(const std::string& name, paraMap_t& params);

    // Lookups by instance name; null when absent. Pointers stay valid until clearAll.
    texture_t* getTexture(const std::string& name) const { return find(textures_, name); }
    material_t* getMaterial(const std::string& name) const { return find(materials_, name); }
    camera_t* getCamera(const std::string& name) const { return find(cameras_, name); }
    background_t* getBackground(const std::string& name) const { return find(backgrounds_, name); }
    integrator_t* getIntegrator(const std::string& name) const { return find(integrators_, name); }
    // Every light, in creation order.
    std::vector<light_t*> lights() const;
    std::vector<VolumeRegion*> volumeRegions() const;

    bool hasFactory(const std::string& category, const std::string& type) const;

    // Destroys every instance; the factories stay registered.
    void clearAll();

private:
    template <typename T>
    using instances_t = std::vector<std::pair<std::string, std::unique_ptr<T>>>;

    template <typename T>
    static T* find(const instances_t<T>& list, const std::string& name) {
        for (const auto& [n, p] : list) {
            if (n == name) return p.get();
        }
        return nullptr;
    }

    template <typename T, typename F, typename... Extra>
    T* create(const char* category, const std::string& name, paraMap_t& params,
              const std::map<std::string, F>& factories, instances_t<T>& list, Extra&... extra);

    std::map<std::string, texture_factory_t> textureFactories_;
    std::map<std::string, material_factory_t> materialFactories_;
    std::map<std::string, light_factory_t> lightFactories_;
    std::map<std::string, camera_factory_t> cameraFactories_;
    std::map<std::string, background_factory_t> backgroundFactories_;
    std::map<std::string, integrator_factory_t> integratorFactories_;
    std::map<std::string, volumeregion_factory_t> volumeFactories_;
    std::map<std::string, object_factory_t> objectFactories_;
    std::map<std::string, shadernode_factory_t> shaderNodeFactories_;

    instances_t<texture_t> textures_;
    instances_t<material_t> materials_;
    instances_t<light_t> lights_;
    instances_t<camera_t> cameras_;
    instances_t<background_t> backgrounds_;
    instances_t<integrator_t> integrators_;
    instances_t<VolumeRegion> volumes_;
    instances_t<object3d_t> objects_;
};

}  // namespace yafaray
