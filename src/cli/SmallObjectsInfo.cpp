#include "cli/SmallObjectsInfo.h"

#include "scene/layers/smallobjects/SmallObjectsLayer.h"

namespace korvane::cli {

void writeSmallObjectsLayerInfo(const BaseSceneLayer& layer, JsonWriter& w) {
    auto* smallObjects = dynamic_cast<const SmallObjectsLayer*>(&layer);
    if (!smallObjects) return;
    const SmallObjectClass* kind = smallObjects->baseSmallObjectClass();
    if (kind) {
        w.key("kind");
        w.value(kind->className);
    }
    w.key("kindName");
    w.value(kind ? kind->name() : "none");
    const Bitmap* map = smallObjects->mapImageRep().get();
    w.key("mapSize");
    w.beginArray();
    w.value(map ? map->width() : 0);
    w.value(map ? map->height() : 0);
    w.endArray();
    w.key("meanDensity");
    w.value(smallObjects->meanDensity());
}

}  // namespace korvane::cli
