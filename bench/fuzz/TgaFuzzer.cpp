// libFuzzer target: arbitrary bytes into decodeTga. A crash, a sanitizer report, or a decoded image
// that does not survive its own re-encoding is a finding.
//
// With KORVANE_FUZZ_WRITE_SEEDS=<directory> the binary writes seed files of every kind it can encode
// (grey, 24- and 32-bit colour; raw and run-length; both row origins) there and exits:
//   KORVANE_FUZZ_WRITE_SEEDS=bench/fuzz/corpus-tga build-fuzz/bench/fuzz/tga_fuzzer
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/TgaCodec.h"

namespace {

using namespace korvane;

void writeSeeds(const std::string& directory) {
    int n = 0;
    for (PixelFormat format : {PixelFormat::Gray8, PixelFormat::RGB8, PixelFormat::RGBA8}) {
        Bitmap b(9, 5, format);
        for (size_t i = 0; i < b.sizeInBytes(); ++i) b.data()[i] = static_cast<uint8_t>(i / 7 * 37);
        for (bool runLength : {false, true}) {
            for (bool topDown : {false, true}) {
                const std::vector<uint8_t> bytes = encodeTga(b, {runLength, topDown});
                const std::string path = directory + "/seed-" + std::to_string(n++) + ".tga";
                if (FILE* f = std::fopen(path.c_str(), "wb")) {
                    std::fwrite(bytes.data(), 1, bytes.size(), f);
                    std::fclose(f);
                }
            }
        }
    }
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
    const ImageDecodeResult decoded = decodeTga({data, size});
    if (!decoded.bitmap) return 0;
    const ImageDecodeResult again = decodeTga(encodeTga(*decoded.bitmap));
    if (!again.bitmap || !(*again.bitmap == *decoded.bitmap)) __builtin_trap();
    return 0;
}
