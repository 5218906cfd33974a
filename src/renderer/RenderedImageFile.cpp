#include "renderer/RenderedImageFile.h"

#include "foundation/ImageCodecs.h"

namespace korvane {

namespace {

constexpr int kFullJpegQuality = 100;

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

RenderedImageFormat renderedImageFormatForFileName(const std::string& fileName) {
    if (endsWith(fileName, "jpg") || endsWith(fileName, "jpeg")) return RenderedImageFormat::JPEG;
    if (endsWith(fileName, "tiff") || endsWith(fileName, "tif")) return RenderedImageFormat::TIFF;
    return RenderedImageFormat::PNG;
}

std::vector<uint8_t> encodeRenderedImage(const Bitmap& image, RenderedImageFormat format) {
    switch (format) {
        case RenderedImageFormat::JPEG:
            return encodeJpeg(image, kFullJpegQuality);
        case RenderedImageFormat::TIFF:
            return encodeTiff(image);
        case RenderedImageFormat::PNG:
            break;
    }
    return encodePng(image);
}

}  // namespace korvane
