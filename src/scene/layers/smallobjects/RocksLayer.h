#pragma once

#include "scene/layers/smallobjects/SmallObjectsLayer.h"

namespace korvane {

// Small rocks and stones; grey rocks when created.
class RocksLayer final : public SmallObjectsLayer {
public:
    explicit RocksLayer(Scene* scene = nullptr);
    std::shared_ptr<BaseSceneLayer> copy() const override;

    std::string name() const override { return "Rocks (" + kindName() + ")"; }
    std::string icon() const override { return "RocksLayerIcon.png"; }
    int orderForFunctionsList() const override { return 150; }
    std::vector<const SmallObjectClass*> allSmallObjectClasses() const override;

    std::string archiveClassName() const override { return "RocksLayer"; }
};

}  // namespace korvane
