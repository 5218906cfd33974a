#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace yafaray {

// A growable array of trivially copyable values kept in one block. On Linux a large block is a
// mapping of its own that grows by remapping its pages, so a mesh of hundreds of megabytes never
// holds two copies of itself while it grows, as std::vector would while copying into its new
// buffer (and as malloc does once its mapping threshold has risen past the block). One owner; not
// thread-safe.
template <typename T>
class PodArray {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

public:
    PodArray() = default;
    ~PodArray() { release(); }
    PodArray(const PodArray& other) { *this = other; }
    PodArray& operator=(const PodArray& other) {
        if (this == &other) return *this;
        clear();
        reserve(other.size_);
        for (size_t i = 0; i < other.size_; ++i) data_[i] = other.data_[i];
        size_ = other.size_;
        return *this;
    }
    PodArray(PodArray&& other) noexcept { swap(other); }
    PodArray& operator=(PodArray&& other) noexcept {
        swap(other);
        return *this;
    }
    void swap(PodArray& other) noexcept {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        std::swap(capacity_, other.capacity_);
    }

    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T* data() { return data_; }
    const T* data() const { return data_; }
    T& operator[](size_t i) { return data_[i]; }
    const T& operator[](size_t i) const { return data_[i]; }
    T* begin() { return data_; }
    T* end() { return data_ + size_; }
    const T* begin() const { return data_; }
    const T* end() const { return data_ + size_; }
    T& back() { return data_[size_ - 1]; }
    const T& back() const { return data_[size_ - 1]; }

    void push_back(const T& value) {
        if (size_ == capacity_) grow(size_ + 1);
        data_[size_++] = value;
    }
    // New elements are value-initialised.
    void resize(size_t n, const T& value = T()) {
        if (n > capacity_) grow(n);
        for (size_t i = size_; i < n; ++i) new (data_ + i) T(value);
        size_ = n;
    }
    void reserve(size_t n) {
        if (n > capacity_) reallocate(n);
    }
    void clear() {
        release();
        data_ = nullptr;
        size_ = capacity_ = 0;
    }
    // Gives spare capacity back (in place for a large block).
    void shrinkToFit() {
        if (size_ == 0) {
            clear();
        } else if (capacity_ > size_) {
            reallocate(size_);
        }
    }

private:
    void grow(size_t needed) {
        size_t n = capacity_ < 16 ? 16 : capacity_ + capacity_ / 2;
        reallocate(n < needed ? needed : n);
    }
    // Blocks from this many bytes on are mappings of their own.
    static constexpr size_t kMappedBytes = size_t(1) << 20;

    static bool mapped(size_t capacity) {
#if defined(__linux__)
        return capacity * sizeof(T) >= kMappedBytes;
#else
        (void)capacity;
        return false;
#endif
    }
    void reallocate(size_t n) {
        void* block = nullptr;
#if defined(__linux__)
        if (mapped(n) && mapped(capacity_)) {
            block = mremap(data_, capacity_ * sizeof(T), n * sizeof(T), MREMAP_MAYMOVE);
            if (block == MAP_FAILED) throw std::bad_alloc();
        } else if (mapped(n) || mapped(capacity_)) {
            // Crossing the threshold: one copy of a block of at most kMappedBytes.
            block = mapped(n) ? mmap(nullptr, n * sizeof(T), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
                              : std::malloc(n * sizeof(T));
            if (!block || block == MAP_FAILED) throw std::bad_alloc();
            if (size_ > 0) std::memcpy(block, static_cast<void*>(data_), (size_ < n ? size_ : n) * sizeof(T));
            release();
        }
#endif
        if (!block) {
            block = std::realloc(static_cast<void*>(data_), n * sizeof(T));
            if (!block) throw std::bad_alloc();
        }
        data_ = static_cast<T*>(block);
        capacity_ = n;
    }
    void release() {
        if (!data_) return;
#if defined(__linux__)
        if (mapped(capacity_)) {
            munmap(static_cast<void*>(data_), capacity_ * sizeof(T));
            return;
        }
#endif
        std::free(static_cast<void*>(data_));
    }

    T* data_ = nullptr;
    size_t size_ = 0, capacity_ = 0;
};

}  // namespace yafaray
