#include "raytracer/core/MemoryImages.h"

#include <mutex>
#include <unordered_map>

namespace yafaray {
namespace {

struct registry_t {
    std::mutex mutex;
    std::unordered_map<std::string, std::shared_ptr<const memoryImage_t>> images;
};

// Built on first use and never destroyed, so that a registration ending during the process's
// exit still finds it.
registry_t& registry() {
    static registry_t* instance = new registry_t;
    return *instance;
}

}  // namespace

bool memoryImage_t::valid() const {
    if (width <= 0 || height <= 0) return false;
    if (channels != 1 && channels != 3 && channels != 4) return false;
    return pixels.size() == size_t(width) * size_t(height) * size_t(channels);
}

std::shared_ptr<const memoryImage_t> findMemoryImage(const std::string& path) {
    registry_t& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    const auto found = r.images.find(path);
    return found == r.images.end() ? nullptr : found->second;
}

size_t memoryImageCount() {
    registry_t& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.images.size();
}

memoryImageRegistration_t::memoryImageRegistration_t(std::string path, std::shared_ptr<const memoryImage_t> image)
    : path_(std::move(path)), image_(std::move(image)) {
    registry_t& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.images[path_] = image_;
}

memoryImageRegistration_t::~memoryImageRegistration_t() {
    registry_t& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    const auto found = r.images.find(path_);
    if (found != r.images.end() && found->second == image_) r.images.erase(found);
}

}  // namespace yafaray
