#pragma once

// Images handed to the engine in memory under a file name. The layers name their bitmaps to the
// image texture by a temporary file path, as they always have; within one process the side that
// would write that file registers the pixels here under the path instead, and the image texture
// takes them from here without a file being written or read. The pixels keep their own depth
// (8-bit grey for a mask), and a texture that took an image shares it until the texture itself is
// destroyed with the scene.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace yafaray {

// An 8-bit image: width × height pixels of `channels` samples each (1 grey, 3 RGB, 4 RGBA), top
// row first, rows without padding.
struct memoryImage_t {
    int width = 0, height = 0, channels = 1;
    std::vector<uint8_t> pixels;

    // True when the sizes are positive, channels is 1, 3 or 4 and pixels holds exactly the image.
    bool valid() const;
};

// The image registered under path, shared with the registry; null when there is none. Any thread.
std::shared_ptr<const memoryImage_t> findMemoryImage(const std::string& path);

// Images currently registered. Any thread.
size_t memoryImageCount();

// Registers an image under a path for as long as the object lives, replacing any image registered
// there before; the destructor removes the entry again unless another registration has replaced
// it. Textures that took the image keep it alive on their own. Any thread; not copyable.
class memoryImageRegistration_t {
public:
    memoryImageRegistration_t(std::string path, std::shared_ptr<const memoryImage_t> image);
    ~memoryImageRegistration_t();
    memoryImageRegistration_t(const memoryImageRegistration_t&) = delete;
    memoryImageRegistration_t& operator=(const memoryImageRegistration_t&) = delete;

private:
    std::string path_;
    std::shared_ptr<const memoryImage_t> image_;
};

}  // namespace yafaray
