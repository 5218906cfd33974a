#include "scene/layers/smallobjects/BaseSmallObject.h"

#include <algorithm>

#include "scene/BaseRenderer.h"
#include "scene/Scene.h"
#include "scene/layers/smallobjects/GrassPlant.h"
#include "scene/layers/smallobjects/LeafPlant.h"
#include "scene/layers/smallobjects/SmallRock.h"

namespace korvane {

void BaseSmallObject::prepareForRenderer(BaseRenderer&) {}
void BaseSmallObject::beginPlacingSmallObjects(BaseRenderer&) {}
void BaseSmallObject::endPlacingSmallObjects(BaseRenderer&) {}
void BaseSmallObject::placeSmallObject(int, const Rect&, float, const Scene&, BaseRenderer&) {}

std::string SmallObjectClass::name() const { return create()->name(); }
std::string SmallObjectClass::icon() const { return create()->icon(); }

namespace {

template <class T>
SmallObjectClass kind(const char* className) {
    return {className, [] { return std::unique_ptr<BaseSmallObject>(std::make_unique<T>()); }};
}

const std::vector<SmallObjectClass>& knownClasses() {
    static const std::vector<SmallObjectClass> classes = {
        kind<BaseSmallObject>("BaseSmallObject"),
        kind<GrassPlant>("GrassPlant"),
        kind<GreenGrassPlant>("GreenGrassPlant"),
        kind<GreenGrassPlant2>("GreenGrassPlant2"),
        kind<GreenGrassPlant3>("GreenGrassPlant3"),
        kind<YellowGrassPlant>("YellowGrassPlant"),
        kind<IcyGrassPlant>("IcyGrassPlant"),
        kind<DesertGrassPlant>("DesertGrassPlant"),
        kind<DesertGrassPlant2>("DesertGrassPlant2"),
        kind<DaisyGrassPlant>("DaisyGrassPlant"),
        kind<SmallWheatPlant>("SmallWheatPlant"),
        kind<LargeWheatPlant>("LargeWheatPlant"),
        kind<LeafPlant>("LeafPlant"),
        kind<SmallRock>("SmallRock"),
        kind<RedSmallRock>("RedSmallRock"),
        kind<SmallRedSmallRock>("SmallRedSmallRock"),
        kind<DarkRedSmallRock>("DarkRedSmallRock"),
        kind<FlatRedSmallRock>("FlatRedSmallRock"),
        kind<GraySmallRock>("GraySmallRock"),
        kind<FlatGraySmallRock>("FlatGraySmallRock"),
        kind<SmallGraySmallRock>("SmallGraySmallRock"),
        kind<WhiteSmallRock>("WhiteSmallRock"),
        kind<BlackSmallRock>("BlackSmallRock"),
        kind<FlatBlackSmallRock>("FlatBlackSmallRock"),
        kind<SmallBlackSmallRock>("SmallBlackSmallRock"),
        kind<SandSmallRock>("SandSmallRock"),
        kind<DiamondSmallRock>("DiamondSmallRock"),
    };
    return classes;
}

}  // namespace

const SmallObjectClass* smallObjectClassNamed(std::string_view className) {
    const auto& classes = knownClasses();
    auto found = std::find_if(classes.begin(), classes.end(),
                              [&](const SmallObjectClass& c) { return c.className == className; });
    return found == classes.end() ? nullptr : &*found;
}

yafaray::yafrayInterface_t* smallObjectInterface(BaseRenderer& renderer) {
    if (!renderer.isYafarayRenderer()) return nullptr;
    return renderer.yafrayinterface();
}

}  // namespace korvane
