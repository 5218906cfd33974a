#include "scene/layers/smallobjects/RocksLayer.h"

namespace korvane {

RocksLayer::RocksLayer(Scene* scene) : SmallObjectsLayer(scene) {
    setBaseSmallObjectClass(smallObjectClassNamed("GraySmallRock"));
}

std::shared_ptr<BaseSceneLayer> RocksLayer::copy() const { return copyInto(std::make_shared<RocksLayer>()); }

std::vector<const SmallObjectClass*> RocksLayer::allSmallObjectClasses() const {
    static const char* const kKinds[] = {
        "RedSmallRock", "SmallRedSmallRock", "DarkRedSmallRock", "FlatRedSmallRock", "GraySmallRock",
        "FlatGraySmallRock", "SmallGraySmallRock", "WhiteSmallRock", "BlackSmallRock", "FlatBlackSmallRock",
        "SmallBlackSmallRock", "SandSmallRock", "DiamondSmallRock"};
    std::vector<const SmallObjectClass*> kinds;
    for (const char* className : kKinds) kinds.push_back(smallObjectClassNamed(className));
    return kinds;
}

}  // namespace korvane
