#include "scene/textures/ImageTexture.h"

#include <filesystem>
#include <optional>

#include "foundation/UniqueString.h"
#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "raytracer/core/MemoryImages.h"
#include "raytracer/interface.h"

namespace korvane {

namespace {

// The name under which a bitmap is handed to the ray tracer: a unique TGA file name in the
// temporary directory, as the image texture has always been given. No file is written there: the
// ray tracer runs in this process and takes the pixels registered under the name.
std::string temporaryTgaPath() {
    std::error_code error;
    std::filesystem::path directory = std::filesystem::temp_directory_path(error);
    if (error) directory = "/tmp";
    return (directory / (uniqueString() + ".tga")).string();
}

// The bitmap in the ray tracer's own 8-bit layout, top row first: grey stays one sample per pixel
// (16-bit grey keeps its high byte), colour keeps its three or four samples.
std::shared_ptr<const yafaray::memoryImage_t> engineImage(const Bitmap& bitmap) {
    if (bitmap.empty()) return nullptr;
    auto image = std::make_shared<yafaray::memoryImage_t>();
    image->width = bitmap.width();
    image->height = bitmap.height();
    if (bitmap.format() == PixelFormat::Gray16) {
        image->channels = 1;
        image->pixels.resize(size_t(bitmap.width()) * size_t(bitmap.height()));
        uint8_t* out = image->pixels.data();
        for (int y = 0; y < bitmap.height(); ++y) {
            for (int x = 0; x < bitmap.width(); ++x) *out++ = static_cast<uint8_t>(bitmap.gray16(x, y) >> 8);
        }
        return image;
    }
    image->channels = samplesPerPixel(bitmap.format());
    // A copy: the layer's bitmap may be painted on while the render that took it still runs.
    image->pixels.assign(bitmap.data(), bitmap.data() + bitmap.sizeInBytes());
    return image;
}

}  // namespace

void ImageTexture::appendToRenderer(BaseRenderer& renderer) {
    yafaray::yafrayInterface_t* yi = interfaceOf(renderer);
    if (!yi) return;
    std::string source;
    std::shared_ptr<const yafaray::memoryImage_t> image;
    if (bitmapImageRep_) {
        image = engineImage(*bitmapImageRep_);
        source = temporaryTgaPath();
    } else if (filePath_) {
        source = *filePath_;
    }
    if (source.empty()) return;

    // The pixels are registered under the name only while the texture is created; the texture
    // shares them from then on, until the render's scene is cleared.
    std::optional<yafaray::memoryImageRegistration_t> registration;
    if (image) registration.emplace(source, image);
    image.reset();

    // Sent without clearing the map first, as the image texture always has been.
    yi->paramsSetString("type", "fixedimagetexture");
    yi->paramsSetString("clipping", "extend");
    yi->paramsSetBool("use_alpha", false);
    yi->paramsSetBool("calc_alpha", false);
    yi->paramsSetString("filename", source.c_str());
    yi->createTexture(name().c_str());
}

void ImageTexture::encode(KeyedArchiver& coder) const {
    BaseTexture::encode(coder);
    if (filePath_) {
        coder.encodeString("filePath", *filePath_);
    } else {
        coder.encodeObject("filePath", static_cast<const Archivable*>(nullptr));
    }
    coder.encodeBitmap("bitmapImageRep", bitmapImageRep_);
}

void ImageTexture::decode(KeyedUnarchiver& coder) {
    BaseTexture::decode(coder);
    filePath_ = coder.decodeString("filePath");
    bitmapImageRep_ = coder.decodeBitmap("bitmapImageRep");
}

}  // namespace korvane
