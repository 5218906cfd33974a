#pragma once

#include <memory>

#include <QImage>

namespace korvane {

class Bitmap;
class RendererImage;

// A QImage of an RGBA8 render bitmap (straight alpha), sharing no memory with it, so the bitmap may
// change or go afterwards. Other pixel formats and empty bitmaps give a null image. Main thread
// (GUI image objects).
QImage qImageFromRenderBitmap(const Bitmap& bitmap);

// A render image of its own with the rendered pixels and the depths of `image`. The renderer's image
// lives only for the length of its completion call, and post-processing must be able to run again
// later from the untouched render, so the render views keep such a copy. Any thread.
std::shared_ptr<RendererImage> copyOfRendererImage(const RendererImage& image);

}  // namespace korvane
