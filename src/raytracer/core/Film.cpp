#include "raytracer/core/Film.h"

#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <mutex>

#include "raytracer/core/Denoiser.h"
#include "raytracer/core/Log.h"
#include "raytracer/interface.h"

namespace yafaray {
namespace {

// Largest image accepted, so that a hostile size cannot make the film allocate gigabytes.
constexpr long long kMaxPixels = 1LL << 26;
constexpr int kMaxSamplesPerPass = 4096;
constexpr int kMaxPasses = 64;

uint32_t hash32(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352du;
    x ^= x >> 15;
    x *= 0x846ca68bu;
    x ^= x >> 16;
    return x;
}

uint32_t pixelHash(int x, int y) {
    return hash32(uint32_t(x) * 0x9E3779B1u ^ hash32(uint32_t(y) + 0x632BE5ABu));
}

float toUnit(uint32_t bits) {
    return static_cast<float>(bits >> 8) * (1.f / 16777216.f);
}

uint32_t reverseBits(uint32_t i) {
    i = (i << 16) | (i >> 16);
    i = ((i & 0x00ff00ffu) << 8) | ((i & 0xff00ff00u) >> 8);
    i = ((i & 0x0f0f0f0fu) << 4) | ((i & 0xf0f0f0f0u) >> 4);
    i = ((i & 0x33333333u) << 2) | ((i & 0xccccccccu) >> 2);
    return ((i & 0x55555555u) << 1) | ((i & 0xaaaaaaaau) >> 1);
}

// Second dimension of the Sobol' sequence, scrambled by xor.
uint32_t sobol2(uint32_t n, uint32_t scramble) {
    for (uint32_t v = 1u << 31; n != 0; n >>= 1, v ^= v >> 1) {
        if (n & 1u) scramble ^= v;
    }
    return scramble;
}

float mitchell1D(float x) {
    constexpr float B = 1.f / 3.f, C = 1.f / 3.f;
    x = std::fabs(x);
    if (x < 1.f)
        return ((12.f - 9.f * B - 6.f * C) * x * x * x + (-18.f + 12.f * B + 6.f * C) * x * x +
                (6.f - 2.f * B)) /
               6.f;
    if (x < 2.f) {
        return ((-B - 6.f * C) * x * x * x + (6.f * B + 30.f * C) * x * x + (-12.f * B - 48.f * C) * x +
                (8.f * B + 24.f * C)) /
               6.f;
    }
    return 0.f;
}

float sinc(float x) {
    return std::fabs(x) < 1e-6f ? 1.f : std::sin(kPi * x) / (kPi * x);
}

struct tile_t {
    int x0, y0, x1, y1;
};

// Final pixel channels R, G, B, A, depth from accumulated samples; `linear`, when given, is the
// pixel's colour before tone mapping in place of the accumulated one (the denoised colour).
void resolvePixel(const accum_t& a, float gamma, toneMapping_t toneMapping, float* c,
                  const float* linear = nullptr) {
    const float inv = a.w != 0.f ? 1.f / a.w : 0.f;
    c[0] = std::max(0.f, linear ? linear[0] : a.r * inv);
    c[1] = std::max(0.f, linear ? linear[1] : a.g * inv);
    c[2] = std::max(0.f, linear ? linear[2] : a.b * inv);
    if (toneMapping == toneMapping_t::filmic) filmicToneMap(c);
    c[3] = std::clamp(a.a * inv, 0.f, 1.f);
    c[4] = a.zw > 0.f ? a.z / a.zw : -1.f;
    if (gamma != 1.f) {
        for (int k = 0; k < 3; ++k) c[k] = std::pow(c[k], 1.f / gamma);
    }
}

// The whole film's colour before tone mapping, linear RGB, 3 per pixel, denoised on the calling
// task arena.
std::vector<float> denoisedColour(const std::vector<accum_t>& film, const std::vector<guideAccum_t>& guides,
                                  int W, int H) {
    denoiseBuffers_t b(W, H);
    for (size_t i = 0; i < film.size(); ++i) {
        const accum_t& a = film[i];
        if (a.w == 0.f) continue;
        const guideAccum_t& g = guides[i];
        const float inv = 1.f / a.w;
        const float c[3] = {a.r * inv, a.g * inv, a.b * inv}, albedo[3] = {g.ar * inv, g.ag * inv, g.ab * inv},
                    normal[3] = {g.nx * inv, g.ny * inv, g.nz * inv};
        for (int k = 0; k < 3; ++k) {
            b.colour[i * 3 + k] = std::max(0.f, c[k]);
            b.albedo[i * 3 + k] = albedo[k];
            b.normal[i * 3 + k] = normal[k];
        }
        b.depth[i] = a.zw > 0.f ? a.z / a.zw : -1.f;
        if (g.pw > 0.f) {
            // Spread of the samples' luminance, times Σw²/(Σw)²: the variance of their weighted mean.
            const float mean = g.pl / g.pw;
            b.variance[i] = std::max(0.f, g.pl2 / g.pw - mean * mean) * g.pw2 / (g.pw * g.pw);
            b.samples[i] = g.pw * g.pw / g.pw2;
        }
    }
    const auto start = std::chrono::steady_clock::now();
    denoise(b, 0, 0, W, H);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    logMessage(logLevel_t::info, "denoised " + std::to_string(W) + " x " + std::to_string(H) + " pixels in " +
                                     std::to_string(took.count()) + " s");
    return std::move(b.colour);
}

// The W × H film's pixels, 5 channels each (see resolvePixel); denoised when `guides` is given.
std::vector<float> resolvePixels(const std::vector<accum_t>& film, const std::vector<guideAccum_t>* guides,
                                 int W, int H, float gamma, toneMapping_t toneMapping) {
    const std::vector<float> denoised = guides ? denoisedColour(film, *guides, W, H) : std::vector<float>();
    std::vector<float> pixels(film.size() * 5);
    for (size_t pi = 0; pi < film.size(); ++pi)
        resolvePixel(film[pi], gamma, toneMapping, &pixels[pi * 5], guides ? &denoised[pi * 3] : nullptr);
    return pixels;
}

// The region's part of the W × H film and of its guides (when denoising).
rawFilm_t regionFilm(const renderSettings_t& s, const std::vector<accum_t>& film,
                     const std::vector<guideAccum_t>& guides, int channels) {
    rawFilm_t out;
    out.frameWidth = s.width;
    out.frameHeight = s.height;
    out.x0 = s.regionX0, out.y0 = s.regionY0, out.x1 = s.regionX1, out.y1 = s.regionY1;
    out.gamma = s.gamma;
    out.toneMapping = s.toneMapping;
    out.channels = channels;
    out.accum.reserve(size_t(out.width()) * out.height());
    if (s.denoise) out.guides.reserve(out.accum.capacity());
    for (int y = out.y0; y < out.y1; ++y) {
        const size_t row = size_t(y) * s.width;
        out.accum.insert(out.accum.end(), film.begin() + long(row + out.x0),
                         film.begin() + long(row + out.x1));
        if (s.denoise)
            out.guides.insert(out.guides.end(), guides.begin() + long(row + out.x0),
                              guides.begin() + long(row + out.x1));
    }
    return out;
}

std::string normaliseFilterName(std::string name) {
    std::string out;
    for (char c : name) {
        if (c == ',' || std::isspace(static_cast<unsigned char>(c))) continue;
        out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
    return out;
}

}  // namespace

bool readRenderSettings(const paraMap_t& params, renderSettings_t& s, std::string& error) {
    // Only the options the film implements are read: any other key (dark detection, variance
    // windows, sample clamping, region starts, …) stays unread and is logged as unused by render.
    int incSamples = 0;
    std::string filter, order = "linear";
    params.getParam("width", s.width);
    params.getParam("height", s.height);
    params.getParam("AA_minsamples", s.minSamples);
    params.getParam("AA_passes", s.passes);
    params.getParam("AA_inc_samples", incSamples);
    params.getParam("AA_threshold", s.threshold);
    params.getParam("AA_sample_multiplier_factor", s.sampleMultiplier);
    params.getParam("AA_detect_color_noise", s.detectColorNoise);
    params.getParam("AA_pixelwidth", s.pixelWidth);
    params.getParam("threads", s.threads);
    params.getParam("tile_size", s.tileSize);
    params.getParam("tiles_order", order);
    params.getParam("z_channel", s.zChannel);
    params.getParam("gamma", s.gamma);
    params.getParam("clamp_rgb", s.clampRGB);
    params.getParam("denoise", s.denoise);
    std::string toneMapping;
    if (params.getParam("tone_mapping", toneMapping)) {
        if (toneMapping == "filmic")
            s.toneMapping = toneMapping_t::filmic;
        else if (toneMapping != "clip")
            logMessage(logLevel_t::warning, "unknown tone_mapping '" + toneMapping + "', clipping");
    }
    if (params.getParam("filter_type", filter)) {
        const std::string f = normaliseFilterName(filter);
        if (f == "mitchell")
            s.filter = filterType_t::mitchell;
        else if (f == "gauss")
            s.filter = filterType_t::gauss;
        else if (f == "lanczos")
            s.filter = filterType_t::lanczos;
        else if (f == "box")
            s.filter = filterType_t::box;
        else
            logMessage(logLevel_t::warning, "unknown filter_type '" + filter + "', using box");
    } else {
        logMessage(logLevel_t::warning, "no filter_type given, using box");
    }
    if (s.width <= 0 || s.height <= 0 || static_cast<long long>(s.width) * s.height > kMaxPixels) {
        error = "image size " + std::to_string(s.width) + " x " + std::to_string(s.height) +
                " cannot be rendered";
        return false;
    }
    s.minSamples = std::clamp(s.minSamples, 1, kMaxSamplesPerPass);
    s.passes = std::clamp(s.passes, 1, kMaxPasses);
    s.incSamples = incSamples > 0 ? std::min(incSamples, kMaxSamplesPerPass) : s.minSamples;
    if (!(s.sampleMultiplier > 0.f) || s.sampleMultiplier > 16.f) s.sampleMultiplier = 1.f;
    s.tileSize = std::clamp(s.tileSize, 4, 512);
    s.centreOrder = order == "centre";
    if (!(s.pixelWidth > 0.f)) s.pixelWidth = 1.5f;
    if (!(s.gamma > 0.f)) s.gamma = 1.f;
    s.regionX0 = s.regionY0 = 0;
    s.regionX1 = s.width;
    s.regionY1 = s.height;
    int regionKeys = 0;
    regionKeys += params.getParam("region_x0", s.regionX0);
    regionKeys += params.getParam("region_y0", s.regionY0);
    regionKeys += params.getParam("region_x1", s.regionX1);
    regionKeys += params.getParam("region_y1", s.regionY1);
    s.regionGiven = regionKeys > 0;
    if (regionKeys > 0 && !(0 <= s.regionX0 && s.regionX0 < s.regionX1 && s.regionX1 <= s.width && 0 <= s.regionY0 &&
                    s.regionY0 < s.regionY1 && s.regionY1 <= s.height)) {
        error = "render region " + std::to_string(s.regionX0) + "," + std::to_string(s.regionY0) + " to " +
                std::to_string(s.regionX1) + "," + std::to_string(s.regionY1) + " is empty or not inside the " +
                std::to_string(s.width) + " x " + std::to_string(s.height) + " image";
        return false;
    }
    return true;
}

std::vector<float> resolveFilm(const rawFilm_t& frame) {
    return resolvePixels(frame.accum, frame.guides.empty() ? nullptr : &frame.guides, frame.frameWidth,
                         frame.frameHeight, frame.gamma, frame.toneMapping);
}

float filterRadius(filterType_t type, float pixelWidth) {
    float scale = 1.f;
    if (type == filterType_t::mitchell)
        scale = 2.6f;
    else if (type == filterType_t::gauss)
        scale = 2.f;
    return std::clamp(0.5f * pixelWidth * scale, 0.501f, 4.f);
}

float filterWeight(filterType_t type, float radius, float dx, float dy) {
    const float u = std::fabs(dx) / radius, v = std::fabs(dy) / radius;
    if (u >= 1.f || v >= 1.f) return 0.f;
    const float r = std::sqrt(u * u + v * v);
    switch (type) {
        case filterType_t::box:
            return 1.f;
        case filterType_t::gauss:
            return std::max(0.f, std::exp(-6.f * r * r) - std::exp(-6.f));
        case filterType_t::mitchell:
            return mitchell1D(2.f * r);
        case filterType_t::lanczos:
            return sinc(r) * sinc(r / 2.f);
    }
    return 0.f;
}

bool renderTiled(const renderSettings_t& s, const renderContext_t& sceneContext, const surfaceIntegrator_t& integrator,
                 colorOutput_t& output, progressBar_t* progress, const std::atomic<bool>& abortFlag) {
    const int W = s.width, H = s.height;
    const size_t npix = size_t(W) * H;
    const float radius = filterRadius(s.filter, s.pixelWidth);
    const int border = static_cast<int>(std::ceil(radius));
    const float camScaleX = float(sceneContext.camera->resX) / W, camScaleY = float(sceneContext.camera->resY) / H;
    // One image pixel spans camScaleX camera pixels.
    renderContext_t ctx = sceneContext;
    ctx.pixelSpread = ctx.camera->pixelSpread() * camScaleX;

    std::vector<tile_t> tiles;
    for (int y = 0; y < H; y += s.tileSize) {
        for (int x = 0; x < W; x += s.tileSize) {
            tiles.push_back({x, y, std::min(W, x + s.tileSize), std::min(H, y + s.tileSize)});
        }
    }
    if (s.centreOrder) {
        // Tiles nearest the image centre first; ties keep row order so the order is fixed.
        const float cx = W * 0.5f, cy = H * 0.5f;
        std::stable_sort(tiles.begin(), tiles.end(), [&](const tile_t& a, const tile_t& b) {
            const float da = (a.x0 - cx) * (a.x0 - cx) + (a.y0 - cy) * (a.y0 - cy);
            const float db = (b.x0 - cx) * (b.x0 - cx) + (b.y0 - cy) * (b.y0 - cy);
            return da < db;
        });
    }
    // A region is rendered with the whole frame's tiles around it, kept in the frame's order, so
    // that every sample and every sum comes out as in the full render. A pixel depends on the
    // samples within the filter's border, and each later pass on the previous pass's pixels one
    // step further out (the contrast test): that many pixels of margin make the region's film
    // exact. The denoiser would read much further, so a region's film is handed over undenoised
    // and the frame put together from its regions is denoised once (resolveFilm).
    const tile_t region{s.regionX0, s.regionY0, s.regionX1, s.regionY1};
    const bool wholeFrame = region.x0 == 0 && region.y0 == 0 && region.x1 == W && region.y1 == H;
    if (!wholeFrame) {
        const int margin = s.passes * (border + 1) + border;
        const tile_t needed{region.x0 - margin, region.y0 - margin, region.x1 + margin, region.y1 + margin};
        tiles.erase(std::remove_if(tiles.begin(), tiles.end(),
                                   [&](const tile_t& t) {
                                       return t.x1 <= needed.x0 || t.x0 >= needed.x1 || t.y1 <= needed.y0 ||
                                              t.y0 >= needed.y1;
                                   }),
                    tiles.end());
    }
    std::vector<uint8_t> rendered(wholeFrame ? 0 : npix, 0);
    int renderedPixels = wholeFrame ? W * H : 0;
    for (const tile_t& t : tiles) {
        if (wholeFrame) break;
        renderedPixels += (t.x1 - t.x0) * (t.y1 - t.y0);
        for (int y = t.y0; y < t.y1; ++y) std::fill_n(&rendered[size_t(y) * W + t.x0], t.x1 - t.x0, 1);
    }
    auto isRendered = [&](int x, int y) { return wholeFrame || rendered[size_t(y) * W + x]; };

    std::vector<accum_t> film(npix);
    std::vector<uint32_t> sampleCount(npix, 0);
    std::vector<uint8_t> flagged(npix, 1);
    std::vector<std::vector<accum_t>> tileBuffers(tiles.size());
    std::vector<guideAccum_t> guides(s.denoise ? npix : 0);
    std::vector<std::vector<guideAccum_t>> guideBuffers(tiles.size());
    std::mutex progressMutex;  // serialises progress and output calls from the workers
    const int channels = s.zChannel ? 5 : 4;
    const bool singleSample = s.minSamples == 1 && s.passes == 1;
    const EmbreeScene* accel = ctx.scene->accelerator();
    // "threads" ≤ 0 means one worker per hardware thread; absurd counts are capped.
    constexpr int kMaxThreads = 256;
    const int threads =
        s.threads > 0 ? std::min(s.threads, kMaxThreads) : tbb::this_task_arena::max_concurrency();
    tbb::task_arena arena(threads);

    if (progress) progress->setNumberOfPasses(s.passes);
    bool aborted = false;
    for (int pass = 0; pass < s.passes && !aborted; ++pass) {
        const int samples = pass == 0 ? s.minSamples
                                      : std::min(kMaxSamplesPerPass,
                                                 static_cast<int>(std::ceil(
                                                     s.incSamples * std::pow(s.sampleMultiplier, pass - 1))));
        if (progress) progress->init(renderedPixels);

        auto renderTile = [&](size_t ti) {
            const tile_t& t = tiles[ti];
            const int bx0 = t.x0 - border, by0 = t.y0 - border;
            const int bw = (t.x1 - t.x0) + 2 * border, bh = (t.y1 - t.y0) + 2 * border;
            std::vector<accum_t>& buf = tileBuffers[ti];
            buf.assign(size_t(bw) * bh, accum_t());
            std::vector<guideAccum_t>* guideBuf = s.denoise ? &guideBuffers[ti] : nullptr;
            if (guideBuf) guideBuf->assign(size_t(bw) * bh, guideAccum_t());
            auto splat = [&](float sx, float sy, colorA_t c, float depth, const surfaceGuide_t& guide) {
                c.R = std::max(0.f, c.R);
                c.G = std::max(0.f, c.G);
                c.B = std::max(0.f, c.B);
                if (s.clampRGB) {
                    c.R = std::min(1.f, c.R);
                    c.G = std::min(1.f, c.G);
                    c.B = std::min(1.f, c.B);
                }
                const float lum = c.luminance();
                const int px0 = std::max(0, static_cast<int>(std::ceil(sx - radius - 0.5f)));
                const int px1 = std::min(W - 1, static_cast<int>(std::floor(sx + radius - 0.5f)));
                const int py0 = std::max(0, static_cast<int>(std::ceil(sy - radius - 0.5f)));
                const int py1 = std::min(H - 1, static_cast<int>(std::floor(sy + radius - 0.5f)));
                for (int py = py0; py <= py1; ++py) {
                    for (int px = px0; px <= px1; ++px) {
                        const float w = filterWeight(s.filter, radius, px + 0.5f - sx, py + 0.5f - sy);
                        if (w == 0.f) continue;
                        accum_t& a = buf[size_t(py - by0) * bw + (px - bx0)];
                        a.w += w;
                        a.r += w * c.R;
                        a.g += w * c.G;
                        a.b += w * c.B;
                        a.a += w * c.A;
                        if (depth >= 0.f) {
                            a.zw += w;
                            a.z += w * depth;
                        }
                        if (guideBuf) {
                            guideAccum_t& g = (*guideBuf)[size_t(py - by0) * bw + (px - bx0)];
                            g.ar += w * guide.albedo.R;
                            g.ag += w * guide.albedo.G;
                            g.ab += w * guide.albedo.B;
                            g.nx += w * guide.normal.x;
                            g.ny += w * guide.normal.y;
                            g.nz += w * guide.normal.z;
                            if (w > 0.f) {
                                g.pw += w;
                                g.pw2 += w * w;
                                g.pl += w * lum;
                                g.pl2 += w * lum * lum;
                            }
                        }
                    }
                }
            };
            // Camera rays go out in packets of 4×4 pixels (one sample each); shading then
            // continues per sample from the known first hit.
            constexpr int kBlock = 4;
            struct lane_t {
                bool used = false;
                float sx = 0.f, sy = 0.f, wt = 0.f;
                renderState_t state;
                surfaceGuide_t guide;
            };
            lane_t lanes[kBlock * kBlock];
            ray_t rays[kBlock * kBlock];
            int valid[kBlock * kBlock];
            embreeHit_t hits[kBlock * kBlock];
            for (int y0 = t.y0; y0 < t.y1; y0 += kBlock) {
                if (abortFlag.load(std::memory_order_relaxed)) return;
                for (int x0 = t.x0; x0 < t.x1; x0 += kBlock) {
                    for (int k = 0; k < samples; ++k) {
                        bool any = false;
                        for (int l = 0; l < kBlock * kBlock; ++l) {
                            const int x = x0 + l % kBlock, y = y0 + l / kBlock;
                            lane_t& lane = lanes[l];
                            lane.used = x < t.x1 && y < t.y1 && flagged[size_t(y) * W + x];
                            valid[l] = 0;
                            if (!lane.used) continue;
                            const uint32_t scramble = pixelHash(x, y);
                            const uint32_t index = sampleCount[size_t(y) * W + x] + uint32_t(k);
                            float dx = 0.5f, dy = 0.5f;
                            if (!singleSample) {
                                dx = toUnit(reverseBits(index) ^ scramble);
                                dy = toUnit(sobol2(index, hash32(scramble)));
                            }
                            lane.state = renderState_t();
                            lane.state.pixelX = x;
                            lane.state.pixelY = y;
                            lane.state.sampleIndex = index;
                            lane.state.rngState = hash32(scramble ^ hash32(index + 0x51ED27u));
                            lane.guide = surfaceGuide_t();
                            if (guideBuf) lane.state.guide = &lane.guide;
                            const float lu = lane.state.random(), lv = lane.state.random();
                            lane.sx = x + dx;
                            lane.sy = y + dy;
                            rays[l] = ctx.camera->shootRay(lane.sx * camScaleX, lane.sy * camScaleY, lu, lv,
                                                           lane.wt);
                            valid[l] = lane.wt > 0.f;
                            any = any || valid[l];
                        }
                        if (any && accel) accel->intersect16(valid, rays, hits);
                        for (int l = 0; l < kBlock * kBlock; ++l) {
                            lane_t& lane = lanes[l];
                            if (!lane.used) continue;
                            colorA_t c(color_t(0.f), 0.f);
                            float depth = -1.f;
                            if (valid[l]) {
                                primaryHit_t first;
                                first.hit = accel && hits[l].t >= 0.f;
                                if (first.hit) {
                                    first.t = hits[l].t;
                                    ctx.scene->fillSurfacePoint(rays[l], hits[l], first.sp);
                                }
                                c = integrator.integrateFrom(ctx, lane.state, rays[l], first, depth);
                            }
                            splat(lane.sx, lane.sy, c, depth, lane.guide);
                        }
                    }
                }
            }
            std::lock_guard lock(progressMutex);
            if (pass == 0) {
                // A preview of the tile from its own samples; the pass's final pixels follow at
                // its end, when the samples of neighbouring tiles are merged in as well.
                float c[5];
                const tile_t shown{std::max(t.x0, region.x0), std::max(t.y0, region.y0), std::min(t.x1, region.x1),
                                   std::min(t.y1, region.y1)};
                for (int y = shown.y0; y < shown.y1; ++y) {
                    for (int x = shown.x0; x < shown.x1; ++x) {
                        resolvePixel(buf[size_t(y - by0) * bw + (x - bx0)], s.gamma, s.toneMapping, c);
                        output.putPixel(x, y, c, channels);
                    }
                }
                if (shown.x0 < shown.x1 && shown.y0 < shown.y1)
                    output.flushArea(shown.x0, shown.y0, shown.x1, shown.y1);
            }
            if (progress) progress->update((t.x1 - t.x0) * (t.y1 - t.y0));
        };
        arena.execute([&] {
            tbb::parallel_for(tbb::blocked_range<size_t>(0, tiles.size(), 1),
                              [&](const tbb::blocked_range<size_t>& r) {
                                  for (size_t ti = r.begin(); ti != r.end(); ++ti) {
                                      if (abortFlag.load(std::memory_order_relaxed)) return;
                                      renderTile(ti);
                                  }
                              });
        });
        if (abortFlag.load()) {
            aborted = true;
            break;
        }
        // Merge in tile order, so that the sums do not depend on which thread finished first.
        for (size_t ti = 0; ti < tiles.size(); ++ti) {
            const tile_t& t = tiles[ti];
            const int bx0 = t.x0 - border, by0 = t.y0 - border;
            const int bw = (t.x1 - t.x0) + 2 * border, bh = (t.y1 - t.y0) + 2 * border;
            const std::vector<accum_t>& buf = tileBuffers[ti];
            for (int by = 0; by < bh; ++by) {
                const int y = by0 + by;
                if (y < 0 || y >= H) continue;
                for (int bx = 0; bx < bw; ++bx) {
                    const int x = bx0 + bx;
                    if (x < 0 || x >= W) continue;
                    const accum_t& src = buf[size_t(by) * bw + bx];
                    if (src.w == 0.f && src.zw == 0.f) continue;
                    accum_t& d = film[size_t(y) * W + x];
                    d.w += src.w;
                    d.r += src.r;
                    d.g += src.g;
                    d.b += src.b;
                    d.a += src.a;
                    d.zw += src.zw;
                    d.z += src.z;
                }
            }
            std::vector<accum_t>().swap(tileBuffers[ti]);
            if (!s.denoise) continue;
            const std::vector<guideAccum_t>& guideBuf = guideBuffers[ti];
            for (int by = 0; by < bh; ++by) {
                const int y = by0 + by;
                if (y < 0 || y >= H) continue;
                for (int bx = 0; bx < bw; ++bx) {
                    const int x = bx0 + bx;
                    if (x >= 0 && x < W) guides[size_t(y) * W + x].add(guideBuf[size_t(by) * bw + bx]);
                }
            }
            std::vector<guideAccum_t>().swap(guideBuffers[ti]);
        }
        for (size_t pi = 0; pi < npix; ++pi) {
            if (flagged[pi]) sampleCount[pi] += uint32_t(samples);
        }

        // Deliver the image of this pass. The last one is denoised where asked, unless the render
        // is a region of a frame: its film goes to the output, to be denoised with the frame's.
        const bool lastPass = pass + 1 == s.passes;
        std::vector<float> pixels;
        arena.execute([&] {
            pixels = resolvePixels(film, s.denoise && lastPass && !s.regionGiven ? &guides : nullptr, W, H,
                                   s.gamma, s.toneMapping);
        });
        for (int y = region.y0; y < region.y1; ++y) {
            for (int x = region.x0; x < region.x1; ++x)
                output.putPixel(x, y, &pixels[(size_t(y) * W + x) * 5], channels);
        }
        if (lastPass && s.regionGiven) output.putFilm(regionFilm(s, film, guides, channels));
        output.flushArea(region.x0, region.y0, region.x1, region.y1);
        output.flush();
        if (progress) progress->done();

        // Choose the pixels of the next pass: both pixels of any high-contrast neighbour pair.
        if (pass + 1 < s.passes) {
            std::fill(flagged.begin(), flagged.end(), s.threshold <= 0.f ? 1 : 0);
            if (s.threshold > 0.f) {
                auto lum = [&](int x, int y) {
                    const float* c = &pixels[(size_t(y) * W + x) * 5];
                    return 0.2126f * c[0] + 0.7152f * c[1] + 0.0722f * c[2];
                };
                auto differs = [&](int x0, int y0, int x1, int y1) {
                    if (std::fabs(lum(x0, y0) - lum(x1, y1)) >= s.threshold) return true;
                    if (!s.detectColorNoise) return false;
                    const float* a = &pixels[(size_t(y0) * W + x0) * 5];
                    const float* b = &pixels[(size_t(y1) * W + x1) * 5];
                    for (int k = 0; k < 4; ++k) {
                        if (std::fabs(a[k] - b[k]) >= s.threshold) return true;
                    }
                    return false;
                };
                auto check = [&](int x0, int y0, int x1, int y1) {
                    if (!isRendered(x0, y0) || !isRendered(x1, y1)) return;
                    if (differs(x0, y0, x1, y1)) {
                        flagged[size_t(y0) * W + x0] = 1;
                        flagged[size_t(y1) * W + x1] = 1;
                    }
                };
                for (int y = 0; y + 1 < H; ++y) {
                    for (int x = 0; x + 1 < W; ++x) {
                        check(x, y, x + 1, y);
                        check(x, y, x, y + 1);
                        check(x, y, x + 1, y + 1);
                        if (x > 0) check(x, y, x - 1, y + 1);
                    }
                }
            }
        }
    }
    return !aborted;
}

}  // namespace yafaray
