#include "foundation/Random.h"

#include <cstdint>
#include <mutex>

namespace korvane {

namespace {

// A PCG generator (64-bit linear congruential state, xorshift-and-rotate output to 32 bits); the
// top 31 bits of each output are what randomInt hands out.
class Pcg32 {
public:
    explicit Pcg32(uint64_t seed) { restart(seed); }

    // Mixes the seed in between two steps so that nearby seeds do not start on nearby states.
    void restart(uint64_t seed) {
        state_ = 0;
        next();
        state_ += seed;
        next();
    }

    uint32_t next() {
        const uint64_t old = state_;
        state_ = old * kMultiplier + kIncrement;
        const auto shifted = static_cast<uint32_t>(((old >> 18u) ^ old) >> 27u);
        const auto rotation = static_cast<uint32_t>(old >> 59u);
        return (shifted >> rotation) | (shifted << ((32u - rotation) & 31u));
    }

private:
    static constexpr uint64_t kMultiplier = 6364136223846793005ull;
    static constexpr uint64_t kIncrement = 1442695040888963407ull;

    uint64_t state_ = 0;
};

// The C library's rand starts as if srand(1) had been called; so does ours.
constexpr unsigned kInitialSeed = 1;

struct SharedGenerator {
    std::mutex mutex;
    Pcg32 generator{kInitialSeed};
};

SharedGenerator& sharedGenerator() {
    static SharedGenerator shared;
    return shared;
}

}  // namespace

void seedRandom(unsigned seed) {
    SharedGenerator& shared = sharedGenerator();
    std::lock_guard lock(shared.mutex);
    shared.generator.restart(seed);
}

int randomInt() {
    SharedGenerator& shared = sharedGenerator();
    std::lock_guard lock(shared.mutex);
    return static_cast<int>(shared.generator.next() >> 1u);
}

}  // namespace korvane
