#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include <QWidget>

namespace korvane {

class BaseEditLayerViewController;
class BaseSceneLayer;
class MyDocument;

// The layer editors by class name, as layers name them in editLayerClassName
// ("EditTerrainLayerViewController", …). Editors register themselves at start-up. Main thread.
class EditLayerControllerRegistry {
public:
    using Factory = std::function<BaseEditLayerViewController*(std::shared_ptr<BaseSceneLayer>, MyDocument*, QWidget*)>;

    static EditLayerControllerRegistry& shared();

    void registerEditor(const std::string& className, Factory factory);
    // A new editor of that class for the layer (owned by parent), or null when no such editor exists.
    BaseEditLayerViewController* createEditor(const std::string& className, std::shared_ptr<BaseSceneLayer> layer,
                                              MyDocument* document, QWidget* parent) const;
    bool hasEditor(const std::string& className) const { return factories_.count(className) > 0; }

private:
    std::map<std::string, Factory> factories_;
};

}  // namespace korvane
