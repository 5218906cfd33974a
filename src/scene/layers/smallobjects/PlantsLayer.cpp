#include "scene/layers/smallobjects/PlantsLayer.h"

namespace korvane {

PlantsLayer::PlantsLayer(Scene* scene) : SmallObjectsLayer(scene) {
    setBaseSmallObjectClass(smallObjectClassNamed("GreenGrassPlant"));
}

std::shared_ptr<BaseSceneLayer> PlantsLayer::copy() const { return copyInto(std::make_shared<PlantsLayer>()); }

std::vector<const SmallObjectClass*> PlantsLayer::allSmallObjectClasses() const {
    static const char* const kKinds[] = {
        "GreenGrassPlant", "GreenGrassPlant2", "GreenGrassPlant3", "YellowGrassPlant", "IcyGrassPlant",
        "DesertGrassPlant", "DesertGrassPlant2", "DaisyGrassPlant", "SmallWheatPlant", "LargeWheatPlant", "LeafPlant"};
    std::vector<const SmallObjectClass*> kinds;
    for (const char* className : kKinds) kinds.push_back(smallObjectClassNamed(className));
    return kinds;
}

}  // namespace korvane
