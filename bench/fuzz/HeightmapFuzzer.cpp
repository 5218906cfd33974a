// libFuzzer target: arbitrary bytes into the heightmap import's decoder (PNG, TIFF and JPEG to
// 16-bit grey). A crash, a sanitizer report, an allocation beyond the decode budget (libFuzzer's
// -malloc_limit_mb, set by bench/run-fuzz.sh) or a heightmap that does not survive a PNG round trip
// is a finding.
//
// With KORVANE_FUZZ_WRITE_SEEDS=<directory> the binary writes seed files there and exits: PNG of
// every pixel format, TIFF of 8 and 16 bits, and hand-laid TIFFs of 12-bit and 32-bit float grey.
//   KORVANE_FUZZ_WRITE_SEEDS=bench/fuzz/corpus-heightmap build-fuzz/bench/fuzz/heightmap_fuzzer
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/ImageCodecs.h"

namespace {

using namespace korvane;

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
}

// An uncompressed one-strip little-endian grey TIFF of the given sample layout.
std::vector<uint8_t> greyTiff(uint32_t width, uint32_t height, uint16_t bits, uint16_t format,
                              const std::vector<uint8_t>& strip) {
    std::vector<uint8_t> out = {'I', 'I', 42, 0, 8, 0, 0, 0};
    auto put = [&](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(v >> (8 * i)));
    };
    const uint32_t entries[][3] = {{256, 4, width}, {257, 4, height}, {258, 3, bits}, {259, 3, 1},
                                   {262, 3, 1},     {273, 4, 8 + 2 + 10 * 12 + 4},  {277, 3, 1},
                                   {278, 4, height}, {279, 4, uint32_t(strip.size())}, {339, 3, format}};
    put(10, 2);
    for (const auto& e : entries) {
        put(e[0], 2);
        put(e[1], 2);
        put(1, 4);
        put(e[2], 4);
    }
    put(0, 4);
    out.insert(out.end(), strip.begin(), strip.end());
    return out;
}

void writeSeeds(const std::string& directory) {
    int n = 0;
    auto seed = [&](const std::vector<uint8_t>& bytes, const char* extension) {
        writeFile(directory + "/seed-" + std::to_string(n++) + extension, bytes);
    };
    for (PixelFormat format : {PixelFormat::Gray8, PixelFormat::Gray16, PixelFormat::RGB8, PixelFormat::RGBA8}) {
        Bitmap b(7, 5, format);
        for (size_t i = 0; i < b.sizeInBytes(); ++i) b.data()[i] = static_cast<uint8_t>(i * 29);
        seed(encodePng(b), ".png");
        seed(encodeTiff(b), ".tif");
    }
    std::vector<uint8_t> twelve(6 * 3 * 3 / 2);
    for (size_t i = 0; i < twelve.size(); ++i) twelve[i] = static_cast<uint8_t>(i * 53);
    seed(greyTiff(6, 3, 12, 1, twelve), ".tif");
    std::vector<uint8_t> floats(5 * 2 * 4);
    const float values[] = {-1.f, 0.f, 0.5f, 2.f, 1e30f, 3.f, 0.25f, -7.f, 1.f, 0.125f};
    std::memcpy(floats.data(), values, floats.size());
    seed(greyTiff(5, 2, 32, 3, floats), ".tif");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (const char* directory = std::getenv("KORVANE_FUZZ_WRITE_SEEDS")) {
        writeSeeds(directory);
        std::exit(0);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ImageDecodeResult decoded = decodeImageAsGray16({data, size});
    (void)claimedImageSize({data, size});
    if (!decoded.bitmap) return 0;
    if (decoded.bitmap->format() != PixelFormat::Gray16) __builtin_trap();
    const ImageDecodeResult again = decodeImageAsGray16(encodePng(*decoded.bitmap));
    if (!again.bitmap || !(*again.bitmap == *decoded.bitmap)) __builtin_trap();
    return 0;
}
