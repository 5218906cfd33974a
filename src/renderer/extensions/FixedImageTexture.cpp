#include "renderer/extensions/FixedImageTexture.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <string>

#include "raytracer/core/Environment.h"
#include "raytracer/core/Log.h"
#include "renderer/extensions/TgaImageReader.h"

namespace yafaray {
namespace {

const colorA_t kTransparent(0.f, 0.f, 0.f, 0.f);
// Extend clipping keeps coordinates just inside the last pixel.
constexpr float kExtendMax = 0.99999f;
// Pixel coordinates are limited to this before they become integers.
constexpr double kMaxPixelCoordinate = 1 << 30;

// A repeated coordinate reduced to its fractional part: above 1 it loses its integer part,
// below 0 it gains 1 − its integer part.
float reduceRepeat(float x) {
    if (x > 1.f) return x - std::trunc(x);
    if (x < 0.f) return x + 1.f - std::trunc(x);
    return x;
}

int toIndex(double v) {
    return static_cast<int>(std::clamp(std::floor(v), -kMaxPixelCoordinate, kMaxPixelCoordinate));
}

int wrap(int i, int n) {
    const int m = i % n;
    return m < 0 ? m + n : m;
}

// Catmull–Rom weights of the four taps around fractional position t.
void cubicWeights(float t, float w[4]) {
    const float t2 = t * t, t3 = t2 * t;
    w[0] = 0.5f * (-t3 + 2.f * t2 - t);
    w[1] = 0.5f * (3.f * t3 - 5.f * t2 + 2.f);
    w[2] = 0.5f * (-3.f * t3 + 4.f * t2 + t);
    w[3] = 0.5f * (t3 - t2);
}

colorA_t weighted(const colorA_t& sum, const colorA_t& c, float w) {
    return colorA_t(sum + c * w, sum.A + c.A * w);
}
float weighted(float sum, float v, float w) {
    return sum + v * w;
}

template <typename value_t>
value_t zero();
template <>
colorA_t zero<colorA_t>() {
    return colorA_t(0.f, 0.f, 0.f, 0.f);
}
template <>
float zero<float>() {
    return 0.f;
}

// A bicubic result brought back into the range of its kind.
colorA_t inRange(const colorA_t& c) {
    return colorA_t(std::max(0.f, c.R), std::max(0.f, c.G), std::max(0.f, c.B), std::clamp(c.A, 0.f, 1.f));
}
float inRange(float v) {
    return std::max(0.f, v);
}

bool outsideUnitSquare(float x, float y) {
    return x < 0.f || x > 1.f || y < 0.f || y > 1.f;
}

std::string lowerCaseExtension(const std::string& filename) {
    const size_t dot = filename.rfind('.');
    if (dot == std::string::npos) return {};
    std::string ext = filename.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

// Radiance pictures start with "#?" and the program name ("#?RADIANCE", "#?RGBE").
bool hasRadianceSignature(const std::string& filename) {
    std::ifstream file(filename, std::ios::binary);
    char magic[2] = {0, 0};
    file.read(magic, 2);
    return file.gcount() == 2 && magic[0] == '#' && magic[1] == '?';
}

// The TGA file at filename as RGBA; null, with the lines that say why, when it is none or cannot
// be read.
std::shared_ptr<const memoryImage_t> readImageFile(const std::string& filename) {
    const std::string ext = lowerCaseExtension(filename);
    tgaImage_t tga;
    bool haveTga = false, haveRadiance = false;
    if (ext == "tga" || ext == "tpic") {
        std::string reason;
        haveTga = readTgaImage(filename, tga, reason);
        if (!haveTga) logMessage(logLevel_t::error, "TGA image " + reason);
    } else if (ext == "hdr" || ext == "pic") {
        // Radiance pictures are recognised but hold float colour this texture does not take.
        haveRadiance = hasRadianceSignature(filename);
    } else if (ext == "jpg" || ext == "jpeg") {
        logMessage(logLevel_t::warning,
                   "Warning, yafray was compiled without jpeg support, cannot load image.");
    } else if (ext == "png") {
        logMessage(logLevel_t::warning,
                   "Warning, yafray was compiled without PNG support, cannot load image.");
    } else if (ext == "exr") {
        logMessage(logLevel_t::warning,
                   "Warning, yafray was compiled without OpenEXR support, cannot load image.");
    }
    if (!haveTga && !haveRadiance) {
        logMessage(logLevel_t::info, "unknown file extension, testing format...");
        logMessage(logLevel_t::info,
                   hasRadianceSignature(filename) ? "identified as Radiance format!" : "unknown format!");
    }
    if (!haveTga) return nullptr;
    auto image = std::make_shared<memoryImage_t>();
    image->width = tga.width;
    image->height = tga.height;
    image->channels = 4;
    image->pixels = std::move(tga.rgba);
    if (!image->valid()) return nullptr;
    return image;
}

}  // namespace

imageLookup_t imageLookup_t::fromParams(const paraMap_t& params) {
    imageLookup_t l;
    std::string interpolate, clipping;
    params.getParam("interpolate", interpolate);
    if (interpolate == "none") l.interpolation = interpolation_t::none;
    if (interpolate == "bicubic") l.interpolation = interpolation_t::bicubic;
    params.getParam("clipping", clipping);
    if (clipping == "extend") l.clip = clip_t::extend;
    if (clipping == "clip") l.clip = clip_t::clip;
    if (clipping == "clipcube") l.clip = clip_t::clipcube;
    if (clipping == "checker") l.clip = clip_t::checker;
    params.getParam("xrepeat", l.xrepeat);
    params.getParam("yrepeat", l.yrepeat);
    params.getParam("cropmin_x", l.cropMinX);
    params.getParam("cropmin_y", l.cropMinY);
    params.getParam("cropmax_x", l.cropMaxX);
    params.getParam("cropmax_y", l.cropMaxY);
    params.getParam("rot90", l.rot90);
    params.getParam("even_tiles", l.evenTiles);
    params.getParam("odd_tiles", l.oddTiles);
    params.getParam("checker_dist", l.checkerDist);
    params.getParam("use_alpha", l.useAlpha);
    params.getParam("calc_alpha", l.calcAlpha);
    return l;
}

fixedImageLookupTexture_t::fixedImageLookupTexture_t(int width, int height, const imageLookup_t& lookup)
    : width_(std::max(1, width)), height_(std::max(1, height)), lookup_(lookup) {}

bool fixedImageLookupTexture_t::imagePosition(const point3d_t& p, float& x, float& y) const {
    using clip_t = imageLookup_t::clip_t;
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return false;
    // v is negated so that v = 1 is the first (top) image row; then [-1, 1] becomes [0, 1].
    x = p.x * 0.5f + 0.5f;
    y = -p.y * 0.5f + 0.5f;
    const float z = p.z * 0.5f + 0.5f;
    if (lookup_.clip == clip_t::repeat) {
        if (lookup_.xrepeat > 1) x = reduceRepeat(x * float(lookup_.xrepeat));
        if (lookup_.yrepeat > 1) y = reduceRepeat(y * float(lookup_.yrepeat));
    }
    if (lookup_.cropMinX != 0.f || lookup_.cropMaxX != 1.f)
        x = x * (lookup_.cropMaxX - lookup_.cropMinX) + lookup_.cropMinX;
    if (lookup_.cropMinY != 0.f || lookup_.cropMaxY != 1.f)
        y = y * (lookup_.cropMaxY - lookup_.cropMinY) + lookup_.cropMinY;
    if (lookup_.rot90) std::swap(x, y);
    switch (lookup_.clip) {
        case clip_t::extend:
            x = std::clamp(x, 0.f, kExtendMax);
            y = std::clamp(y, 0.f, kExtendMax);
            break;
        case clip_t::clipcube:
            if (z < -1.f || z > 1.f) return false;
            [[fallthrough]];
        case clip_t::clip:
            if (outsideUnitSquare(x, y)) return false;
            break;
        case clip_t::checker: {
            const double tileX = std::floor(double(x)), tileY = std::floor(double(y));
            const bool even = std::fmod(std::fabs(tileX + tileY), 2.0) == 0.0;
            if (even ? !lookup_.evenTiles : !lookup_.oddTiles) return false;
            x = float(x - tileX);
            y = float(y - tileY);
            if (lookup_.checkerDist < 1.f && lookup_.checkerDist != 0.f) {
                // The tile's content shrinks about the tile centre, leaving a transparent gap.
                const float scale = 1.f / (1.f - lookup_.checkerDist);
                x = (x - 0.5f) * scale + 0.5f;
                y = (y - 0.5f) * scale + 0.5f;
                if (outsideUnitSquare(x, y)) return false;
            }
            break;
        }
        case clip_t::repeat:
            break;
    }
    // Crop or repeat values that are not numbers leave nothing to look up.
    return std::isfinite(x) && std::isfinite(y);
}

colorA_t fixedImageLookupTexture_t::getColor(const point3d_t& p) const {
    float x = 0.f, y = 0.f;
    if (!imagePosition(p, x, y)) return kTransparent;
    return interpolate<colorA_t>(x, y, [this](int column, int row) { return texelAt(column, row); });
}

float fixedImageLookupTexture_t::getFloat(const point3d_t& p) const {
    return getColor(p).energy();
}

void fixedImageLookupTexture_t::sample(const point3d_t& p, float, colorA_t& colour, float& scalar) const {
    colour = getColor(p);
    scalar = colour.energy();
}

colorA_t fixedImageLookupTexture_t::getPixel(int x, int y) const {
    // Rows count from the bottom; row 0 of the storage is the top one.
    const int column = std::clamp(x, 0, width_ - 1);
    const int row = std::clamp(height_ - 1 - y, 0, height_ - 1);
    return texelAt(column, row);
}

void fixedImageLookupTexture_t::wrapOrClamp(int& x, int& y) const {
    if (lookup_.clip == imageLookup_t::clip_t::repeat) {
        x = wrap(x, width_);
        y = wrap(y, height_);
    } else {
        x = std::clamp(x, 0, width_ - 1);
        y = std::clamp(y, 0, height_ - 1);
    }
}

colorA_t fixedImageLookupTexture_t::texelAt(int x, int y) const {
    wrapOrClamp(x, y);
    colorA_t c = texel(x, y);
    if (!lookup_.useAlpha) c.A = 1.f;
    if (lookup_.calcAlpha) c.A = c.energy();
    return c;
}

template <typename value_t, typename pixelValue_t>
value_t fixedImageLookupTexture_t::interpolate(float x, float y, const pixelValue_t& value) const {
    using interpolation_t = imageLookup_t::interpolation_t;
    auto at = [&](int column, int row) {
        wrapOrClamp(column, row);
        return value(column, row);
    };
    if (lookup_.interpolation == interpolation_t::none)
        return at(toIndex(double(x) * width_), toIndex(double(y) * height_));
    // Pixel centres sit at half-integer positions.
    const double px = double(x) * width_ - 0.5, py = double(y) * height_ - 0.5;
    const int ix = toIndex(px), iy = toIndex(py);
    const float ax = float(px - std::floor(px)), ay = float(py - std::floor(py));
    value_t sum = zero<value_t>();
    if (lookup_.interpolation == interpolation_t::bicubic) {
        float wx[4], wy[4];
        cubicWeights(ax, wx);
        cubicWeights(ay, wy);
        for (int j = 0; j < 4; ++j) {
            for (int i = 0; i < 4; ++i) sum = weighted(sum, at(ix - 1 + i, iy - 1 + j), wx[i] * wy[j]);
        }
        // The kernel overshoots a little at hard edges; keep colours and alpha meaningful.
        return inRange(sum);
    }
    sum = weighted(sum, at(ix, iy), (1.f - ax) * (1.f - ay));
    sum = weighted(sum, at(ix + 1, iy), ax * (1.f - ay));
    sum = weighted(sum, at(ix, iy + 1), (1.f - ax) * ay);
    sum = weighted(sum, at(ix + 1, iy + 1), ax * ay);
    return sum;
}

fixedTextureImage_t::fixedTextureImage_t(int width, int height, std::vector<uint8_t> rgba,
                                         std::vector<float> gammaTable, const imageLookup_t& lookup)
    : fixedTextureImage_t(
          [&] {
              auto image = std::make_shared<memoryImage_t>();
              image->width = std::max(1, width);
              image->height = std::max(1, height);
              image->channels = 4;
              image->pixels = std::move(rgba);
              image->pixels.resize(size_t(image->width) * image->height * 4, 0);
              return image;
          }(),
          std::move(gammaTable), lookup) {}

fixedTextureImage_t::fixedTextureImage_t(std::shared_ptr<const memoryImage_t> image,
                                         std::vector<float> gammaTable, const imageLookup_t& lookup)
    : fixedImageLookupTexture_t(image->width, image->height, lookup), image_(std::move(image)) {
    const bool gamma = gammaTable.size() == 256;
    for (int k = 0; k < 256; ++k) decode_[k] = gamma ? gammaTable[size_t(k)] : k / 255.f;
}

float fixedTextureImage_t::getFloat(const point3d_t& p) const {
    if (image_->channels != 1) return fixedImageLookupTexture_t::getFloat(p);
    float x = 0.f, y = 0.f;
    if (!imagePosition(p, x, y)) return 0.f;
    const uint8_t* pixels = image_->pixels.data();
    const size_t width = size_t(image_->width);
    const float v = interpolate<float>(x, y, [&](int column, int row) {
        return decode_[pixels[size_t(row) * width + size_t(column)]];
    });
    // The mean of three equal channels, computed as getColor's energy() computes it.
    return (v + v + v) * (1.f / 3.f);
}

void fixedTextureImage_t::sample(const point3d_t& p, float width, colorA_t& colour, float& scalar) const {
    float x = 0.f, y = 0.f;
    if (image_->channels != 1 || !imagePosition(p, x, y)) {
        fixedImageLookupTexture_t::sample(p, width, colour, scalar);
        return;
    }
    // A grey image (a mask): its one channel is interpolated for the three equal ones, and the
    // alpha as the pixels give it (1, or their grey with "calc_alpha"), each sum in the order the
    // colour look-up makes it, so that both answer the same.
    const uint8_t* pixels = image_->pixels.data();
    const size_t stride = size_t(image_->width);
    const float v = interpolate<float>(x, y, [&](int column, int row) {
        return decode_[pixels[size_t(row) * stride + size_t(column)]];
    });
    float alpha = interpolate<float>(x, y, [&](int column, int row) {
        if (!lookup().calcAlpha) return 1.f;
        const float grey = decode_[pixels[size_t(row) * stride + size_t(column)]];
        return (grey + grey + grey) * (1.f / 3.f);
    });
    if (lookup().interpolation == imageLookup_t::interpolation_t::bicubic) alpha = std::min(alpha, 1.f);
    colour = colorA_t(v, v, v, alpha);
    scalar = colour.energy();
}

colorA_t fixedTextureImage_t::texel(int x, int y) const {
    const int channels = image_->channels;
    const uint8_t* p = &image_->pixels[(size_t(y) * size_t(image_->width) + size_t(x)) * size_t(channels)];
    if (channels == 1) {
        const float v = decode_[p[0]];
        return colorA_t(v, v, v, 1.f);
    }
    return colorA_t(decode_[p[0]], decode_[p[1]], decode_[p[2]], channels == 4 ? p[3] / 255.f : 1.f);
}

fixedTextureImageIF_t::fixedTextureImageIF_t(int width, int height, std::vector<float> rgba,
                                             const imageLookup_t& lookup)
    : fixedImageLookupTexture_t(width, height, lookup), rgba_(std::move(rgba)) {
    rgba_.resize(size_t(std::max(1, width)) * std::max(1, height) * 4, 0.f);
}

colorA_t fixedTextureImageIF_t::texel(int x, int y) const {
    int width = 0, height = 0;
    resolution(width, height);
    const float* p = &rgba_[(size_t(y) * width + x) * 4];
    return colorA_t(p[0], p[1], p[2], p[3]);
}

std::vector<float> imageGammaTable(float gamma) {
    if (!(std::fabs(1.f - gamma) > 0.01f)) return {};
    std::vector<float> table(256, 0.f);
    for (int k = 1; k < 256; ++k) table[k] = std::pow(k / 255.f, gamma);
    return table;
}

texture_t* fixedImageTextureFactory(paraMap_t& params, renderEnvironment_t&) {
    std::string filename;
    if (!params.getParam("filename", filename)) {
        logMessage(logLevel_t::error, "Required argument filename not found for image texture");
        return nullptr;
    }
    logMessage(logLevel_t::info, "Loading image file " + filename);
    // A bitmap of this process registered under the name is taken as it is held; nothing is read.
    std::shared_ptr<const memoryImage_t> image = findMemoryImage(filename);
    if (image && !image->valid()) image.reset();
    if (!image) image = readImageFile(filename);
    if (!image) {
        logMessage(logLevel_t::error, "Could not load image");
        return nullptr;
    }

    float gamma = 1.f;
    params.getParam("gamma", gamma);
    std::vector<float> gammaTable = imageGammaTable(gamma);
    if (!gammaTable.empty()) logMessage(logLevel_t::info, "creating gamma LUT");
    logMessage(logLevel_t::info, "OK");

    // Accepted without effect: the exposure of 8-bit images and the normal-map flag.
    float exposureAdjust = 0.f;
    bool normalmap = false;
    params.getParam("exposure_adjust", exposureAdjust);
    params.getParam("normalmap", normalmap);
    return new fixedTextureImage_t(std::move(image), std::move(gammaTable), imageLookup_t::fromParams(params));
}

void registerFixedImageTexture(renderEnvironment_t& env) {
    env.registerFactory("fixedimagetexture", &fixedImageTextureFactory);
}

}  // namespace yafaray
