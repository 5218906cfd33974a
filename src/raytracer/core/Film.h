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
    // "region_y1"; the whole frame when absent). Its pixels equal, bit for bit, the same pixels
    // of a render of the whole frame, so that tiles rendered apart can be put together.
    int regionX0 = 0, regionY0 = 0, regionX1 = 0, regionY1 = 0;
};

// Reads the render settings; false with a message when the image cannot be rendered.
bool readRenderSettings(const paraMap_t& params, renderSettings_t& settings, std::string& error);

// Pixel weight of a sample at offset (dx, dy) pixels, for a filter of radius `radius`.
float filterWeight(filterType_t type, float radius, float dx, float dy);
// Filter radius in pixels for the type and AA_pixelwidth.
float filterRadius(filterType_t type, float pixelWidth);

// Renders the image in tiles on `settings.threads` workers and delivers it pass by pass.
// Returns false when the render was aborted (pixels may then be incomplete).
bool renderTiled(const renderSettings_t& settings, const renderContext_t& ctx,
                 const surfaceIntegrator_t& integrator, colorOutput_t& output, progressBar_t* progress,
                 const std::atomic<bool>& abortFlag);

}  // namespace yafaray
