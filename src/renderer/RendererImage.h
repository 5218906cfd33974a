#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "foundation/Bitmap.h"
#include "foundation/Color.h"
#include "foundation/Geometry.h"

namespace yafaray {
struct rawFilm_t;
}  // namespace yafaray

namespace korvane {

// What a render produces: the ray tracer's colours as an RGBA8 bitmap (row 0 at the top), a depth
// per pixel, and a second bitmap of the same size holding the post-processed result. Effects
// rewrite only the modified bitmap; every post-processing run starts again from the rendered one.
//
// The renderer writes pixels and depths from its render threads while the main thread may show
// the image being filled: those writes and imageCopy() are serialised by a lock. Everything else
// (the effects, the accessors returning references) belongs to one thread at a time, normally the
// main thread once the render has completed.
class RendererImage {
public:
    // initWithSize: width and height floored (in single precision). Sides below 1, or images of
    // more than kMaxImagePixels pixels, give an empty 0 × 0 image. Bitmaps start transparent
    // black, depths at 0.
    explicit RendererImage(Size size);
    RendererImage(const RendererImage&) = delete;
    RendererImage& operator=(const RendererImage&) = delete;

    Size size() const { return imageSize_; }
    int width() const { return width_; }
    int height() const { return height_; }

    // Each component clamped to [0, 1], × 255 in single precision and truncated, into the
    // rendered bitmap. Points are truncated to integers; points outside the image are ignored.
    void setPixelAtPoint(Point p, float r, float g, float b, float a);
    // The same write into the modified bitmap, without clamping: out-of-range components keep the
    // low eight bits of their truncated value (1.7 → 433 → 177).
    void setModifiedPixelAtPoint(Point p, float r, float g, float b, float a);
    // Stores a depth (distance from the camera; negative where nothing was hit, the sky).
    void setDepth(float depth, Point p);
    float depthAtPoint(Point p) const;

    // Resets the modified bitmap to a copy of the rendered one.
    void startModifiedImage();
    // Marks the post-processing run as finished: modifiedImage() answers the modified bitmap.
    void endModifiedImage() { hasModifiedImage_ = true; }
    bool hasModifiedImage() const { return hasModifiedImage_; }

    // The render as delivered (printing uses it).
    const Bitmap& image() const { return bitmapImage_; }
    // The post-processed image once a run has ended, before that the render (saving uses it).
    const Bitmap& modifiedImage() const { return hasModifiedImage_ ? modifiedBitmapImage_ : bitmapImage_; }
    // A copy of the rendered bitmap taken under the pixel lock, for showing a render in progress.
    Bitmap imageCopy() const;
    Bitmap& bitmapImage() { return bitmapImage_; }
    Bitmap& modifiedBitmapImage() { return modifiedBitmapImage_; }
    // Row-major, index y·W + x.
    const std::vector<float>& depthMap() const { return depthMap_; }
    std::vector<float>& depthMap() { return depthMap_; }
    // The film a region render handed over before its pixels were resolved (see
    // colorOutput_t::putFilm), kept for its tile; null for a render of the whole frame. Set by
    // the render thread before the render completes, read once it has.
    const std::shared_ptr<const yafaray::rawFilm_t>& regionFilm() const { return regionFilm_; }
    void setRegionFilm(std::shared_ptr<const yafaray::rawFilm_t> film) { regionFilm_ = std::move(film); }

    // Effects, each rewriting the modified bitmap in place. The depth tint and both depths of
    // field change only R, G and B; bloom and vibrance replace whole pixels.
    void addDepthTint(const Color& color, float farFocusStart, float bias, float opacity);
    // Far depth of field: pixels beyond the start scatter their colour over a disc whose radius
    // grows by `bias` pixels per unit of depth, up to maximumStrength. Sky pixels count as the
    // farthest surface. maximumStrength ≤ 0 changes nothing.
    void addDepthOfFieldWithFarFocusStart(float start, float bias, int maximumStrength);
    // Near depth of field: every pixel gathers the colours of nearer neighbours whose own blur
    // radius reaches it; neighbours more than half a unit behind it never blur onto it.
    void addDepthOfFieldWithNearFocusEnd(float end, float bias, int maximumStrength);
    void addBloom(float radius, float intensity);
    void addVibrance(float strength);

private:
    // Index of pixel p, or -1 when p lies outside the image.
    long indexOf(Point p) const;
    // Rewrites the R, G, B bytes of the modified bitmap from an accumulator of (r, g, b, weight).
    void normaliseInto(const std::vector<float>& accumulator);

    Size imageSize_;
    int width_ = 0;
    int height_ = 0;
    Bitmap bitmapImage_;
    Bitmap modifiedBitmapImage_;
    bool hasModifiedImage_ = false;
    std::vector<float> depthMap_;
    std::shared_ptr<const yafaray::rawFilm_t> regionFilm_;
    mutable std::mutex pixelMutex_;
};

}  // namespace korvane
