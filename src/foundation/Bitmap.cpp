#include "foundation/Bitmap.h"

#include <sys/mman.h>

#include <cassert>
#include <cstdlib>
#include <cstring>

namespace korvane {
namespace {

// The kernel's large page, and the block size from which pixel storage is put on such pages.
constexpr size_t kLargePage = size_t{2} << 20;
constexpr size_t kLargePageThreshold = size_t{4} << 20;

size_t largePageBlockSize(size_t bytes) {
    return (bytes + kLargePage - 1) / kLargePage * kLargePage;
}

}  // namespace

void* allocatePixelBytes(size_t bytes) {
    if (bytes < kLargePageThreshold) return ::operator new(bytes);
    const size_t size = largePageBlockSize(bytes);
    void* block = std::aligned_alloc(kLargePage, size);
    if (!block) throw std::bad_alloc();
    // Only advice: where the kernel has no large pages free it uses small ones.
    madvise(block, size, MADV_HUGEPAGE);
    return block;
}

void freePixelBytes(void* block, size_t bytes) noexcept {
    if (bytes < kLargePageThreshold) {
        ::operator delete(block);
    } else {
        std::free(block);
    }
}

int samplesPerPixel(PixelFormat format) {
    switch (format) {
        case PixelFormat::Gray16:
        case PixelFormat::Gray8:
            return 1;
        case PixelFormat::RGB8:
            return 3;
        case PixelFormat::RGBA8:
            return 4;
    }
    return 1;
}

int bytesPerSample(PixelFormat format) {
    return format == PixelFormat::Gray16 ? 2 : 1;
}

int bytesPerPixel(PixelFormat format) {
    return samplesPerPixel(format) * bytesPerSample(format);
}

Bitmap::Bitmap() = default;

Bitmap::Bitmap(int width, int height, PixelFormat format) : format_(format) {
    if (width <= 0 || height <= 0) return;
    const size_t rowBytes = static_cast<size_t>(width) * bytesPerPixel(format);
    if (rowBytes > pixels_.max_size() / static_cast<size_t>(height)) return;
    pixels_.assign(rowBytes * static_cast<size_t>(height), 0);
    width_ = width;
    height_ = height;
}

Bitmap::Bitmap(int width, int height, PixelFormat format, PixelBuffer pixels) : format_(format) {
    if (width <= 0 || height <= 0) return;
    const size_t rowBytes = static_cast<size_t>(width) * bytesPerPixel(format);
    if (rowBytes > pixels.max_size() / static_cast<size_t>(height)) return;
    if (pixels.size() != rowBytes * static_cast<size_t>(height)) return;
    pixels_ = std::move(pixels);
    width_ = width;
    height_ = height;
}

uint16_t Bitmap::gray16(int x, int y) const {
    assert(format_ == PixelFormat::Gray16 && x >= 0 && x < width_ && y >= 0 && y < height_);
    uint16_t v;
    std::memcpy(&v, pixel(x, y), sizeof v);
    return v;
}

void Bitmap::setGray16(int x, int y, uint16_t v) {
    assert(format_ == PixelFormat::Gray16 && x >= 0 && x < width_ && y >= 0 && y < height_);
    std::memcpy(pixel(x, y), &v, sizeof v);
}

uint8_t Bitmap::gray8(int x, int y) const {
    assert(format_ == PixelFormat::Gray8 && x >= 0 && x < width_ && y >= 0 && y < height_);
    return *pixel(x, y);
}

void Bitmap::setGray8(int x, int y, uint8_t v) {
    assert(format_ == PixelFormat::Gray8 && x >= 0 && x < width_ && y >= 0 && y < height_);
    *pixel(x, y) = v;
}

bool Bitmap::operator==(const Bitmap& other) const {
    return format_ == other.format_ && width_ == other.width_ && height_ == other.height_ &&
           pixels_ == other.pixels_;
}

}  // namespace korvane
