#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "raytracer/core/ParamMap.h"
#include "raytracer/core/RenderContext.h"
#include "raytracer/core/ToneCurve.h"

namespace yafaray {

class colorOutput_t;
class progressBar_t;

enum class filterType_t { box, mitchell, gauss, lanczos };

// The film and sampling settings of one render, read from render's parameter map.
struct renderSettings_t {
    int width = 320, height = 240;
    int minSamples = 1;
    int passes = 1;
    int incSamples = 1;
    float sampleMultiplier = 1.f;
    float threshold = 0.05f;
    bool detectColorNoise = false;
    filterType_t filter = filterType_t::box;
    float pixelWidth = 1.5f;
    int threads = -1;
    int tileSize = 32;
    bool centreOrder = false;
    bool zChannel = false;
    float gamma = 1.f;
    bool clampRGB = false;
    // "tone_mapping": "clip" (default) or "filmic".
    toneMapping_t toneMapping = toneMapping_t::clip;
    // "denoise": after the last pass the colour is filtered, guided by each pixel's first
    // surface (albedo, normal, depth), to remove sampling noise. Off by default.
    bool denoise = false;
    // The pixel rectangle [regionX0, regionX1) × [regionY0, regionY1) of the width × height
    // frame that is rendered and delivered ("region_x0", "region_y0", "region_x1",
    // "region_y1"; the whole frame when absent).
    int regionX0 = 0, regionY0 = 0, regionX1 = 0, regionY1 = 0;
    // True when any region key was given: the render is one tile of a frame put together later.
    // Its film over the region equals, bit for bit, the same pixels of a whole frame's film, and
    // goes to the output with its last pass (colorOutput_t::putFilm); its pixels are delivered
    // undenoised, since the denoiser reads far beyond any region: the frame put together from
    // its tiles' films is denoised and resolved once (resolveFilm).
    bool regionGiven = false;
};

// What a pixel's filtered samples add up to: weight, RGBA, and depth over hit samples only.
struct accum_t {
    float w = 0.f, r = 0.f, g = 0.f, b = 0.f, a = 0.f;
    float zw = 0.f, z = 0.f;
};

// What the denoiser needs of a pixel beyond its colour, accumulated with the colour's filter
// weights: the first surface's albedo and normal; and, over the positive weights only, the
// moments of the samples' luminance that give the pixel's noise.
struct guideAccum_t {
    float ar = 0.f, ag = 0.f, ab = 0.f;
    float nx = 0.f, ny = 0.f, nz = 0.f;
    float pw = 0.f, pw2 = 0.f, pl = 0.f, pl2 = 0.f;

    void add(const guideAccum_t& o) {
        ar += o.ar, ag += o.ag, ab += o.ab;
        nx += o.nx, ny += o.ny, nz += o.nz;
        pw += o.pw, pw2 += o.pw2, pl += o.pl, pl2 += o.pl2;
    }
};

// The film over the rectangle [x0, x1) × [y0, y1) of a frameWidth × frameHeight frame as the
// samples left it, with how the film turns it into pixels.
struct rawFilm_t {
    int frameWidth = 0, frameHeight = 0;
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    float gamma = 1.f;
    toneMapping_t toneMapping = toneMapping_t::clip;
    // How many of R, G, B, A and depth the render delivers per pixel (4 without "z_channel").
    int channels = 4;
    std::vector<accum_t> accum;  // row by row over the rectangle
    // The same pixels' guides when the frame is denoised; empty when it is not.
    std::vector<guideAccum_t> guides;

    int width() const { return x1 - x0; }
    int height() const { return y1 - y0; }
};

// Reads the render settings; false with a message when the image cannot be rendered.
bool readRenderSettings(const paraMap_t& params, renderSettings_t& settings, std::string& error);

// Pixel weight of a sample at offset (dx, dy) pixels, for a filter of radius `radius`.
float filterWeight(filterType_t type, float radius, float dx, float dy);
// Filter radius in pixels for the type and AA_pixelwidth.
float filterRadius(filterType_t type, float pixelWidth);

// The final pixels of a whole frame's film (its rectangle must be the frame): R, G, B, A and
// depth, 5 floats per pixel row by row, the colour denoised first when the film has guides. The
// last pass of a whole frame's render resolves its pixels with this very code, so a frame put
// together from the films of its region renders comes out bit for bit the same. Runs the
// denoiser on the calling task arena; the result does not depend on the thread count. Any thread.
std::vector<float> resolveFilm(const rawFilm_t& frame);

// Renders the image in tiles on `settings.threads` workers and delivers it pass by pass.
// Returns false when the render was aborted (pixels may then be incomplete).
bool renderTiled(const renderSettings_t& settings, const renderContext_t& ctx,
                 const surfaceIntegrator_t& integrator, colorOutput_t& output, progressBar_t* progress,
                 const std::atomic<bool>& abortFlag);

}  // namespace yafaray
