#pragma once

#include <memory>

namespace korvane {

class MeshObject;

// Renders both thumbnails of an object again (top-down first, then isometric), for as long as the
// application runs: the renders survive the editor or sheet that asked for them, and are aborted
// when the object goes away or the application quits. Asking again for the same object restarts
// its renders. When each finishes, the model posts its did-finish notification with the object.
// Main thread.
void regenerateMeshObjectThumbnails(const std::shared_ptr<MeshObject>& object);

}  // namespace korvane
