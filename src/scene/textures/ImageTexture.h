#pragma once

#include <memory>

#include "foundation/Bitmap.h"
#include "scene/textures/BaseTexture.h"

namespace korvane {

// A bitmap carried into the ray tracer (a material mask, a leaf image) as the application's own
// "fixedimagetexture". An in-memory bitmap takes precedence over a file path; it reaches the ray
// tracer under a temporary TGA file name, registered in memory (in its own bit depth) only during
// the createTexture call, without any file being written.
class ImageTexture final : public BaseTexture {
public:
    ImageTexture() = default;

    const std::optional<std::string>& filePath() const { return filePath_; }
    void setFilePath(std::optional<std::string> path) { filePath_ = std::move(path); }
    // Shared with its owner (a material map's mask is handed over without a copy).
    const std::shared_ptr<Bitmap>& bitmapImageRep() const { return bitmapImageRep_; }
    void setBitmapImageRep(std::shared_ptr<Bitmap> bitmap) { bitmapImageRep_ = std::move(bitmap); }

    // Registers a copy of the bitmap under a unique TGA file name in the temporary directory (or
    // uses filePath), creates the texture and ends the registration again. Nothing without a source.
    void appendToRenderer(BaseRenderer& renderer) override;

    // Archive: "name", "filePath", "bitmapImageRep".
    std::string archiveClassName() const override { return "ImageTexture"; }
    void encode(KeyedArchiver& coder) const override;
    void decode(KeyedUnarchiver& coder) override;

private:
    std::optional<std::string> filePath_;
    std::shared_ptr<Bitmap> bitmapImageRep_;
};

}  // namespace korvane
