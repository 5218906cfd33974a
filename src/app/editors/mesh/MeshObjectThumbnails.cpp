#include "app/editors/mesh/MeshObjectThumbnails.h"

#include <map>

#include <QCoreApplication>
#include <QObject>

#include "renderer/MeshThumbnails.h"
#include "scene/layers/mesh/MeshObject.h"

namespace korvane {

namespace {
// Owns the running thumbnailers; a child of the application, so their renders end with it.
class ThumbnailerStore final : public QObject {
public:
    using QObject::QObject;
    std::map<const MeshObject*, std::pair<std::weak_ptr<MeshObject>, std::unique_ptr<MeshObjectThumbnailer>>>
        thumbnailers;

    // Drops the thumbnailers that are done or whose object is gone.
    void prune() {
        for (auto it = thumbnailers.begin(); it != thumbnailers.end();) {
            const auto& thumbnailer = *it->second.second;
            const bool running = thumbnailer.isGenerating(MeshThumbnailKind::TopDown) ||
                                 thumbnailer.isGenerating(MeshThumbnailKind::Isometric);
            if (!running || it->second.first.expired()) it = thumbnailers.erase(it);
            else ++it;
        }
    }
};

ThumbnailerStore* store() {
    static ThumbnailerStore* instance = nullptr;
    if (!instance) {
        instance = new ThumbnailerStore(QCoreApplication::instance());
        QObject::connect(instance, &QObject::destroyed, [] { instance = nullptr; });
    }
    return instance;
}
}  // namespace

void regenerateMeshObjectThumbnails(const std::shared_ptr<MeshObject>& object) {
    if (!object || !QCoreApplication::instance()) return;
    ThumbnailerStore* thumbnails = store();
    thumbnails->prune();
    auto& entry = thumbnails->thumbnailers[object.get()];
    entry.first = object;
    entry.second = std::make_unique<MeshObjectThumbnailer>(object);
    entry.second->generateAllThumbnails();
}

}  // namespace korvane
