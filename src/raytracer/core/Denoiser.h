#pragma once

#include <vector>

namespace yafaray {

// A finished film and its guides, one entry per pixel in rows of `width`: what the denoiser
// reads. Pixels that show no surface have a zero normal and a negative depth.
struct denoiseBuffers_t {
    int width = 0, height = 0;
    std::vector<float> colour;    // linear RGB, 3 per pixel; the denoiser filters it in place
    std::vector<float> albedo;    // first surface's reflectance, RGB, 3 per pixel (white for the sky)
    std::vector<float> normal;    // first surface's shading normal, 3 per pixel
    std::vector<float> depth;     // distance to the first surface
    std::vector<float> variance;  // variance of the pixel's mean luminance, from its samples
    std::vector<float> samples;   // how many equally weighted samples that variance stands for

    explicit denoiseBuffers_t(int w = 0, int h = 0);
};

// Removes sampling noise from the colour of the pixels in [x0, x1) × [y0, y1), reading only
// pixels of that rectangle. The lighting (colour over albedo) is smoothed among neighbours of
// like albedo, normal and depth whose lighting differs by no more than the pixel's noise
// explains; the albedo is then multiplied back, so texture stays as sharp as it was rendered.
// Runs its rows on the calling task arena; the result does not depend on the thread count.
// Only the colour is left afterwards: the guides are released once read.
void denoise(denoiseBuffers_t& buffers, int x0, int y0, int x1, int y1);

}  // namespace yafaray
