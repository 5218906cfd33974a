#include "renderer/RenderTile.h"

#include <cstring>

#include "foundation/ImageCodecs.h"
#include "renderer/RendererImage.h"

namespace korvane {

namespace {

constexpr uint8_t kMagic[8] = {'K', 'V', 'T', 'I', 'L', 'E', 0, 1};
constexpr size_t kHeaderSize = sizeof kMagic + 6 * 4 + 2 * 8;
constexpr size_t kChecksumSize = 8;

void appendInteger(std::vector<uint8_t>& bytes, uint64_t value, int size) {
    for (int i = 0; i < size; ++i) bytes.push_back(uint8_t(value >> (8 * i)));
}

uint64_t readInteger(const uint8_t* bytes, int size) {
    uint64_t value = 0;
    for (int i = 0; i < size; ++i) value |= uint64_t(bytes[i]) << (8 * i);
    return value;
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

RenderTile cutRenderTile(const RendererImage& image, PixelRegion region) {
    RenderTile tile;
    tile.frameWidth = image.width();
    tile.frameHeight = image.height();
    tile.region = region;
    tile.pixels = Bitmap(region.width(), region.height(), PixelFormat::RGBA8);
    tile.depths.resize(size_t(region.width()) * region.height());
    for (int y = 0; y < region.height(); ++y) {
        std::memcpy(tile.pixels.row(y), image.image().pixel(region.x0, region.y0 + y),
                    tile.pixels.bytesPerRow());
        std::memcpy(&tile.depths[size_t(y) * region.width()],
                    &image.depthMap()[size_t(region.y0 + y) * image.width() + region.x0],
                    size_t(region.width()) * sizeof(float));
    }
    return tile;
}

void pasteRenderTile(const RenderTile& tile, RendererImage& image) {
    const PixelRegion& region = tile.region;
    for (int y = 0; y < region.height(); ++y) {
        std::memcpy(image.bitmapImage().pixel(region.x0, region.y0 + y), tile.pixels.row(y),
                    tile.pixels.bytesPerRow());
        std::memcpy(&image.depthMap()[size_t(region.y0 + y) * image.width() + region.x0],
                    &tile.depths[size_t(y) * region.width()], size_t(region.width()) * sizeof(float));
    }
}

std::vector<uint8_t> encodeRenderTile(const RenderTile& tile) {
    const size_t pixels = size_t(tile.region.width()) * tile.region.height();
    std::vector<uint8_t> bytes(std::begin(kMagic), std::end(kMagic));
    bytes.reserve(kHeaderSize + pixels * 8 + kChecksumSize);
    for (int value :
         {tile.frameWidth, tile.frameHeight, tile.region.x0, tile.region.y0, tile.region.x1, tile.region.y1})
        appendInteger(bytes, uint32_t(value), 4);
    appendInteger(bytes, tile.sceneFingerprint, 8);
    appendInteger(bytes, tile.settingsFingerprint, 8);
    bytes.insert(bytes.end(), tile.pixels.data(), tile.pixels.data() + tile.pixels.sizeInBytes());
    for (float depth : tile.depths) {
        uint32_t bits;
        std::memcpy(&bits, &depth, 4);
        appendInteger(bytes, bits, 4);
    }
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
    if (bytes[sizeof kMagic - 1] != kMagic[sizeof kMagic - 1])
        return fail("tile format version " + std::to_string(bytes[sizeof kMagic - 1]) + " is not supported");
    if (bytes.size() < kHeaderSize + kChecksumSize) return fail("truncated tile");
    RenderTile tile;
    const uint8_t* p = bytes.data() + sizeof kMagic;
    uint32_t fields[6];
    for (uint32_t& field : fields) field = uint32_t(readInteger(p, 4)), p += 4;
    for (uint32_t field : fields)
        if (field > uint32_t(kMaxImageSide))
            return fail("tile sizes beyond " + std::to_string(kMaxImageSide));
    tile.frameWidth = int(fields[0]);
    tile.frameHeight = int(fields[1]);
    tile.region = {int(fields[2]), int(fields[3]), int(fields[4]), int(fields[5])};
    const PixelRegion& r = tile.region;
    if (!(r.x0 < r.x1 && r.y0 < r.y1 && r.x1 <= tile.frameWidth && r.y1 <= tile.frameHeight))
        return fail("the tile's region is empty or outside its frame");
    tile.sceneFingerprint = readInteger(p, 8), p += 8;
    tile.settingsFingerprint = readInteger(p, 8), p += 8;
    const uint64_t pixels = uint64_t(r.width()) * uint64_t(r.height());
    if (pixels > uint64_t(kMaxImagePixels))
        return fail("the tile is larger than " + std::to_string(kMaxImagePixels) + " pixels");
    const uint64_t expected = kHeaderSize + pixels * 8 + kChecksumSize;
    if (bytes.size() < expected) return fail("truncated tile");
    if (bytes.size() > expected) return fail("unexpected bytes after the tile");
    const size_t body = bytes.size() - kChecksumSize;
    if (readInteger(bytes.data() + body, 8) != fingerprintOf(bytes.first(body)))
        return fail("the tile's checksum does not match: the file is damaged");
    tile.pixels = Bitmap(r.width(), r.height(), PixelFormat::RGBA8);
    std::memcpy(tile.pixels.data(), p, tile.pixels.sizeInBytes());
    p += tile.pixels.sizeInBytes();
    tile.depths.resize(size_t(pixels));
    for (float& depth : tile.depths) {
        const uint32_t bits = uint32_t(readInteger(p, 4));
        std::memcpy(&depth, &bits, 4);
        p += 4;
    }
    return tile;
}

}  // namespace korvane
