#include "foundation/UniqueString.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <random>

namespace korvane {

namespace {

// One generator for the process, seeded once from the system's entropy source. Eight words of entropy
// fill far more of mt19937_64's state than a single 32-bit seed would.
class UniqueBitsSource {
public:
    UniqueBitsSource() {
        std::random_device device;
        std::array<std::seed_seq::result_type, 8> entropy{};
        for (auto& word : entropy) word = device();
        std::seed_seq sequence(entropy.begin(), entropy.end());
        engine_.seed(sequence);
    }

    // 128 fresh bits as two words.
    std::array<uint64_t, 2> next() {
        std::lock_guard lock(mutex_);
        return {engine_(), engine_()};
    }

private:
    std::mutex mutex_;
    std::mt19937_64 engine_;
};

// Version 4 (random) in the top nibble of the third group, variant 10xx in the fourth group.
constexpr uint64_t kVersionMask = 0xFFFF'FFFF'FFFF'0FFFull;
constexpr uint64_t kVersion4 = 0x0000'0000'0000'4000ull;
constexpr uint64_t kVariantMask = 0x3FFF'FFFF'FFFF'FFFFull;
constexpr uint64_t kVariantRfc4122 = 0x8000'0000'0000'0000ull;

}  // namespace

std::string uniqueString() {
    static UniqueBitsSource source;
    auto [high, low] = source.next();
    high = (high & kVersionMask) | kVersion4;
    low = (low & kVariantMask) | kVariantRfc4122;

    static constexpr char kHexDigits[] = "0123456789ABCDEF";
    std::string result;
    result.reserve(36);
    const auto appendHex = [&result](uint64_t word, int firstNibble, int nibbleCount) {
        for (int i = firstNibble; i < firstNibble + nibbleCount; ++i) {
            result.push_back(kHexDigits[(word >> (60 - 4 * i)) & 0xF]);
        }
    };
    appendHex(high, 0, 8);
    result.push_back('-');
    appendHex(high, 8, 4);
    result.push_back('-');
    appendHex(high, 12, 4);
    result.push_back('-');
    appendHex(low, 0, 4);
    result.push_back('-');
    appendHex(low, 4, 12);
    return result;
}

}  // namespace korvane
