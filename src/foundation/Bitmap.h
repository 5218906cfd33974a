#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

namespace korvane {

// Pixel layouts a Bitmap can hold. Heightmaps are Gray16 (sample s means s/65535 of the maximum
// terrain height), material masks and density maps Gray8, rendered images RGBA8 (not premultiplied).
enum class PixelFormat { Gray16, Gray8, RGBA8, RGB8 };

// Samples per pixel (1, 3 or 4), bytes per sample (1 or 2) and their product. Pure, any thread.
int samplesPerPixel(PixelFormat format);
int bytesPerSample(PixelFormat format);
int bytesPerPixel(PixelFormat format);

// Storage for pixels. Blocks of a few MiB and more are aligned to the kernel's 2 MiB pages and
// advised for them, so that filling a large map (a 10240² mask, a heightmap being decoded) takes
// hundreds of times fewer page faults; smaller ones come from operator new. Both throw
// std::bad_alloc when memory runs out. Any thread.
void* allocatePixelBytes(size_t bytes);
// Frees a block of allocatePixelBytes; bytes must be the size it was allocated with.
void freePixelBytes(void* block, size_t bytes) noexcept;

// The allocator of pixel buffers: allocatePixelBytes, and elements left uninitialised by resize()
// (decoders write every byte they are given); assign(n, 0) still zeroes.
template <typename T>
struct PixelAllocator {
    using value_type = T;
    PixelAllocator() = default;
    template <typename U>
    PixelAllocator(const PixelAllocator<U>&) {}
    T* allocate(size_t n) { return static_cast<T*>(allocatePixelBytes(n * sizeof(T))); }
    void deallocate(T* block, size_t n) noexcept { freePixelBytes(block, n * sizeof(T)); }
    template <typename U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    friend bool operator==(const PixelAllocator&, const PixelAllocator&) { return true; }
};

using PixelBuffer = std::vector<uint8_t, PixelAllocator<uint8_t>>;

// A tightly packed raster. Storage is row 0 first (the top row), rows without padding; 16-bit samples
// are native-endian. Drawing code elsewhere puts its origin at the lower-left corner and flips y itself.
// A value type: copies own their pixels. Not synchronised; one thread writes at a time.
class Bitmap {
public:
    // An empty 0×0 Gray8 bitmap.
    Bitmap();
    // A zero-filled bitmap. A side ≤ 0, or a byte count beyond what a vector can hold, gives an empty bitmap
    // (0×0, of the given format). Throws std::bad_alloc only when memory runs out; decoders check
    // their sizes against kMaxImagePixels (ImageCodecs.h) before constructing.
    Bitmap(int width, int height, PixelFormat format);
    // Takes over pixels a decoder filled, without copying them; they must hold exactly width ×
    // height pixels of the format, top row first, or the bitmap is empty (0×0, of that format).
    Bitmap(int width, int height, PixelFormat format, PixelBuffer pixels);

    int width() const { return width_; }
    int height() const { return height_; }
    PixelFormat format() const { return format_; }
    bool empty() const { return width_ == 0; }

    // width × bytesPerPixel; rows follow each other without padding.
    size_t bytesPerRow() const { return static_cast<size_t>(width_) * bytesPerPixel(format_); }
    // The pixels, owned by the bitmap; valid until it is resized, assigned or destroyed. Null when empty.
    uint8_t* data() { return pixels_.empty() ? nullptr : pixels_.data(); }
    const uint8_t* data() const { return pixels_.empty() ? nullptr : pixels_.data(); }
    size_t sizeInBytes() const { return pixels_.size(); }

    // Start of stored row y; y = 0 is the first stored (top) row. y must lie in [0, height).
    uint8_t* row(int y) { return pixels_.data() + static_cast<size_t>(y) * bytesPerRow(); }
    const uint8_t* row(int y) const { return pixels_.data() + static_cast<size_t>(y) * bytesPerRow(); }
    // Start of pixel (x, y) in storage coordinates.
    uint8_t* pixel(int x, int y) { return row(y) + static_cast<size_t>(x) * bytesPerPixel(format_); }
    const uint8_t* pixel(int x, int y) const {
        return row(y) + static_cast<size_t>(x) * bytesPerPixel(format_);
    }

    // Sample access for the grey formats; the format must match and (x, y) lie inside (checked by
    // assert in debug builds only).
    uint16_t gray16(int x, int y) const;
    void setGray16(int x, int y, uint16_t v);
    uint8_t gray8(int x, int y) const;
    void setGray8(int x, int y, uint8_t v);

    // Equal when format, size and every pixel byte agree.
    bool operator==(const Bitmap& other) const;

private:
    int width_ = 0;
    int height_ = 0;
    PixelFormat format_ = PixelFormat::Gray8;
    PixelBuffer pixels_;
};

}  // namespace korvane
