#pragma once

namespace korvane {

// Bounds the nesting of shader and material graphs while they are walked. An archive may describe a
// cycle (a layer shader that is its own input, a blend material inside itself); the walk then stops
// at a depth no real graph reaches instead of exhausting the stack. One counter per thread, so
// concurrent walks on different threads do not disturb each other.
class RecursionGuard {
public:
    static constexpr int kMaxDepth = 64;

    RecursionGuard() { ++depth(); }
    ~RecursionGuard() { --depth(); }
    RecursionGuard(const RecursionGuard&) = delete;
    RecursionGuard& operator=(const RecursionGuard&) = delete;

    // True when this level lies beyond the bound: the caller adds nothing.
    bool tooDeep() const { return depth() > kMaxDepth; }

private:
    static int& depth() {
        thread_local int value = 0;
        return value;
    }
};

}  // namespace korvane
