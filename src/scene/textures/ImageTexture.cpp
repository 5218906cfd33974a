#include "scene/textures/ImageTexture.h"

#include <filesystem>
#include <fstream>

#include "foundation/UniqueString.h"
#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "raytracer/interface.h"
#include "scene/textures/TgaEncoding.h"

namespace korvane {

namespace {

// Writes the file; a failure is not reported: the ray tracer then finds a missing or partial file
// and creates no texture, which the material's node list survives.
std::string writeTemporaryTga(const Bitmap& bitmap) {
    std::error_code error;
    std::filesystem::path directory = std::filesystem::temp_directory_path(error);
    if (error) directory = "/tmp";
    std::filesystem::path path = directory / (uniqueString() + ".tga");
    std::vector<uint8_t> bytes = encodeTextureTga(bitmap);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path.string();
}

}  // namespace

void ImageTexture::appendToRenderer(BaseRenderer& renderer) {
    yafaray::yafrayInterface_t* yi = interfaceOf(renderer);
    if (!yi) return;
    std::string source;
    bool temporary = false;
    if (bitmapImageRep_) {
        source = writeTemporaryTga(*bitmapImageRep_);
        temporary = true;
    } else if (filePath_) {
        source = *filePath_;
    }
    if (source.empty()) return;

    // Sent without clearing the map first, as the image texture always has been.
    yi->paramsSetString("type", "fixedimagetexture");
    yi->paramsSetString("clipping", "extend");
    yi->paramsSetBool("use_alpha", false);
    yi->paramsSetBool("calc_alpha", false);
    yi->paramsSetString("filename", source.c_str());
    yi->createTexture(name().c_str());

    // The ray tracer has read the image by now.
    if (temporary) {
        std::error_code ignored;
        std::filesystem::remove(source, ignored);
    }
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
