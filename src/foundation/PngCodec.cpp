// PNG through libpng, entirely in memory. libpng reports errors by longjmp, so the functions that call
// into it are plain C-style code: no object with a destructor lives in a frame that a longjmp could skip.

#include "foundation/ImageCodecs.h"
#include "foundation/ImageCodecsInternal.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>

namespace korvane {
namespace {

using codecs::acceptDimensions;
using codecs::allocate;
using codecs::failWith;
using codecs::kLittleEndian;
using codecs::RawImage;

// The most a deflate stream can expand: 258 bytes from a length code of a couple of bits.
constexpr uint64_t kMaxDeflateRatio = 1032;

uint32_t readBE32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// Checks the size the header claims against the decode budget, and whether the file's image data
// (its IDAT chunks) could expand to that many rows at all, before libpng allocates anything: a tiny
// file claiming a huge image is refused at once. False with the reason in message.
bool prescreen(std::span<const uint8_t> bytes, char (&message)[200]) {
    size_t pos = 8;
    uint64_t width = 0, height = 0, bitsPerPixel = 0, compressed = 0;
    int channels = 0, bitDepth = 0;
    while (pos + 8 <= bytes.size()) {
        const uint32_t length = readBE32(&bytes[pos]);
        const uint8_t* type = &bytes[pos + 4];
        if (std::memcmp(type, "IHDR", 4) == 0 && length >= 13 && pos + 8 + 13 <= bytes.size()) {
            static constexpr int kChannels[] = {1, 0, 3, 1, 2, 0, 4};  // stored channels by colour type
            const uint8_t* h = &bytes[pos + 8];
            width = readBE32(h);
            height = readBE32(h + 4);
            bitDepth = h[8];
            channels = h[9] < 7 ? kChannels[h[9]] : 0;
            bitsPerPixel = uint64_t(bitDepth) * channels;
            if (h[9] == 3) channels = 4;  // a palette expands to RGB(A)
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            compressed += length;
        }
        if (std::memcmp(type, "IEND", 4) == 0 || length > bytes.size() - pos - 8) break;
        pos += size_t{length} + 12;
    }
    if (width == 0 || height == 0 || channels == 0) return true;  // libpng gives the reason
    if (!acceptDimensions(width, height, channels, bitDepth == 16 ? 2 : 1, message)) return false;
    const uint64_t rows = height * ((width * bitsPerPixel + 7) / 8 + 1);  // each row has a filter byte
    if (rows > compressed * kMaxDeflateRatio + 1024)
        return failWith(message, "truncated PNG data (far less image data than its size needs)");
    return true;
}

struct PngContext {
    png_structp png = nullptr;
    png_infop info = nullptr;
    const uint8_t* input = nullptr;
    size_t inputSize = 0, inputPos = 0;
    uint8_t* output = nullptr;  // malloc'd, so growing it never throws through libpng
    size_t outputSize = 0, outputCapacity = 0;
    char message[200] = "";
};

void pngError(png_structp png, png_const_charp message) {
    auto* c = static_cast<PngContext*>(png_get_error_ptr(png));
    failWith(c->message, message);
    png_longjmp(png, 1);
}

void pngRead(png_structp png, png_bytep destination, size_t length) {
    auto* c = static_cast<PngContext*>(png_get_io_ptr(png));
    if (length > c->inputSize - c->inputPos) png_error(png, "truncated PNG data");
    std::memcpy(destination, c->input + c->inputPos, length);
    c->inputPos += length;
}

void pngWrite(png_structp png, png_bytep source, size_t length) {
    auto* c = static_cast<PngContext*>(png_get_io_ptr(png));
    if (length > c->outputCapacity - c->outputSize) {
        const size_t capacity = std::max(c->outputCapacity * 2, c->outputSize + length + 4096);
        void* grown = std::realloc(c->output, capacity);
        if (!grown) png_error(png, "out of memory");
        c->output = static_cast<uint8_t*>(grown);
        c->outputCapacity = capacity;
    }
    std::memcpy(c->output + c->outputSize, source, length);
    c->outputSize += length;
}

// Asks libpng for 8- or 16-bit grey, grey + alpha, RGB or RGBA rows and reads them into *image.
bool pngDecode(PngContext* c, RawImage* image) {
    if (setjmp(png_jmpbuf(c->png))) return false;
    png_set_read_fn(c->png, c, pngRead);
    png_set_user_limits(c->png, kMaxImageSide, kMaxImageSide);
    png_read_info(c->png, c->info);
    const int colorType = png_get_color_type(c->png, c->info);
    const int bitDepth = png_get_bit_depth(c->png, c->info);
    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(c->png);
    if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(c->png);
    if (png_get_valid(c->png, c->info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(c->png);
    if (bitDepth == 16 && kLittleEndian) png_set_swap(c->png);
    const int passes = png_set_interlace_handling(c->png);
    png_read_update_info(c->png, c->info);
    const uint32_t width = png_get_image_width(c->png, c->info);
    const uint32_t height = png_get_image_height(c->png, c->info);
    const int channels = png_get_channels(c->png, c->info), depth = png_get_bit_depth(c->png, c->info);
    if (channels < 1 || channels > 4 || (depth != 8 && depth != 16))
        return failWith(c->message, "unsupported PNG layout");
    if (!acceptDimensions(width, height, channels, depth / 8, c->message)) return false;
    if (!allocate(*image, width, height, channels, depth)) return failWith(c->message, "out of memory");
    if (png_get_rowbytes(c->png, c->info) != image->rowBytes())
        return failWith(c->message, "unsupported PNG layout");
    for (int pass = 0; pass < passes; ++pass)
        for (uint32_t y = 0; y < height; ++y)
            png_read_row(c->png, image->samples.data() + y * image->rowBytes(), nullptr);
    return true;
}

bool pngEncode(PngContext* c, const Bitmap* bitmap, int colorType) {
    if (setjmp(png_jmpbuf(c->png))) return false;
    const int depth = 8 * bytesPerSample(bitmap->format());
    png_set_write_fn(c->png, c, pngWrite, nullptr);
    png_set_IHDR(c->png, c->info, uint32_t(bitmap->width()), uint32_t(bitmap->height()), depth, colorType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(c->png, c->info);
    if (depth == 16 && kLittleEndian) png_set_swap(c->png);
    for (int y = 0; y < bitmap->height(); ++y) png_write_row(c->png, bitmap->row(y));
    png_write_end(c->png, nullptr);
    return true;
}

}  // namespace

std::string codecs::decodePng(std::span<const uint8_t> bytes, RawImage& image) {
    PngContext c;
    if (!prescreen(bytes, c.message)) return c.message;
    c.input = bytes.data();
    c.inputSize = bytes.size();
    c.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &c, pngError, [](png_structp, png_const_charp) {});
    if (!c.png) return "out of memory";
    c.info = png_create_info_struct(c.png);
    const bool ok = c.info && pngDecode(&c, &image);
    png_destroy_read_struct(&c.png, &c.info, nullptr);
    return ok ? std::string() : c.message[0] ? c.message : "corrupt PNG data";
}

std::optional<std::pair<uint32_t, uint32_t>> codecs::pngClaimedSize(std::span<const uint8_t> bytes) {
    static constexpr uint8_t kIhdr[] = {'I', 'H', 'D', 'R'};
    if (bytes.size() < 24 || !std::equal(kIhdr, kIhdr + 4, bytes.begin() + 12)) return std::nullopt;
    return std::pair{readBE32(&bytes[16]), readBE32(&bytes[20])};
}

std::vector<uint8_t> encodePng(const Bitmap& bitmap) {
    static constexpr int kColorTypes[] = {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_RGB_ALPHA,
                                          PNG_COLOR_TYPE_RGB};  // in PixelFormat order
    if (bitmap.empty()) return {};
    PngContext c;
    c.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &c, pngError, [](png_structp, png_const_charp) {});
    if (!c.png) return {};
    c.info = png_create_info_struct(c.png);
    const bool ok = c.info && pngEncode(&c, &bitmap, kColorTypes[int(bitmap.format())]);
    png_destroy_write_struct(&c.png, &c.info);
    return codecs::takeMallocBuffer(ok, c.output, c.outputSize);
}

}  // namespace korvane
