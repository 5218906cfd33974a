#pragma once

namespace korvane {

// The process-wide generator with srand/rand semantics, for generators whose results must be
// reproducible from a seed (terrain generators, noise tables). The algorithm is our own fixed one, so
// a seed yields the same sequence on every platform and compiler. Before any seedRandom call the
// generator behaves as if seeded with 1. All calls share one state behind a mutex: sequences stay
// reproducible only while a single thread draws from it.

// Largest value randomInt returns.
constexpr int kRandomMax = 2147483647;

// Restarts the process-wide sequence from seed. Any thread.
void seedRandom(unsigned seed);

// Next value of the process-wide sequence, uniformly in 0..kRandomMax. Returns a value; any thread.
int randomInt();

}  // namespace korvane
