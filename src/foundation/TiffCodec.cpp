// TIFF through libtiff, entirely in memory. libtiff returns errors as values; its messages are caught
// per handle, the first one kept.

#include "foundation/ImageCodecs.h"
#include "foundation/ImageCodecsInternal.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

namespace korvane {
namespace {

using codecs::acceptDimensions;
using codecs::allocate;
using codecs::kLittleEndian;
using codecs::RawImage;

// Largest single buffer libtiff may allocate for its own use (codec state, strip buffers).
constexpr tmsize_t kMaxTiffInternalAllocation = tmsize_t{kImageDecodeBudgetBytes};
// A strip or tile buffer may exceed the decoded image only by this factor, or this floor for tiny images.
constexpr uint64_t kTiffBlockSlack = 4;
constexpr uint64_t kTiffBlockFloor = uint64_t{4} << 20;
// Spare bytes after a strip or tile buffer, so that packed samples can be read a word at a time.
constexpr size_t kSamplePadding = 4;

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

// Sample `index` of a row of `bits`-bit unsigned samples, packed from the most significant bit.
// The row buffer carries kSamplePadding spare bytes, so a sample is read as one 24-bit word.
uint32_t tiffSample(const uint8_t* row, size_t index, int bits) {
    if (bits == 8) return row[index];
    if (bits == 16) {
        uint16_t v;
        std::memcpy(&v, row + 2 * index, 2);
        return v;
    }
    const size_t bit = index * bits;
    const uint8_t* p = row + (bit >> 3);
    const uint32_t word = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    return (word >> (24 - bits - (bit & 7))) & ((1u << bits) - 1);
}

float tiffFloatSample(const uint8_t* row, size_t index) {
    float v;
    std::memcpy(&v, row + 4 * index, 4);
    return v;
}

// Float samples as 16-bit ones: kept where every finite sample lies in 0–1, otherwise scaled from
// the image's own minimum and maximum; samples that are not finite take the minimum.
void floatsTo16Bit(const std::vector<float>& samples, RawImage& image) {
    float lowest = std::numeric_limits<float>::infinity(), highest = -lowest;
    for (float v : samples) {
        if (!std::isfinite(v)) continue;
        lowest = std::min(lowest, v);
        highest = std::max(highest, v);
    }
    if (!(lowest <= highest)) lowest = highest = 0.f;  // nothing finite
    const bool unit = lowest >= 0.f && highest <= 1.f;
    const double offset = unit ? 0.0 : lowest;
    const double range = unit ? 1.0 : double(highest) - double(lowest);
    for (size_t i = 0; i < samples.size(); ++i) {
        const float v = std::isfinite(samples[i]) ? samples[i] : lowest;
        const double t = range > 0.0 ? (double(v) - offset) / range : 0.0;
        image.set(i, static_cast<uint32_t>(std::lround(std::clamp(t, 0.0, 1.0) * 65535.0)));
    }
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

}  // namespace

// Grey and RGB of 1 to 16 bits or 32-bit floats (MinIsBlack or MinIsWhite grey), with or without
// alpha, in strips or tiles, contiguous or separate planes, are read sample by sample so 16 bits stay
// exact. Up to 8 bits give 8-bit samples, 9 to 15 bits are stretched to 16, floats are fitted to 16
// bits (floatsTo16Bit).
std::string codecs::decodeTiff(std::span<const uint8_t> bytes, RawImage& image) {
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
    char sizeMessage[200];
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height))
        return "TIFF without image size";
    if (!acceptDimensions(width, height, 1, 1, sizeMessage)) return sizeMessage;
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
    const bool floats = sampleFormat == SAMPLEFORMAT_IEEEFP && bits == 32;
    const bool plain = (grey || photometric == PHOTOMETRIC_RGB) && spp >= colours &&
                       ((sampleFormat == SAMPLEFORMAT_UINT && bits >= 1 && bits <= 16) || floats);
    if (!plain) {
        if (!acceptDimensions(width, height, 4, 1, sizeMessage)) return sizeMessage;
        return readTiffRgba(tif, memory, width, height, hasAlpha, image);
    }
    const int depth = bits > 8 ? 16 : 8;
    // Floats are collected whole before they are fitted, beside the 16-bit image.
    if (!acceptDimensions(width, height, colours + hasAlpha, floats ? 4 + 2 : depth / 8, sizeMessage))
        return sizeMessage;
    if (!allocate(image, width, height, colours + hasAlpha, depth)) return "out of memory";
    std::vector<float> floatSamples(floats ? image.pixelCount() * image.channels : 0);

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
    std::vector<uint8_t> block(static_cast<size_t>(blockBytes) + kSamplePadding);

    // MinIsWhite flips the grey sample only; bit depths other than 8 and 16 are stretched to the
    // full range of the depth they are stored at.
    const uint32_t fullScale = depth == 16 ? 65535 : 255, sampleMax = floats ? 0 : (1u << bits) - 1;
    const bool separate = planar == PLANARCONFIG_SEPARATE && spp > 1;
    const int planes = separate ? image.channels : 1, blockSpp = separate ? 1 : spp;
    // Rows of whole 8- or 16-bit samples, as many per pixel as the image keeps, are stored as
    // they are decoded (libtiff hands 16-bit samples over in the machine's byte order).
    const bool copyRows = !floats && !separate && (bits == 8 || bits == 16) && spp == image.channels &&
                          photometric != PHOTOMETRIC_MINISWHITE;
    const size_t bytesPerSample = size_t(depth / 8);
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
                    if (copyRows) {
                        std::memcpy(image.samples.data() + target * bytesPerSample, source,
                                    size_t(columns) * image.channels * bytesPerSample);
                        continue;
                    }
                    for (size_t x = 0; x < columns; ++x) {
                        for (int s = 0; s < blockSpp && (separate ? plane : s) < image.channels; ++s) {
                            const int channel = separate ? plane : s;
                            if (floats) {
                                floatSamples[target + x * image.channels + channel] =
                                    tiffFloatSample(source, x * blockSpp + s);
                                continue;
                            }
                            uint32_t v = tiffSample(source, x * blockSpp + s, bits);
                            if (bits != 8 && bits != 16) v = uint32_t(uint64_t(v) * fullScale / sampleMax);
                            if (channel == 0 && photometric == PHOTOMETRIC_MINISWHITE) v = fullScale - v;
                            image.set(target + x * image.channels + channel, v);
                        }
                    }
                }
            }
        }
    }
    if (floats) {
        floatsTo16Bit(floatSamples, image);
        if (photometric == PHOTOMETRIC_MINISWHITE) {
            for (size_t i = 0; i < image.samples.size() / 2; i += image.channels) image.set(i, 65535 - image.at(i));
        }
    }
    if (hasAlpha && extraCount > 0 && extraTypes[0] == EXTRASAMPLE_ASSOCALPHA) unpremultiply(image);
    return {};
}

std::optional<std::pair<uint32_t, uint32_t>> codecs::tiffClaimedSize(std::span<const uint8_t> bytes) {
    TiffMemory memory;
    memory.input = bytes.data();
    memory.inputSize = bytes.size();
    TiffHandle handle = openTiff(memory, "r");
    uint32_t width = 0, height = 0;
    if (!handle || !TIFFGetField(handle.get(), TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(handle.get(), TIFFTAG_IMAGELENGTH, &height))
        return std::nullopt;
    return std::pair{width, height};
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

}  // namespace korvane
