#include "app/render/RenderImages.h"

#include "foundation/Bitmap.h"
#include "renderer/RendererImage.h"

namespace korvane {

QImage qImageFromRenderBitmap(const Bitmap& bitmap) {
    if (bitmap.empty() || bitmap.format() != PixelFormat::RGBA8) return {};
    const QImage shared(bitmap.data(), bitmap.width(), bitmap.height(),
                        static_cast<qsizetype>(bitmap.bytesPerRow()), QImage::Format_RGBA8888);
    return shared.copy();
}

std::shared_ptr<RendererImage> copyOfRendererImage(const RendererImage& image) {
    auto copy = std::make_shared<RendererImage>(image.size());
    copy->bitmapImage() = image.imageCopy();
    copy->depthMap() = image.depthMap();
    return copy;
}

}  // namespace korvane
