#pragma once

// "fixedimagetexture": the application's image texture. Image textures reach the ray tracer by a
// file name: a bitmap the application holds in memory is registered under a temporary TGA path
// (MemoryImages.h) and taken from there in its own depth; any other name is read as a TGA file with
// this texture's own reader; other formats are reported and give no texture.

#include <cstdint>
#include <memory>
#include <vector>

#include "raytracer/core/MemoryImages.h"
#include "raytracer/core/ParamMap.h"
#include "raytracer/core/Plugin.h"

namespace yafaray {

class renderEnvironment_t;

// How a lookup maps texture space onto the image, from the factory's parameters.
struct imageLookup_t {
    enum class interpolation_t { none, bilinear, bicubic };
    enum class clip_t { extend, clip, clipcube, repeat, checker };

    interpolation_t interpolation = interpolation_t::bilinear;
    clip_t clip = clip_t::repeat;
    int xrepeat = 1, yrepeat = 1;
    float cropMinX = 0.f, cropMinY = 0.f, cropMaxX = 1.f, cropMaxY = 1.f;
    bool rot90 = false;
    bool evenTiles = false, oddTiles = true;
    float checkerDist = 0.f;
    bool useAlpha = true;
    bool calcAlpha = false;

    // Reads "interpolate", "xrepeat", "yrepeat", "cropmin_x" … "cropmax_y", "rot90", "clipping",
    // "even_tiles", "odd_tiles", "checker_dist", "use_alpha" and "calc_alpha" over the defaults.
    static imageLookup_t fromParams(const paraMap_t& params);
};

// The lookup shared by both pixel buffers: texture space [-1, 1]² with its first image row at the
// top (v = 1), repeat, crop, rot90, the clip modes and the interpolation. Read-only after
// construction, so any render thread may look up.
class fixedImageLookupTexture_t : public texture_t {
public:
    fixedImageLookupTexture_t(int width, int height, const imageLookup_t& lookup);

    colorA_t getColor(const point3d_t& p) const override;
    // Mean of red, green and blue of getColor.
    float getFloat(const point3d_t& p) const override;
    // getColor and its mean from one look-up (getFloat would look the pixels up again).
    void sample(const point3d_t& p, float width, colorA_t& colour, float& scalar) const override;
    bool discrete() const override { return true; }
    void resolution(int& width, int& height) const override {
        width = width_;
        height = height_;
    }
    // The pixel in column x and row y counted from the bottom row (y = 0), both clamped to the image.
    colorA_t getPixel(int x, int y) const;

protected:
    // Decoded colour of the stored pixel (x, y), row 0 the top one; both already inside the image.
    virtual colorA_t texel(int x, int y) const = 0;
    // Where p falls in the image, [0, 1]² with y = 0 the top row, after repeat, crop, rot90 and the
    // clip modes; false where the clip mode leaves the point transparent.
    bool imagePosition(const point3d_t& p, float& x, float& y) const;
    // The interpolated value at image position (x, y) of a per-pixel value: value(column, row)
    // gives it for a pixel already wrapped or clamped into the image. float and colorA_t values.
    template <typename value_t, typename pixelValue_t>
    value_t interpolate(float x, float y, const pixelValue_t& value) const;
    const imageLookup_t& lookup() const { return lookup_; }

private:
    colorA_t texelAt(int x, int y) const;  // wraps (repeat) or clamps, then applies the alpha rules
    void wrapOrClamp(int& x, int& y) const;

    int width_, height_;
    imageLookup_t lookup_;
};

// The texture over an 8-bit image of grey, RGB or RGBA pixels (a TGA file read as RGBA, a mask
// taken from memory as grey); colour channels pass through the gamma table when there is one. Grey
// pixels stay one byte each and their scalar is interpolated on its own.
class fixedTextureImage_t : public fixedImageLookupTexture_t {
public:
    // rgba: width × height pixels, top row first. gammaTable: empty or 256 entries.
    fixedTextureImage_t(int width, int height, std::vector<uint8_t> rgba, std::vector<float> gammaTable,
                        const imageLookup_t& lookup);
    // Shares the image (which must be valid()) for the texture's life.
    fixedTextureImage_t(std::shared_ptr<const memoryImage_t> image, std::vector<float> gammaTable,
                        const imageLookup_t& lookup);

    // Grey images interpolate their single channel; the result equals that of getColor.
    float getFloat(const point3d_t& p) const override;
    void sample(const point3d_t& p, float width, colorA_t& colour, float& scalar) const override;
    // Samples per pixel of the stored image: 1, 3 or 4.
    int channels() const { return image_->channels; }

protected:
    colorA_t texel(int x, int y) const override;

private:
    std::shared_ptr<const memoryImage_t> image_;
    float decode_[256];  // stored value → colour channel: the gamma table, or value / 255
};

// The same texture over a float RGBA image, values used as stored.
class fixedTextureImageIF_t : public fixedImageLookupTexture_t {
public:
    // rgba: width × height × 4 floats, top row first.
    fixedTextureImageIF_t(int width, int height, std::vector<float> rgba, const imageLookup_t& lookup);

protected:
    colorA_t texel(int x, int y) const override;

private:
    std::vector<float> rgba_;
};

// The gamma look-up table: empty when |1 − gamma| ≤ 0.01, else entry 0 is 0 and entry k is (k/255)^gamma.
std::vector<float> imageGammaTable(float gamma);

// Factory of "fixedimagetexture": the image registered in memory under "filename", else the TGA
// file of that name; null when "filename" is missing or names neither, with the lines that say why.
texture_t* fixedImageTextureFactory(paraMap_t& params, renderEnvironment_t& env);

// Registers the factory under "fixedimagetexture".
void registerFixedImageTexture(renderEnvironment_t& env);

}  // namespace yafaray
