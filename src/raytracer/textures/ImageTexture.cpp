#include "raytracer/textures/ImageTexture.h"

#include <QImage>
#include <QImageReader>
#include <QString>
#include <algorithm>
#include <cmath>

#include "raytracer/core/Environment.h"
#include "raytracer/core/Log.h"

namespace yafaray {
namespace {

float srgbDecode(float c) {
    return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f);
}

// Catmull–Rom weights for the four taps around fractional position t.
void cubicWeights(float t, float w[4]) {
    const float t2 = t * t, t3 = t2 * t;
    w[0] = 0.5f * (-t3 + 2.f * t2 - t);
    w[1] = 0.5f * (3.f * t3 - 5.f * t2 + 2.f);
    w[2] = 0.5f * (-3.f * t3 + 4.f * t2 + t);
    w[3] = 0.5f * (t3 - t2);
}

int wrapIndex(int i, int n) {
    const int m = i % n;
    return m < 0 ? m + n : m;
}

// Wraps a repeated coordinate into [0, 1), mirroring every other tile when asked.
float repeatCoordinate(float s, int count, bool mirror) {
    s *= static_cast<float>(count);
    const float tile = std::floor(s);
    float f = s - tile;
    if (mirror && (static_cast<long long>(tile) & 1)) f = 1.f - f;
    return f;
}

// Image pixels beyond this count are refused (about 1 GiB of RGBA).
constexpr long long kMaxPixels = 1ll << 28;

}  // namespace

imageTexture_t::imageTexture_t(int width, int height, std::vector<uint8_t> rgba, const paraMap_t& params)
    : width_(width), height_(height), rgba_(std::move(rgba)) {
    std::string interpolate, colorSpace = "Raw_Manual_Gamma", clipping;
    float gamma = 1.f;
    params.getParam("interpolate", interpolate);
    params.getParam("color_space", colorSpace);
    params.getParam("gamma", gamma);
    params.getParam("clipping", clipping);
    params.getParam("xrepeat", xrepeat_);
    params.getParam("yrepeat", yrepeat_);
    params.getParam("mirror_x", mirrorX_);
    params.getParam("mirror_y", mirrorY_);
    params.getParam("cropmin_x", cropMinX_);
    params.getParam("cropmin_y", cropMinY_);
    params.getParam("cropmax_x", cropMaxX_);
    params.getParam("cropmax_y", cropMaxY_);
    params.getParam("rot90", rot90_);
    params.getParam("even_tiles", evenTiles_);
    params.getParam("odd_tiles", oddTiles_);
    params.getParam("checker_dist", checkerDist_);
    params.getParam("use_alpha", useAlpha_);
    // Accepted for compatibility; mipmaps need ray differentials this engine does not carry,
    // so the mipmap modes filter bilinearly.
    bool normalmap = false, calcAlpha = false;
    float exposure = 0.f, levelBias = 0.f, anisotropy = 8.f;
    params.getParam("normalmap", normalmap);
    params.getParam("calc_alpha", calcAlpha);
    params.getParam("exposure_adjust", exposure);
    params.getParam("trilinear_level_bias", levelBias);
    params.getParam("ewa_max_anisotropy", anisotropy);

    if (interpolate == "none") interpolation_ = interpolation_t::nearest;
    if (interpolate == "bicubic") interpolation_ = interpolation_t::bicubic;
    if (clipping == "extend") clipping_ = clipping_t::extend;
    if (clipping == "clip") clipping_ = clipping_t::clip;
    if (clipping == "clipcube") clipping_ = clipping_t::clipcube;
    if (clipping == "checker") clipping_ = clipping_t::checker;
    xrepeat_ = std::max(1, xrepeat_);
    yrepeat_ = std::max(1, yrepeat_);
    if (!(gamma > 0.f) || !std::isfinite(gamma)) gamma = 1.f;
    for (int i = 0; i < 256; ++i) {
        const float c = i / 255.f;
        if (colorSpace == "sRGB") {
            decode_[i] = srgbDecode(c);
        } else if (colorSpace == "Raw_Manual_Gamma") {
            decode_[i] = std::pow(c, gamma);
        } else {  // "LinearRGB", "XYZ": the values as stored
            decode_[i] = c;
        }
    }
}

colorA_t imageTexture_t::texel(int x, int y) const {
    if (clipping_ == clipping_t::repeat) {
        x = wrapIndex(x, width_);
        y = wrapIndex(y, height_);
    } else {
        x = std::clamp(x, 0, width_ - 1);
        y = std::clamp(y, 0, height_ - 1);
    }
    const uint8_t* p = &rgba_[(size_t(y) * width_ + x) * 4];
    return colorA_t(decode_[p[0]], decode_[p[1]], decode_[p[2]], useAlpha_ ? p[3] / 255.f : 1.f);
}

colorA_t imageTexture_t::sample(float s, float t) const {
    const float x = s * width_ - 0.5f, y = t * height_ - 0.5f;
    const float fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    const float ax = x - fx, ay = y - fy;
    switch (interpolation_) {
        case interpolation_t::nearest:
            return texel(static_cast<int>(std::floor(s * width_)), static_cast<int>(std::floor(t * height_)));
        case interpolation_t::bicubic: {
            float wx[4], wy[4];
            cubicWeights(ax, wx);
            cubicWeights(ay, wy);
            colorA_t sum(0.f, 0.f, 0.f, 0.f);
            for (int j = 0; j < 4; ++j) {
                for (int i = 0; i < 4; ++i) {
                    const colorA_t c = texel(ix - 1 + i, iy - 1 + j);
                    const float w = wx[i] * wy[j];
                    sum = colorA_t(sum + c * w, sum.A + c.A * w);
                }
            }
            // The kernel overshoots a little at hard edges; keep colours and alpha meaningful.
            return colorA_t(std::max(0.f, sum.R), std::max(0.f, sum.G), std::max(0.f, sum.B),
                            std::clamp(sum.A, 0.f, 1.f));
        }
        case interpolation_t::bilinear:
            break;
    }
    const colorA_t c00 = texel(ix, iy), c10 = texel(ix + 1, iy), c01 = texel(ix, iy + 1),
                   c11 = texel(ix + 1, iy + 1);
    const float w00 = (1 - ax) * (1 - ay), w10 = ax * (1 - ay), w01 = (1 - ax) * ay, w11 = ax * ay;
    return colorA_t(c00 * w00 + c10 * w10 + c01 * w01 + c11 * w11,
                    c00.A * w00 + c10.A * w10 + c01.A * w01 + c11.A * w11);
}

colorA_t imageTexture_t::getColor(const point3d_t& p) const {
    const colorA_t transparent(0.f, 0.f, 0.f, 0.f);
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) return transparent;
    float s = (p.x + 1.f) * 0.5f, t = (1.f - p.y) * 0.5f;
    switch (clipping_) {
        case clipping_t::repeat:
            s = repeatCoordinate(s, xrepeat_, mirrorX_);
            t = repeatCoordinate(t, yrepeat_, mirrorY_);
            break;
        case clipping_t::checker: {
            const float cs = s * xrepeat_, ct = t * yrepeat_;
            const long long tx = static_cast<long long>(std::floor(cs)),
                            ty = static_cast<long long>(std::floor(ct));
            const bool odd = ((tx + ty) & 1) != 0;
            if ((odd && !oddTiles_) || (!odd && !evenTiles_)) return transparent;
            s = cs - tx;
            t = ct - ty;
            if (checkerDist_ > 0.f && checkerDist_ < 1.f) {
                const float k = 1.f / (1.f - checkerDist_);
                s = (s - 0.5f) * k + 0.5f;
                t = (t - 0.5f) * k + 0.5f;
                if (s < 0.f || s > 1.f || t < 0.f || t > 1.f) return transparent;
            }
            break;
        }
        case clipping_t::clipcube:
            if (p.z < -1.f || p.z > 1.f) return transparent;
            [[fallthrough]];
        case clipping_t::clip:
            if (s < 0.f || s > 1.f || t < 0.f || t > 1.f) return transparent;
            break;
        case clipping_t::extend:
            s = std::clamp(s, 0.f, 0.99999f);
            t = std::clamp(t, 0.f, 0.99999f);
            break;
    }
    if (cropMinX_ != 0.f || cropMaxX_ != 1.f) s = cropMinX_ + s * (cropMaxX_ - cropMinX_);
    if (cropMinY_ != 0.f || cropMaxY_ != 1.f) t = cropMinY_ + t * (cropMaxY_ - cropMinY_);
    if (rot90_) std::swap(s, t);
    return sample(s, t);
}

bool loadImageFile(const std::string& path, int& width, int& height, std::vector<uint8_t>& rgba,
                   std::string& error) {
    QImageReader reader(QString::fromStdString(path));
    const QSize size = reader.size();
    if (size.isValid() && static_cast<long long>(size.width()) * size.height() > kMaxPixels) {
        error = "image '" + path + "' is too large (" + std::to_string(size.width()) + " × " +
                std::to_string(size.height()) + " pixels)";
        return false;
    }
    QImage image = reader.read();
    if (image.isNull()) {
        error = "could not read image '" + path + "': " + reader.errorString().toStdString();
        return false;
    }
    image = image.convertToFormat(QImage::Format_RGBA8888);
    width = image.width();
    height = image.height();
    rgba.resize(size_t(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        const uchar* row = image.constScanLine(y);
        std::copy(row, row + size_t(width) * 4, rgba.begin() + size_t(y) * width * 4);
    }
    return true;
}

texture_t* imageTextureFactory(paraMap_t& params, renderEnvironment_t&) {
    std::string filename;
    if (!params.getParam("filename", filename) || filename.empty()) {
        logMessage(logLevel_t::error, "image texture: no \"filename\" given");
        return nullptr;
    }
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
    std::string error;
    if (!loadImageFile(filename, width, height, rgba, error)) {
        logMessage(logLevel_t::error, "image texture: " + error);
        return nullptr;
    }
    return new imageTexture_t(width, height, std::move(rgba), params);
}

}  // namespace yafaray
