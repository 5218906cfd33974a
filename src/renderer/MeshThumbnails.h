#pragma once

#include <memory>
#include <vector>

#include "renderer/ImageRenderer.h"

namespace korvane {

class BaseSceneLayer;
class MeshObject;

enum class MeshThumbnailKind { TopDown, Isometric };

// Posted with the object (the MeshObject) when its thumbnail has been stored.
inline constexpr const char* kGenerateTopDownThumbnailDidFinishNotification =
    "generateTopDownThumbnaillDidFinishNotification";
inline constexpr const char* kGenerateIsometricThumbnailDidFinishNotification =
    "generateIsometricThumbnailDidFinishNotification";

// The small scene a thumbnail of `object` is rendered from: a mesh layer holding a copy of the
// object at the plan's origin (height 0, scale 1, no rotation), an orthographic camera and a
// lighting layer whose sun has power 1.25. Top-down: seen from straight above. Isometric: seen
// from the front left, aimed at the middle of the object's height, the sun turned to light the
// faces in view. There is no terrain, so the object's lowest point rests at height 0.
std::vector<std::shared_ptr<BaseSceneLayer>> meshThumbnailLayers(const MeshObject& object,
                                                                 MeshThumbnailKind kind);

// Renders the top-down and isometric thumbnails of one mesh object at the image renderer's
// default 256 × 256 and stores them in the object. A thumbnail started again aborts and discards
// the render still running for it; dropping the thumbnailer aborts both. An object destroyed
// before its render completes receives nothing. Main thread.
class MeshObjectThumbnailer final : private ImageRendererDelegate {
public:
    explicit MeshObjectThumbnailer(std::weak_ptr<MeshObject> object);
    ~MeshObjectThumbnailer() override;
    MeshObjectThumbnailer(const MeshObjectThumbnailer&) = delete;
    MeshObjectThumbnailer& operator=(const MeshObjectThumbnailer&) = delete;

    void generateThumbnail(MeshThumbnailKind kind);
    // Top-down first, then isometric.
    void generateAllThumbnails();
    // Whether a render for that thumbnail is running.
    bool isGenerating(MeshThumbnailKind kind) const { return rendererFor(kind) != nullptr; }

private:
    void imageRendererDidCompleteImage(ImageRenderer& imageRenderer, const Bitmap& image) override;
    void imageRendererDidFail(ImageRenderer& imageRenderer, const std::string& message) override;
    const std::unique_ptr<ImageRenderer>& rendererFor(MeshThumbnailKind kind) const {
        return kind == MeshThumbnailKind::TopDown ? topDownRenderer_ : isometricRenderer_;
    }
    std::unique_ptr<ImageRenderer>& rendererFor(MeshThumbnailKind kind) {
        return kind == MeshThumbnailKind::TopDown ? topDownRenderer_ : isometricRenderer_;
    }

    std::weak_ptr<MeshObject> object_;
    std::unique_ptr<ImageRenderer> topDownRenderer_;
    std::unique_ptr<ImageRenderer> isometricRenderer_;
};

}  // namespace korvane
