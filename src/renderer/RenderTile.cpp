#include "renderer/RenderTile.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "foundation/ImageCodecs.h"
#include "renderer/RendererImage.h"

namespace korvane {

namespace {

constexpr uint8_t kVersion = 2;
constexpr uint8_t kMagic[8] = {'K', 'V', 'T', 'I', 'L', 'E', 0, kVersion};
// Tiles of version 1 held final pixels, which cannot be denoised together.
constexpr uint8_t kFinalPixelsVersion = 1;
constexpr size_t kHeaderSize = sizeof kMagic + 6 * 4 + 2 * 8 + 4 + 4;
constexpr size_t kChecksumSize = 8;
constexpr size_t kSumsPerPixel = 7;
constexpr size_t kGuidesPerPixel = 10;

void appendInteger(std::vector<uint8_t>& bytes, uint64_t value, int size) {
    for (int i = 0; i < size; ++i) bytes.push_back(uint8_t(value >> (8 * i)));
}

void appendFloat(std::vector<uint8_t>& bytes, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    appendInteger(bytes, bits, 4);
}

uint64_t readInteger(const uint8_t* bytes, int size) {
    uint64_t value = 0;
    for (int i = 0; i < size; ++i) value |= uint64_t(bytes[i]) << (8 * i);
    return value;
}

// Reads the next float; false when it is not a finite number.
bool readFiniteFloat(const uint8_t*& p, float& value) {
    const uint32_t bits = uint32_t(readInteger(p, 4));
    std::memcpy(&value, &bits, 4);
    p += 4;
    return std::isfinite(value);
}

}  // namespace

uint64_t fingerprintOf(std::span<const uint8_t> bytes) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (uint8_t byte : bytes) {
        hash ^= byte;
        hash *= 0x100000001b3ull;
    }
    return hash;
}

std::optional<RenderTile> renderTileOf(const RendererImage& image) {
    if (!image.regionFilm()) return std::nullopt;
    RenderTile tile;
    tile.film = *image.regionFilm();
    return tile;
}

yafaray::rawFilm_t frameFilmFor(const RenderTile& tile) {
    yafaray::rawFilm_t frame;
    frame.frameWidth = frame.x1 = tile.film.frameWidth;
    frame.frameHeight = frame.y1 = tile.film.frameHeight;
    frame.gamma = tile.film.gamma;
    frame.toneMapping = tile.film.toneMapping;
    frame.channels = tile.film.channels;
    const size_t pixels = size_t(frame.frameWidth) * frame.frameHeight;
    frame.accum.resize(pixels);
    if (!tile.film.guides.empty()) frame.guides.resize(pixels);
    return frame;
}

void pasteRenderTile(const RenderTile& tile, yafaray::rawFilm_t& frame) {
    const yafaray::rawFilm_t& film = tile.film;
    const bool guides = !film.guides.empty() && !frame.guides.empty();
    for (int y = 0; y < film.height(); ++y) {
        const size_t from = size_t(y) * film.width();
        const size_t to = size_t(film.y0 + y) * frame.frameWidth + film.x0;
        std::copy_n(film.accum.begin() + long(from), film.width(), frame.accum.begin() + long(to));
        if (guides)
            std::copy_n(film.guides.begin() + long(from), film.width(), frame.guides.begin() + long(to));
    }
}

void resolveFrameFilm(const yafaray::rawFilm_t& frame, bool alphaFromDepth, RendererImage& image) {
    const std::vector<float> pixels = yafaray::resolveFilm(frame);
    // The render's own output, so that the colours are quantised and alpha chosen as in a render.
    outNSImage output(frame.frameWidth, frame.frameHeight, "", alphaFromDepth);
    output.setRendererImage(&image);
    for (int y = 0; y < frame.frameHeight; ++y) {
        for (int x = 0; x < frame.frameWidth; ++x)
            output.putPixel(x, y, &pixels[(size_t(y) * frame.frameWidth + x) * 5], frame.channels);
    }
}

std::vector<uint8_t> encodeRenderTile(const RenderTile& tile) {
    const yafaray::rawFilm_t& film = tile.film;
    const bool guides = !film.guides.empty();
    std::vector<uint8_t> bytes(std::begin(kMagic), std::end(kMagic));
    bytes.reserve(kHeaderSize + film.accum.size() * kRenderTileBytesPerPixel + kChecksumSize);
    for (int value : {film.frameWidth, film.frameHeight, film.x0, film.y0, film.x1, film.y1})
        appendInteger(bytes, uint32_t(value), 4);
    appendInteger(bytes, tile.sceneFingerprint, 8);
    appendInteger(bytes, tile.settingsFingerprint, 8);
    appendFloat(bytes, film.gamma);
    bytes.insert(bytes.end(), {uint8_t(film.toneMapping == yafaray::toneMapping_t::filmic),
                               uint8_t(film.channels), uint8_t(guides), 0});
    for (const yafaray::accum_t& a : film.accum)
        for (float value : {a.w, a.r, a.g, a.b, a.a, a.zw, a.z}) appendFloat(bytes, value);
    for (const yafaray::guideAccum_t& g : film.guides)
        for (float value : {g.ar, g.ag, g.ab, g.nx, g.ny, g.nz, g.pw, g.pw2, g.pl, g.pl2})
            appendFloat(bytes, value);
    appendInteger(bytes, fingerprintOf(bytes), 8);
    return bytes;
}

std::optional<RenderTile> decodeRenderTile(std::span<const uint8_t> bytes, std::string* error) {
    auto fail = [&](const std::string& reason) -> std::optional<RenderTile> {
        if (error) *error = reason;
        return std::nullopt;
    };
    if (bytes.size() < sizeof kMagic || std::memcmp(bytes.data(), kMagic, sizeof kMagic - 1) != 0)
        return fail("not a tile file");
    const uint8_t version = bytes[sizeof kMagic - 1];
    if (version == kFinalPixelsVersion)
        return fail("the tile was made by an older korvane (tile format version 1): render the tiles again");
    if (version != kVersion)
        return fail("tile format version " + std::to_string(version) + " is not supported");
    if (bytes.size() < kHeaderSize + kChecksumSize) return fail("truncated tile");
    RenderTile tile;
    yafaray::rawFilm_t& film = tile.film;
    const uint8_t* p = bytes.data() + sizeof kMagic;
    uint32_t fields[6];
    for (uint32_t& field : fields) field = uint32_t(readInteger(p, 4)), p += 4;
    for (uint32_t field : fields)
        if (field > uint32_t(kMaxImageSide))
            return fail("tile sizes beyond " + std::to_string(kMaxImageSide));
    film.frameWidth = int(fields[0]);
    film.frameHeight = int(fields[1]);
    film.x0 = int(fields[2]), film.y0 = int(fields[3]), film.x1 = int(fields[4]), film.y1 = int(fields[5]);
    if (!(film.x0 < film.x1 && film.y0 < film.y1 && film.x1 <= film.frameWidth &&
          film.y1 <= film.frameHeight))
        return fail("the tile's region is empty or outside its frame");
    tile.sceneFingerprint = readInteger(p, 8), p += 8;
    tile.settingsFingerprint = readInteger(p, 8), p += 8;
    const bool gammaIsFinite = readFiniteFloat(p, film.gamma);
    const uint8_t toneMapping = p[0], channels = p[1], guides = p[2], unused = p[3];
    p += 4;
    if (!gammaIsFinite || !(film.gamma > 0.f) || toneMapping > 1 || (channels != 4 && channels != 5) ||
        guides > 1 || unused != 0)
        return fail("the tile's header is damaged");
    film.toneMapping = toneMapping ? yafaray::toneMapping_t::filmic : yafaray::toneMapping_t::clip;
    film.channels = channels;
    const uint64_t pixels = uint64_t(film.width()) * uint64_t(film.height());
    if (pixels > uint64_t(kMaxImagePixels))
        return fail("the tile is larger than " + std::to_string(kMaxImagePixels) + " pixels");
    const uint64_t expected =
        kHeaderSize + pixels * 4 * (kSumsPerPixel + (guides ? kGuidesPerPixel : 0)) + kChecksumSize;
    if (bytes.size() < expected) return fail("truncated tile");
    if (bytes.size() > expected) return fail("unexpected bytes after the tile");
    const size_t body = bytes.size() - kChecksumSize;
    if (readInteger(bytes.data() + body, 8) != fingerprintOf(bytes.first(body)))
        return fail("the tile's checksum does not match: the file is damaged");
    // The film's arithmetic expects finite sums, as its samples leave them.
    bool finite = true;
    film.accum.resize(size_t(pixels));
    for (yafaray::accum_t& a : film.accum)
        for (float* value : {&a.w, &a.r, &a.g, &a.b, &a.a, &a.zw, &a.z}) finite &= readFiniteFloat(p, *value);
    film.guides.resize(guides ? size_t(pixels) : 0);
    for (yafaray::guideAccum_t& g : film.guides)
        for (float* value : {&g.ar, &g.ag, &g.ab, &g.nx, &g.ny, &g.nz, &g.pw, &g.pw2, &g.pl, &g.pl2})
            finite &= readFiniteFloat(p, *value);
    if (!finite) return fail("the tile holds sums that are not finite numbers");
    return tile;
}

}  // namespace korvane
