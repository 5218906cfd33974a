#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "scene/BaseSceneLayer.h"

namespace korvane {

// One row of the layer table: what the editor's list and the layer menu show for a layer class.
struct LayerClassInfo {
    std::string className;
    std::string name;
    std::string icon;
    std::string editLayerClassName;
    int orderForFunctionsList = 100;
    bool canBeDeleted = false;
};

// The layer classes the model knows: each is registered with the archive under its class name
// (so documents decode it by name) and listed with the values of the layer table.
class SceneLayerRegistry {
public:
    using Factory = std::function<std::shared_ptr<BaseSceneLayer>()>;

    // The process-wide registry. Register at start-up on the main thread; read from any thread.
    static SceneLayerRegistry& shared();

    // Registers a layer class under `className`, derived from `superclass` ("BaseSceneLayer" or an
    // intermediate family base such as "SmallObjectsLayer").
    template <class T>
    void registerLayerClass(const std::string& className, const std::string& superclass = "BaseSceneLayer") {
        registerLayerClass(className, superclass, [] { return std::make_shared<T>(); });
    }
    void registerLayerClass(const std::string& className, const std::string& superclass, Factory factory);

    // A new layer of the class in `scene` (owned by the caller), or nullptr for an unknown name.
    std::shared_ptr<BaseSceneLayer> createLayer(const std::string& className, Scene* scene) const;
    // Every registered class, in the editor list's order (then by class name).
    std::vector<LayerClassInfo> layerTable() const;

private:
    std::map<std::string, Factory> factories_;
};

// Registers Scene and every layer class with the archive and the layer registry. Idempotent and
// thread-safe; call it before opening or saving documents.
void registerSceneClasses();

}  // namespace korvane
