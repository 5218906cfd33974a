#include "foundation/ImageCodecs.h"

#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <system_error>

#include <jerror.h>
#include <jpeglib.h>

namespace korvane {
namespace {

constexpr bool kLittleEndian = std::endian::native == std::endian::little;
// Largest single buffer libtiff may allocate for its own use (codec state, strip buffers).
constexpr tmsize_t kMaxTiffInternalAllocation = tmsize_t{1} << 30;
// A strip or tile buffer may exceed the decoded image only by this factor, or this floor for tiny images.
constexpr uint64_t kTiffBlockSlack = 4;
constexpr uint64_t kTiffBlockFloor = uint64_t{4} << 20;
// Progressive JPEGs with absurd scan counts take quadratic time; real encoders use about ten.
constexpr int kMaxJpegScans = 500;
constexpr size_t kMaxImageFileBytes = size_t{4} << 30;

// Samples as a decoder delivers them, before they are fitted to a PixelFormat.
struct RawImage {
    uint32_t width = 0, height = 0;
    int channels = 0;  // 1 grey, 2 grey + alpha, 3 RGB, 4 RGBA
    int depth = 8;     // 8 or 16 bits; 16-bit samples native-endian
    std::vector<uint8_t> samples;

    size_t pixelCount() const { return size_t{width} * height; }
    size_t rowBytes() const { return size_t{width} * channels * (depth / 8); }
    uint32_t at(size_t i) const {
        if (depth == 8) return samples[i];
        uint16_t v;
        std::memcpy(&v, &samples[2 * i], 2);
        return v;
    }
    void set(size_t i, uint32_t v) {
        if (depth == 8) return void(samples[i] = static_cast<uint8_t>(v));
        const auto s = static_cast<uint16_t>(v);
        std::memcpy(&samples[2 * i], &s, 2);
    }
};

template <size_t N>
bool failWith(char (&message)[N], const char* reason) {
    std::snprintf(message, N, "%s", reason);
    return false;
}

// Sizes are checked before anything is allocated for the pixels; the reason goes into message.
template <size_t N>
bool acceptDimensions(uint64_t width, uint64_t height, char (&message)[N]) {
    if (width == 0 || height == 0) return failWith(message, "image has no pixels");
    if (width <= uint64_t{kMaxImageSide} && height <= uint64_t{kMaxImageSide} &&
        width * height <= uint64_t(kMaxImagePixels))
        return true;
    std::snprintf(message, N, "image too large (%llu×%llu pixels)", static_cast<unsigned long long>(width),
                  static_cast<unsigned long long>(height));
    return false;
}

// Never throws, so C-style decoders may call it between library calls.
bool allocate(RawImage& image, uint32_t width, uint32_t height, int channels, int depth) {
    image.width = width;
    image.height = height;
    image.channels = channels;
    image.depth = depth;
    try {
        image.samples.assign(image.rowBytes() * height, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

uint8_t reduceTo8(uint32_t v) {
    return static_cast<uint8_t>((v * 255 + 32767) / 65535);
}

// Divides associated (premultiplied) alpha out of the colour samples; alpha is the last channel.
void unpremultiply(RawImage& image) {
    const uint64_t maxValue = image.depth == 16 ? 65535 : 255;
    const int colours = image.channels - 1;
    for (size_t base = 0; base < image.pixelCount() * image.channels; base += image.channels) {
        const uint64_t a = image.at(base + colours);
        for (int c = 0; c < colours; ++c) {
            const uint64_t v = a == 0 ? 0 : std::min(maxValue, (image.at(base + c) * maxValue + a / 2) / a);
            image.set(base + c, static_cast<uint32_t>(v));
        }
    }
}

// ---- PNG. libpng reports errors by longjmp, so the functions that call into it are plain C-style
// code: no object with a destructor lives in a frame that a longjmp could skip.

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
    if (!acceptDimensions(width, height, c->message)) return false;
    if (channels < 1 || channels > 4 || (depth != 8 && depth != 16))
        return failWith(c->message, "unsupported PNG layout");
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

std::string decodePng(std::span<const uint8_t> bytes, RawImage& image) {
    PngContext c;
    c.input = bytes.data();
    c.inputSize = bytes.size();
    c.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &c, pngError, [](png_structp, png_const_charp) {});
    if (!c.png) return "out of memory";
    c.info = png_create_info_struct(c.png);
    const bool ok = c.info && pngDecode(&c, &image);
    png_destroy_read_struct(&c.png, &c.info, nullptr);
    return ok ? std::string() : c.message[0] ? c.message : "corrupt PNG data";
}

// ---- JPEG. libjpeg's error_exit must not return, so it longjmps back into the C-style callers below.

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
    if (!acceptDimensions(r->info.image_width, r->info.image_height, r->errors.message)) return false;
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

std::string decodeJpeg(std::span<const uint8_t> bytes, RawImage& image) {
    JpegReader r;
    std::memset(&r, 0, sizeof r);  // lets jpeg_destroy_decompress run even if creation failed
    installJpegErrors(&r.errors, reinterpret_cast<j_common_ptr>(&r.info));
    const bool ok = jpegDecode(&r, bytes.data(), bytes.size(), &image);
    jpeg_destroy_decompress(&r.info);
    return ok ? std::string() : r.errors.message[0] ? r.errors.message : "corrupt JPEG data";
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

// ---- TIFF. libtiff returns errors as values; its messages are caught per handle, the first one kept.

struct TiffMemory {
    const uint8_t* input = nullptr;
    size_t inputSize = 0;
    std::vector<uint8_t>* output = nullptr;  // set when writing
    uint64_t pos = 0;
    char message[256] = "";

    uint64_t size() const { return output ? output->size() : inputSize; }
    std::string failure(const char* fallback) const { return message[0] ? message : fallback; }

    static tmsize_t read(thandle_t handle, void* destination, tmsize_t length) {
        auto* m = static_cast<TiffMemory*>(handle);
        if (length <= 0 || m->pos >= m->size()) return 0;
        const uint64_t n = std::min<uint64_t>(uint64_t(length), m->size() - m->pos);
        std::memcpy(destination, (m->output ? m->output->data() : m->input) + m->pos, n);
        m->pos += n;
        return tmsize_t(n);
    }
    static tmsize_t write(thandle_t handle, void* source, tmsize_t length) {
        auto* m = static_cast<TiffMemory*>(handle);
        if (!m->output || length < 0) return -1;
        try {
            if (m->pos + length > m->output->size()) m->output->resize(m->pos + length);
        } catch (const std::bad_alloc&) {
            return -1;
        }
        std::memcpy(m->output->data() + m->pos, source, size_t(length));
        m->pos += length;
        return length;
    }
    static toff_t seek(thandle_t handle, toff_t offset, int whence) {
        auto* m = static_cast<TiffMemory*>(handle);
        const uint64_t base = whence == SEEK_CUR ? m->pos : whence == SEEK_END ? m->size() : 0;
        const uint64_t target = base + offset;  // wraps like a signed offset for backward seeks
        if (target > (uint64_t{1} << 40)) return toff_t(-1);
        return m->pos = target;
    }
    static toff_t sizeOf(thandle_t handle) { return static_cast<TiffMemory*>(handle)->size(); }
    // Reading maps the caller's buffer, so libtiff bounds raw strips by the real data instead of
    // allocating what a hostile byte count claims.
    static int map(thandle_t handle, void** base, toff_t* size) {
        auto* m = static_cast<TiffMemory*>(handle);
        if (m->output) return 0;
        *base = const_cast<uint8_t*>(m->input);
        *size = m->inputSize;
        return 1;
    }
    static int error(TIFF*, void* user, const char*, const char* format, va_list arguments) {
        auto* m = static_cast<TiffMemory*>(user);
        if (!m->message[0]) std::vsnprintf(m->message, sizeof m->message, format, arguments);
        return 1;
    }
};

using TiffHandle = std::unique_ptr<TIFF, decltype(&TIFFClose)>;

TiffHandle openTiff(TiffMemory& memory, const char* mode) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options) return TiffHandle(nullptr, TIFFClose);
    TIFFOpenOptionsSetErrorHandlerExtR(options, TiffMemory::error, &memory);
    TIFFOpenOptionsSetWarningHandlerExtR(
        options, [](TIFF*, void*, const char*, const char*, va_list) { return 1; }, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxTiffInternalAllocation);
    TIFF* tif = TIFFClientOpenExt(
        "memory", mode, &memory, TiffMemory::read, TiffMemory::write, TiffMemory::seek,
        [](thandle_t) { return 0; }, TiffMemory::sizeOf, TiffMemory::map, [](thandle_t, void*, toff_t) {},
        options);
    TIFFOpenOptionsFree(options);
    return TiffHandle(tif, TIFFClose);
}

uint32_t tiffSample(const uint8_t* row, size_t index, int bits) {
    if (bits == 8) return row[index];
    if (bits == 16) {
        uint16_t v;
        std::memcpy(&v, row + 2 * index, 2);
        return v;
    }
    const size_t bit = index * bits;
    return (row[bit >> 3] >> (8 - bits - (bit & 7))) & ((1u << bits) - 1);
}

// Everything that is not plain grey or RGB goes through libtiff's RGBA reader, which gives 8-bit
// premultiplied RGBA. Its packed ABGR words are R, G, B, A bytes in memory on little-endian hosts.
std::string readTiffRgba(TIFF* tif, const TiffMemory& memory, uint32_t width, uint32_t height, bool hasAlpha,
                         RawImage& image) {
    char message[1024] = "";
    if (!TIFFRGBAImageOK(tif, message)) return message[0] ? message : "unsupported TIFF layout";
    if (!allocate(image, width, height, 4, 8)) return "out of memory";
    auto* raster = reinterpret_cast<uint32_t*>(image.samples.data());
    if (!TIFFReadRGBAImageOriented(tif, width, height, raster, ORIENTATION_TOPLEFT, 1))
        return memory.failure("corrupt TIFF data");
    const size_t pixels = image.pixelCount();
    if (!kLittleEndian)
        for (size_t p = 0; p < pixels; ++p) std::reverse(&image.samples[4 * p], &image.samples[4 * p + 4]);
    if (hasAlpha) return unpremultiply(image), std::string();
    for (size_t p = 0; p < pixels; ++p) std::memmove(&image.samples[3 * p], &image.samples[4 * p], 3);
    image.channels = 3;
    image.samples.resize(pixels * 3);
    return {};
}

// Grey (1 to 16 bits, MinIsBlack or MinIsWhite) and RGB (8 or 16 bits), with or without alpha, in
// strips or tiles, contiguous or separate planes, are read sample by sample so 16 bits stay exact.
std::string decodeTiff(std::span<const uint8_t> bytes, RawImage& image) {
    TiffMemory memory;
    memory.input = bytes.data();
    memory.inputSize = bytes.size();
    TiffHandle handle = openTiff(memory, "r");
    TIFF* tif = handle.get();
    if (!tif) return memory.failure("invalid TIFF header");
    uint32_t width = 0, height = 0, blockWidth = 0, blockHeight = 0;
    uint16_t spp = 1, bits = 1, photometric = 0, planar = 0, sampleFormat = 0, compression = 0,
             extraCount = 0;
    uint16_t* extraTypes = nullptr;
    char sizeMessage[80];
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height))
        return "TIFF without image size";
    if (!acceptDimensions(width, height, sizeMessage)) return sizeMessage;
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &sampleFormat);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric))
        photometric = spp >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    if (!TIFFIsCODECConfigured(compression)) return "unsupported TIFF compression";

    const bool grey = photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
    const int colours = grey ? 1 : 3;
    const bool hasAlpha = spp > colours;
    const bool plain = (grey || photometric == PHOTOMETRIC_RGB) && sampleFormat == SAMPLEFORMAT_UINT &&
                       spp >= colours &&
                       (bits == 8 || bits == 16 || (grey && (bits == 1 || bits == 2 || bits == 4)));
    if (!plain) return readTiffRgba(tif, memory, width, height, hasAlpha, image);
    const int depth = bits == 16 ? 16 : 8;
    if (!allocate(image, width, height, colours + hasAlpha, depth)) return "out of memory";

    const bool tiled = TIFFIsTiled(tif);
    if (tiled) {
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &blockWidth);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &blockHeight);
    } else {
        blockWidth = width;
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &blockHeight);
        blockHeight = std::min(blockHeight, height);
    }
    const tmsize_t blockBytes = tiled ? TIFFTileSize(tif) : TIFFStripSize(tif);
    const tmsize_t blockRowBytes = tiled ? TIFFTileRowSize(tif) : TIFFScanlineSize(tif);
    if (blockWidth == 0 || blockHeight == 0 || blockBytes <= 0 || blockRowBytes <= 0 ||
        uint64_t(blockRowBytes) * blockHeight > uint64_t(blockBytes))
        return memory.failure("invalid TIFF strip or tile layout");
    if (uint64_t(blockBytes) > std::max(kTiffBlockSlack * image.samples.size(), kTiffBlockFloor))
        return "TIFF tiles out of proportion to the image";
    std::vector<uint8_t> block(static_cast<size_t>(blockBytes));

    // MinIsWhite flips the grey sample only; low bit depths are stretched to the full 8-bit range.
    const uint32_t fullScale = depth == 16 ? 65535 : 255, sampleMax = (1u << bits) - 1;
    const bool separate = planar == PLANARCONFIG_SEPARATE && spp > 1;
    const int planes = separate ? image.channels : 1, blockSpp = separate ? 1 : spp;
    for (int plane = 0; plane < planes; ++plane) {
        for (uint32_t by = 0; by < height; by += blockHeight) {
            for (uint32_t bx = 0; bx < width; bx += blockWidth) {
                const tmsize_t got = tiled ? TIFFReadEncodedTile(tif, TIFFComputeTile(tif, bx, by, 0, plane),
                                                                 block.data(), blockBytes)
                                           : TIFFReadEncodedStrip(tif, TIFFComputeStrip(tif, by, plane),
                                                                  block.data(), blockBytes);
                if (got < 0) return memory.failure("corrupt TIFF data");
                const uint32_t rows = std::min(blockHeight, height - by),
                               columns = std::min(blockWidth, width - bx);
                for (uint32_t r = 0; r < rows; ++r) {
                    const uint8_t* source = block.data() + size_t(r) * blockRowBytes;
                    const size_t target = (size_t(by + r) * width + bx) * image.channels;
                    for (size_t x = 0; x < columns; ++x) {
                        for (int s = 0; s < blockSpp && (separate ? plane : s) < image.channels; ++s) {
                            const int channel = separate ? plane : s;
                            uint32_t v = tiffSample(source, x * blockSpp + s, bits);
                            if (bits < 8) v = v * 255 / sampleMax;
                            if (channel == 0 && photometric == PHOTOMETRIC_MINISWHITE) v = fullScale - v;
                            image.set(target + x * image.channels + channel, v);
                        }
                    }
                }
            }
        }
    }
    if (hasAlpha && extraCount > 0 && extraTypes[0] == EXTRASAMPLE_ASSOCALPHA) unpremultiply(image);
    return {};
}

// ---- Format fitting.

std::string decodeRaw(std::span<const uint8_t> bytes, RawImage& image) {
    static constexpr uint8_t kPng[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    const auto has = [&](size_t i, uint8_t v) { return bytes.size() > i && bytes[i] == v; };
    try {
        if (bytes.size() >= 8 && std::equal(kPng, kPng + 8, bytes.begin())) return decodePng(bytes, image);
        if (has(0, 0xff) && has(1, 0xd8) && has(2, 0xff)) return decodeJpeg(bytes, image);
        if ((has(0, 'I') && has(1, 'I') && has(3, 0)) || (has(0, 'M') && has(1, 'M') && has(2, 0)))
            return decodeTiff(bytes, image);
    } catch (const std::bad_alloc&) {
        return "out of memory";
    }
    return bytes.empty() ? "no data" : "not a PNG, TIFF or JPEG image";
}

// 8-bit grey, 16-bit grey, RGB and RGBA keep their samples; grey + alpha becomes RGBA, 16-bit colour is
// rounded to 8 bits.
Bitmap toNaturalFormat(const RawImage& raw) {
    const PixelFormat format = raw.channels == 1
                                   ? (raw.depth == 16 ? PixelFormat::Gray16 : PixelFormat::Gray8)
                               : raw.channels == 3 ? PixelFormat::RGB8
                                                   : PixelFormat::RGBA8;
    Bitmap bitmap(int(raw.width), int(raw.height), format);
    if (raw.channels != 2 && (raw.depth == 8 || raw.channels == 1)) {
        std::memcpy(bitmap.data(), raw.samples.data(), bitmap.sizeInBytes());
        return bitmap;
    }
    uint8_t* out = bitmap.data();
    const auto sample8 = [&](size_t i) {
        return raw.depth == 16 ? reduceTo8(raw.at(i)) : static_cast<uint8_t>(raw.at(i));
    };
    for (size_t in = 0; in < raw.pixelCount() * raw.channels; in += raw.channels) {
        if (raw.channels == 2) {
            const uint8_t g = sample8(in), expanded[] = {g, g, g, sample8(in + 1)};
            out = std::copy(expanded, expanded + 4, out);
        } else {
            for (int c = 0; c < raw.channels; ++c) *out++ = sample8(in + c);
        }
    }
    return bitmap;
}

Bitmap toGray16(const RawImage& raw) {
    Bitmap bitmap(int(raw.width), int(raw.height), PixelFormat::Gray16);
    const uint32_t scale = raw.depth == 16 ? 1 : 257;
    uint8_t* out = bitmap.data();
    for (size_t in = 0; in < raw.pixelCount() * raw.channels; in += raw.channels, out += 2) {
        uint16_t v = static_cast<uint16_t>(raw.at(in) * scale);
        if (raw.channels >= 3) {
            // Rec. 709 weights in 1/2^24 units; they sum to 2^24, so greys map to themselves.
            const uint64_t r = raw.at(in) * scale, g = raw.at(in + 1) * scale, b = raw.at(in + 2) * scale;
            v = static_cast<uint16_t>((3566836 * r + 11999065 * g + 1211315 * b + (1u << 23)) >> 24);
        }
        std::memcpy(out, &v, 2);
    }
    return bitmap;
}

ImageDecodeResult decodeWith(std::span<const uint8_t> bytes, Bitmap (*convert)(const RawImage&)) {
    RawImage raw;
    std::string error = decodeRaw(bytes, raw);
    if (!error.empty()) return {std::nullopt, std::move(error)};
    try {
        return {convert(raw), {}};
    } catch (const std::bad_alloc&) {
        return {std::nullopt, "out of memory"};
    }
}

// Copies a buffer that libpng or libjpeg output was collected in, and frees it.
std::vector<uint8_t> takeMallocBuffer(bool ok, unsigned char* buffer, size_t size) {
    std::vector<uint8_t> bytes;
    try {
        if (ok) bytes.assign(buffer, buffer + size);
    } catch (const std::bad_alloc&) {
    }
    std::free(buffer);
    return bytes;
}

std::string systemMessage(int code) {
    return std::error_code(code, std::generic_category()).message();
}

}  // namespace

ImageDecodeResult decodeImage(std::span<const uint8_t> bytes) {
    return decodeWith(bytes, toNaturalFormat);
}

ImageDecodeResult decodeImageAsGray16(std::span<const uint8_t> bytes) {
    return decodeWith(bytes, toGray16);
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
    return takeMallocBuffer(ok, c.output, c.outputSize);
}

std::vector<uint8_t> encodeTiff(const Bitmap& bitmap) {
    if (bitmap.empty()) return {};
    std::vector<uint8_t> bytes;
    TiffMemory memory;
    memory.output = &bytes;
    TiffHandle handle = openTiff(memory, "w");
    TIFF* tif = handle.get();
    if (!tif) return {};
    const int samples = samplesPerPixel(bitmap.format());
    const uint16_t compression = TIFFIsCODECConfigured(COMPRESSION_LZW) ? COMPRESSION_LZW : COMPRESSION_NONE;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(bitmap.width()));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(bitmap.height()));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(samples));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(8 * bytesPerSample(bitmap.format())));
    TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_UINT);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, samples == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
    if (compression == COMPRESSION_LZW) TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    if (bitmap.format() == PixelFormat::RGBA8) {
        const uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, uint16_t(1), extra);
    }
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    std::vector<uint8_t> row(bitmap.bytesPerRow());  // the predictor works in place, so hand over a copy
    for (int y = 0; y < bitmap.height(); ++y) {
        std::memcpy(row.data(), bitmap.row(y), row.size());
        if (TIFFWriteScanline(tif, row.data(), uint32_t(y), 0) < 0) return {};
    }
    if (!TIFFFlush(tif)) return {};
    handle.reset();
    return bytes;
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
                pixels[out] = reduceTo8(grey);
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
    return takeMallocBuffer(ok, output, outputSize);
}

ImageDecodeResult readImageFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rbe");
    if (!file) return {std::nullopt, systemMessage(errno)};
    std::vector<uint8_t> bytes;
    std::string error;
    try {
        uint8_t chunk[1 << 16];
        for (size_t n; error.empty() && (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
            if (bytes.size() + n > kMaxImageFileBytes) error = "file too large";
            bytes.insert(bytes.end(), chunk, chunk + n);
        }
    } catch (const std::bad_alloc&) {
        error = "out of memory";
    }
    if (error.empty() && std::ferror(file)) error = systemMessage(errno);
    std::fclose(file);
    if (!error.empty()) return {std::nullopt, error};
    return decodeImage(bytes);
}

bool writeFileAtomically(const std::string& path, std::span<const uint8_t> bytes, std::string* error) {
    static std::atomic<unsigned> counter{0};
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    const char* failedStep = fd < 0 ? "cannot create a temporary file beside it" : nullptr;
    int code = errno;
    struct stat existing {};
    if (fd >= 0 && ::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
        (void)::fchmod(fd, existing.st_mode & 07777);  // keep the old file's permissions
    for (size_t done = 0; !failedStep && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += size_t(n);
        else if (errno != EINTR)
            failedStep = "cannot write", code = n == 0 ? EIO : errno;
    }
    if (!failedStep && ::fsync(fd) != 0) failedStep = "cannot flush to disk", code = errno;
    if (fd >= 0 && ::close(fd) != 0 && !failedStep) failedStep = "cannot write", code = errno;
    if (!failedStep && ::rename(temporary.c_str(), path.c_str()) != 0)
        failedStep = "cannot replace", code = errno;
    if (failedStep) {
        if (fd >= 0) ::unlink(temporary.c_str());
        if (error) *error = std::string(failedStep) + ": " + systemMessage(code);
        return false;
    }
    // Make the rename itself durable; failing here still leaves a complete file.
    const size_t slash = path.find_last_of('/');
    const std::string directory =
        slash == std::string::npos ? "." : path.substr(0, std::max<size_t>(slash, 1));
    if (const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dirFd >= 0) {
        (void)::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

}  // namespace korvane
