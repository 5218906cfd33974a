// Baseline and progressive JPEG through libjpeg, entirely in memory. libjpeg's error_exit must not
// return, so it longjmps back into the C-style callers below.

#include "foundation/ImageCodecs.h"
#include "foundation/ImageCodecsInternal.h"

// jpeglib.h uses size_t and FILE without declaring them, so the standard headers come first.
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

namespace korvane {
namespace {

using codecs::acceptDimensions;
using codecs::allocate;
using codecs::failWith;
using codecs::RawImage;

// Progressive JPEGs with absurd scan counts take quadratic time; real encoders use about ten.
constexpr int kMaxJpegScans = 500;

struct JpegErrorManager {
    jpeg_error_mgr manager;
    jmp_buf jump;
    bool truncated;
    char message[JMSG_LENGTH_MAX];
};

void jpegErrorExit(j_common_ptr info) {
    auto* e = reinterpret_cast<JpegErrorManager*>(info->err);
    (*info->err->format_message)(info, e->message);
    std::longjmp(e->jump, 1);
}

// Warnings are ignored except a premature end of data, which makes the decode fail.
void jpegEmitMessage(j_common_ptr info, int level) {
    auto* e = reinterpret_cast<JpegErrorManager*>(info->err);
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) e->truncated = true;
}

void jpegProgress(j_common_ptr info) {
    if (!info->is_decompressor ||
        reinterpret_cast<j_decompress_ptr>(info)->input_scan_number <= kMaxJpegScans)
        return;
    auto* e = reinterpret_cast<JpegErrorManager*>(info->err);
    failWith(e->message, "too many JPEG scans");
    std::longjmp(e->jump, 1);
}

void installJpegErrors(JpegErrorManager* e, j_common_ptr info) {
    info->err = jpeg_std_error(&e->manager);
    e->manager.error_exit = jpegErrorExit;
    e->manager.emit_message = jpegEmitMessage;
    e->truncated = false;
    e->message[0] = '\0';
}

struct JpegReader {
    jpeg_decompress_struct info;
    JpegErrorManager errors;
    jpeg_progress_mgr progress;
};

// Grey JPEGs decode to one channel, everything else to RGB (libjpeg refuses CMYK to RGB).
bool jpegDecode(JpegReader* r, const uint8_t* data, size_t size, RawImage* image) {
    if (setjmp(r->errors.jump)) return false;
    jpeg_create_decompress(&r->info);
    r->progress.progress_monitor = jpegProgress;
    r->info.progress = &r->progress;
    jpeg_mem_src(&r->info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&r->info, TRUE);
    const int channels = r->info.jpeg_color_space == JCS_GRAYSCALE ? 1 : 3;
    r->info.out_color_space = channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
    if (!acceptDimensions(r->info.image_width, r->info.image_height, channels, 1, r->errors.message)) return false;
    if (!allocate(*image, r->info.image_width, r->info.image_height, channels, 8))
        return failWith(r->errors.message, "out of memory");
    jpeg_start_decompress(&r->info);
    if (r->info.output_components != channels || r->info.output_width != image->width ||
        r->info.output_height != image->height)
        return failWith(r->errors.message, "unsupported JPEG layout");
    while (r->info.output_scanline < r->info.output_height) {
        JSAMPROW row = image->samples.data() + size_t{r->info.output_scanline} * image->rowBytes();
        jpeg_read_scanlines(&r->info, &row, 1);
    }
    jpeg_finish_decompress(&r->info);
    return !r->errors.truncated || failWith(r->errors.message, "truncated JPEG data");
}

struct JpegWriter {
    jpeg_compress_struct info;
    JpegErrorManager errors;
};

bool jpegEncode(JpegWriter* w, const uint8_t* pixels, int width, int height, int components, int quality,
                unsigned char** output, unsigned long* outputSize) {
    if (setjmp(w->errors.jump)) return false;
    jpeg_create_compress(&w->info);
    jpeg_mem_dest(&w->info, output, outputSize);
    w->info.image_width = static_cast<JDIMENSION>(width);
    w->info.image_height = static_cast<JDIMENSION>(height);
    w->info.input_components = components;
    w->info.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&w->info);
    jpeg_set_quality(&w->info, quality, TRUE);
    jpeg_start_compress(&w->info, TRUE);
    while (w->info.next_scanline < w->info.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(pixels) + size_t{w->info.next_scanline} * width * components;
        jpeg_write_scanlines(&w->info, &row, 1);
    }
    jpeg_finish_compress(&w->info);
    return true;
}

}  // namespace

std::string codecs::decodeJpeg(std::span<const uint8_t> bytes, RawImage& image) {
    JpegReader r;
    std::memset(&r, 0, sizeof r);  // lets jpeg_destroy_decompress run even if creation failed
    installJpegErrors(&r.errors, reinterpret_cast<j_common_ptr>(&r.info));
    const bool ok = jpegDecode(&r, bytes.data(), bytes.size(), &image);
    jpeg_destroy_decompress(&r.info);
    return ok ? std::string() : r.errors.message[0] ? r.errors.message : "corrupt JPEG data";
}

std::vector<uint8_t> encodeJpeg(const Bitmap& bitmap, int quality) {
    if (bitmap.empty()) return {};
    const PixelFormat format = bitmap.format();
    const int components = samplesPerPixel(format) == 1 ? 1 : 3;
    std::vector<uint8_t> pixels;  // Gray16 rounded to 8 bits, RGBA8 without its alpha
    if (format == PixelFormat::Gray16 || format == PixelFormat::RGBA8) {
        pixels.resize(size_t(bitmap.width()) * bitmap.height() * components);
        const uint8_t* in = bitmap.data();
        for (size_t out = 0; out < pixels.size(); out += components, in += bytesPerPixel(format)) {
            uint16_t grey;
            std::memcpy(&grey, in, 2);
            if (components == 1)
                pixels[out] = codecs::reduceTo8(grey);
            else
                std::memcpy(&pixels[out], in, 3);
        }
    }
    JpegWriter w;
    std::memset(&w, 0, sizeof w);
    installJpegErrors(&w.errors, reinterpret_cast<j_common_ptr>(&w.info));
    unsigned char* output = nullptr;
    unsigned long outputSize = 0;
    const bool ok =
        jpegEncode(&w, pixels.empty() ? bitmap.data() : pixels.data(), bitmap.width(), bitmap.height(),
                   components, std::clamp(quality, 1, 100), &output, &outputSize);
    jpeg_destroy_compress(&w.info);
    return codecs::takeMallocBuffer(ok, output, outputSize);
}

}  // namespace korvane
