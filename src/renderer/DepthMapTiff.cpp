// The depth map through libtiff, written into memory so that the caller can save it atomically.

#include "renderer/DepthMapTiff.h"

#include <tiffio.h>

#include <cstdarg>
#include <cstring>
#include <memory>
#include <new>

namespace korvane {

namespace {

// A growing byte buffer that libtiff writes into and seeks in.
struct TiffOutput {
    std::vector<uint8_t> bytes;
    uint64_t position = 0;

    static tmsize_t read(thandle_t, void*, tmsize_t) { return 0; }
    static tmsize_t write(thandle_t handle, void* source, tmsize_t length) {
        auto* out = static_cast<TiffOutput*>(handle);
        if (length < 0) return -1;
        try {
            if (out->position + uint64_t(length) > out->bytes.size())
                out->bytes.resize(out->position + length);
        } catch (const std::bad_alloc&) {
            return -1;
        }
        std::memcpy(out->bytes.data() + out->position, source, size_t(length));
        out->position += uint64_t(length);
        return length;
    }
    static toff_t seek(thandle_t handle, toff_t offset, int whence) {
        auto* out = static_cast<TiffOutput*>(handle);
        const uint64_t base = whence == SEEK_CUR ? out->position : whence == SEEK_END ? out->bytes.size() : 0;
        return out->position = base + offset;
    }
    static int close(thandle_t) { return 0; }
    static toff_t size(thandle_t handle) { return static_cast<TiffOutput*>(handle)->bytes.size(); }
    static int map(thandle_t, void**, toff_t*) { return 0; }
    static void unmap(thandle_t, void*, toff_t) {}
};

}  // namespace

std::vector<uint8_t> encodeDepthMapTiff(int width, int height, std::span<const float> depths) {
    if (width <= 0 || height <= 0 || depths.size() != size_t(width) * size_t(height)) return {};
    TiffOutput output;
    // The caller only needs to know that writing failed: libtiff's messages are swallowed per handle.
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options) return {};
    auto silent = [](TIFF*, void*, const char*, const char*, va_list) { return 1; };
    TIFFOpenOptionsSetErrorHandlerExtR(options, silent, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, silent, nullptr);
    std::unique_ptr<TIFF, decltype(&TIFFClose)> handle(
        TIFFClientOpenExt("depth", "w", &output, TiffOutput::read, TiffOutput::write, TiffOutput::seek,
                          TiffOutput::close, TiffOutput::size, TiffOutput::map, TiffOutput::unmap, options),
        TIFFClose);
    TIFFOpenOptionsFree(options);
    TIFF* tif = handle.get();
    if (!tif) return {};
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(height));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(1));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(32));
    TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    std::vector<float> row(size_t(width), 0.0f);  // libtiff may swap bytes in place
    for (int y = 0; y < height; ++y) {
        std::memcpy(row.data(), depths.data() + size_t(y) * size_t(width), row.size() * sizeof(float));
        if (TIFFWriteScanline(tif, row.data(), uint32_t(y), 0) < 0) return {};
    }
    if (!TIFFFlush(tif)) return {};
    handle.reset();
    return std::move(output.bytes);
}

}  // namespace korvane
