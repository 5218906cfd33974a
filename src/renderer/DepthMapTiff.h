#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace korvane {

// The depth map of a render as a one-channel TIFF of 32-bit IEEE floats (row 0 at the top), each
// value the distance of the visible surface from the camera, negative where no surface was hit.
// Returns the file's bytes, or an empty vector when the size does not match `depths`, the image is
// empty or libtiff fails. Any thread.
std::vector<uint8_t> encodeDepthMapTiff(int width, int height, std::span<const float> depths);

}  // namespace korvane
