#pragma once

#include "scene/layers/smallobjects/SmallObjectsLayer.h"

namespace korvane {

// Grass, wheat and leaves; green grass when created.
class PlantsLayer final : public SmallObjectsLayer {
public:
    explicit PlantsLayer(Scene* scene = nullptr);
    std::shared_ptr<BaseSceneLayer> copy() const override;

    std::string name() const override { return "Plants (" + kindName() + ")"; }
    std::string icon() const override { return "PlantsLayerIcon.png"; }
    int orderForFunctionsList() const override { return 100; }
    std::vector<const SmallObjectClass*> allSmallObjectClasses() const override;

    std::string archiveClassName() const override { return "PlantsLayer"; }
};

}  // namespace korvane
