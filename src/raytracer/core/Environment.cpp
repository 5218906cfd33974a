#include "raytracer/core/Environment.h"

#include "raytracer/core/Log.h"

namespace yafaray {

template <typename T, typename F, typename... Extra>
T* renderEnvironment_t::create(const char* category, const std::string& name, paraMap_t& params,
                               const std::map<std::string, F>& factories, instances_t<T>& list,
                               Extra&... extra) {
    if (find(list, name)) {
        logMessage(logLevel_t::warning, std::string(category) + " '" + name + "' already exists");
        return nullptr;
    }
    params.resetReadMarks();
    std::string type;
    if (!params.getParam("type", type)) {
        logMessage(logLevel_t::error, std::string(category) + " '" + name + "': no type given");
        return nullptr;
    }
    const auto it = factories.find(type);
    if (it == factories.end()) {
        logMessage(logLevel_t::error,
                   std::string("no ") + category + " plug-in of type '" + type + "' (for '" + name + "')");
        return nullptr;
    }
    T* object = it->second(params, extra..., *this);
    for (const std::string& unused : params.unreadParameters()) {
        logMessage(logLevel_t::warning, "unused parameter '" + unused + "' for " + type);
    }
    if (!object) {
        logMessage(logLevel_t::error,
                   std::string(category) + " '" + name + "' of type '" + type + "' not created");
        return nullptr;
    }
    list.emplace_back(name, std::unique_ptr<T>(object));
    return object;
}

texture_t* renderEnvironment_t::createTexture(const std::string& name, paraMap_t& params) {
    return create("texture", name, params, textureFactories_, textures_);
}

material_t* renderEnvironment_t::createMaterial(const std::string& name, paraMap_t& params,
                                                std::vector<paraMap_t>& nodes) {
    params.setParam("name", parameter_t(name));
    material_t* m = create("material", name, params, materialFactories_, materials_, nodes);
    return m;
}

light_t* renderEnvironment_t::createLight(const std::string& name, paraMap_t& params) {
    return create("light", name, params, lightFactories_, lights_);
}

camera_t* renderEnvironment_t::createCamera(const std::string& name, paraMap_t& params) {
    return create("camera", name, params, cameraFactories_, cameras_);
}

background_t* renderEnvironment_t::createBackground(const std::string& name, paraMap_t& params) {
    return create("background", name, params, backgroundFactories_, backgrounds_);
}

integrator_t* renderEnvironment_t::createIntegrator(const std::string& name, paraMap_t& params) {
    return create("integrator", name, params, integratorFactories_, integrators_);
}

VolumeRegion* renderEnvironment_t::createVolumeRegion(const std::string& name, paraMap_t& params) {
    return create("volume region", name, params, volumeFactories_, volumes_);
}

object3d_t* renderEnvironment_t::createObject(const std::string& name, paraMap_t& params) {
    return create("object", name, params, objectFactories_, objects_);
}

std::vector<light_t*> renderEnvironment_t::lights() const {
    std::vector<light_t*> result;
    for (const auto& [n, l] : lights_) result.push_back(l.get());
    return result;
}

std::vector<VolumeRegion*> renderEnvironment_t::volumeRegions() const {
    std::vector<VolumeRegion*> result;
    for (const auto& [n, v] : volumes_) result.push_back(v.get());
    return result;
}

bool renderEnvironment_t::hasFactory(const std::string& category, const std::string& type) const {
    if (category == "texture") return textureFactories_.count(type) != 0;
    if (category == "material") return materialFactories_.count(type) != 0;
    if (category == "light") return lightFactories_.count(type) != 0;
    if (category == "camera") return cameraFactories_.count(type) != 0;
    if (category == "background") return backgroundFactories_.count(type) != 0;
    if (category == "integrator") return integratorFactories_.count(type) != 0;
    if (category == "volumeregion") return volumeFactories_.count(type) != 0;
    if (category == "object") return objectFactories_.count(type) != 0;
    if (category == "shadernode") return shaderNodeFactories_.count(type) != 0;
    return false;
}

void renderEnvironment_t::clearAll() {
    // Materials may refer to textures, so they go first.
    materials_.clear();
    lights_.clear();
    cameras_.clear();
    backgrounds_.clear();
    integrators_.clear();
    volumes_.clear();
    objects_.clear();
    textures_.clear();
}

}  // namespace yafaray
