#include "cli/MeshInfo.h"

#include <cstdint>

#include "scene/layers/mesh/MeshLayer.h"

namespace korvane::cli {

namespace {

void writeCorner(const Box::Corner& corner, JsonWriter& w) {
    w.beginArray();
    w.value(corner.x);
    w.value(corner.y);
    w.value(corner.z);
    w.endArray();
}

void writeObject(const MeshObject& object, JsonWriter& w) {
    double vertices = 0;
    double faces = 0;
    for (const auto& mesh : object.meshs()) {
        vertices += mesh->verticesCount();
        faces += mesh->facesCount();
    }
    w.beginObject();
    w.key("name");
    w.value(object.userName());
    w.key("position");
    w.beginArray();
    w.value(object.position().x);
    w.value(object.position().y);
    w.endArray();
    w.key("scale");
    w.value(object.scale());
    w.key("zRotation");
    w.value(object.zRotation());
    w.key("heightOverTerrain");
    w.value(object.heightOverTerrain());
    w.key("bounds");
    w.beginObject();
    w.key("start");
    writeCorner(object.bounds().start, w);
    w.key("end");
    writeCorner(object.bounds().end, w);
    w.endObject();
    w.key("meshes");
    w.value(static_cast<double>(object.meshs().size()));
    w.key("vertices");
    w.value(vertices);
    w.key("faces");
    w.value(faces);
    w.key("materials");
    w.value(static_cast<double>(object.materials().size()));
    w.endObject();
}

}  // namespace

void writeMeshLayerInfo(const BaseSceneLayer& layer, JsonWriter& w) {
    const auto* meshLayer = dynamic_cast<const MeshLayer*>(&layer);
    if (!meshLayer) return;
    w.key("meshObjects");
    w.beginArray();
    for (const auto& object : meshLayer->meshObjects()) writeObject(*object, w);
    w.endArray();
}

}  // namespace korvane::cli
