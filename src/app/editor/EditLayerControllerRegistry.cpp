#include "app/editor/EditLayerControllerRegistry.h"

#include "app/editor/BaseEditLayerViewController.h"
#include "app/editors/LayerEditors.h"

namespace korvane {

EditLayerControllerRegistry& EditLayerControllerRegistry::shared() {
    static EditLayerControllerRegistry* registry = [] {
        auto* made = new EditLayerControllerRegistry;
        registerLayerEditors(*made);
        return made;
    }();
    return *registry;
}

void EditLayerControllerRegistry::registerEditor(const std::string& className, Factory factory) {
    factories_[className] = std::move(factory);
}

BaseEditLayerViewController* EditLayerControllerRegistry::createEditor(const std::string& className,
                                                                       std::shared_ptr<BaseSceneLayer> layer,
                                                                       MyDocument* document, QWidget* parent) const {
    auto found = factories_.find(className);
    if (found == factories_.end()) return nullptr;
    return found->second(std::move(layer), document, parent);
}

}  // namespace korvane
