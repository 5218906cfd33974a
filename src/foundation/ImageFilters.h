#pragma once

#include "foundation/Bitmap.h"

namespace korvane {

// The named image filters the application uses on rendered images and maps: "CIBloom",
// "CIVibrance" and "CICrystallize". Each rewrites an RGBA8 bitmap in place, whole pixels (alpha
// included); bitmaps of another format are left alone. Rows run on the shared parallel pool; the
// caller must not touch the bitmap meanwhile. Any thread.

// A soft glow: the image is blurred with a Gaussian of standard deviation `radius` pixels and the
// blur, scaled by `intensity`, is screened over the original, so bright areas bleed into their
// surroundings while no channel ever exceeds 255. Intensity 0 (or less) changes nothing; a radius
// of 0 (or less) screens the image over itself.
void applyBloomFilter(Bitmap& image, float radius, float intensity);

// Saturation that favours the weakly saturated colours: each pixel's colour is pushed away from
// its luminance by `amount` × (1 − its saturation), so greys and muted tones gain most and vivid
// colours little. Negative amounts desaturate the same way. Amount 0 changes nothing; alpha stays.
void applyVibranceFilter(Bitmap& image, float amount);

// Cells of uniform colour: one random point per `radius` × `radius` square of a jittered grid,
// every pixel taking the colour found at its nearest point. `seed` fixes the points, so the same
// call gives the same cells. A radius below 1 changes nothing.
void applyCrystallizeFilter(Bitmap& image, float radius, unsigned seed = 0);

}  // namespace korvane
