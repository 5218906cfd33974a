#pragma once

// The stock "image" texture: a picture file (PNG, JPEG, TIFF and the other formats Qt reads)
// over texture space [-1, 1]², which UV mapping makes the unit square with v = 1 the image's top row.

#include <cstdint>
#include <string>
#include <vector>

#include "raytracer/core/ParamMap.h"
#include "raytracer/core/Plugin.h"

namespace yafaray {

class renderEnvironment_t;

class imageTexture_t : public texture_t {
public:
    enum class interpolation_t { nearest, bilinear, bicubic };
    enum class clipping_t { repeat, extend, clip, clipcube, checker };

    // width × height RGBA pixels, 8 bits per channel, top row first. The look-up keys come from
    // params: "interpolate", "color_space", "gamma", "clipping", "xrepeat", "yrepeat",
    // "mirror_x", "mirror_y", "cropmin_x/y", "cropmax_x/y", "rot90", "even_tiles",
    // "odd_tiles", "checker_dist", "use_alpha".
    imageTexture_t(int width, int height, std::vector<uint8_t> rgba, const paraMap_t& params);

    colorA_t getColor(const point3d_t& p) const override;
    bool discrete() const override { return true; }
    void resolution(int& width, int& height) const override {
        width = width_;
        height = height_;
    }

private:
    // The decoded (linear) texel at integer coordinates, wrapped or clamped.
    colorA_t texel(int x, int y) const;
    colorA_t sample(float s, float t) const;

    int width_, height_;
    std::vector<uint8_t> rgba_;
    float decode_[256];  // 8-bit value → linear, for the colour space
    interpolation_t interpolation_ = interpolation_t::bilinear;
    clipping_t clipping_ = clipping_t::repeat;
    int xrepeat_ = 1, yrepeat_ = 1;
    bool mirrorX_ = false, mirrorY_ = false, rot90_ = false;
    float cropMinX_ = 0.f, cropMinY_ = 0.f, cropMaxX_ = 1.f, cropMaxY_ = 1.f;
    bool evenTiles_ = false, oddTiles_ = true;
    float checkerDist_ = 0.f;
    bool useAlpha_ = true;
};

// Reads an image file into top-row-first RGBA8; false (with a message naming the file and the
// reason) when it cannot be read.
bool loadImageFile(const std::string& path, int& width, int& height, std::vector<uint8_t>& rgba,
                   std::string& error);

// Factory of "image": null (logged) when "filename" is missing or unreadable.
texture_t* imageTextureFactory(paraMap_t& params, renderEnvironment_t& env);

}  // namespace yafaray
