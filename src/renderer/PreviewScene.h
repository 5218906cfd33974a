#pragma once

#include <memory>
#include <vector>

namespace korvane {

class BaseSceneLayer;
class Scene;

// A private scene for rendering layers that are not a document's scene (thumbnails, the editors'
// previews): a new, empty scene holding a copy of each layer, in order, attached to it. Copies that
// refer to a terrain layer are connected to the copy of the last terrain layer among `layers`, or to
// none when there is none, so no copy keeps a reference into the scene it was copied from. The
// originals are never changed. Main thread.
std::shared_ptr<Scene> makePreviewScene(const std::vector<std::shared_ptr<BaseSceneLayer>>& layers);

}  // namespace korvane
