#include "foundation/ParallelFor.h"

#include <algorithm>
#include <mutex>

#include <tbb/blocked_range.h>
#include <tbb/info.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

namespace korvane {

namespace {

// Upper bound on a requested thread count: more would only cost memory for thread stacks.
constexpr int kMaxThreadCount = 1024;

// The process-wide arena and the concurrency it will be (or was) created with.
class SharedArena {
public:
    bool setConcurrency(int count) {
        std::lock_guard lock(mutex_);
        if (arena_) return false;
        concurrency_ = count < 1 ? defaultConcurrency() : std::min(count, kMaxThreadCount);
        return true;
    }

    int concurrency() {
        std::lock_guard lock(mutex_);
        return concurrency_;
    }

    // The arena, created with the chosen concurrency on first use; it lives until the process ends.
    tbb::task_arena& arena() {
        std::lock_guard lock(mutex_);
        if (!arena_) {
            arena_ = new tbb::task_arena(concurrency_);
        }
        return *arena_;
    }

private:
    static int defaultConcurrency() { return std::max(1, tbb::info::default_concurrency()); }

    std::mutex mutex_;
    int concurrency_ = defaultConcurrency();
    tbb::task_arena* arena_ = nullptr;
};

SharedArena& sharedArena() {
    // Never destroyed: loops may still run from other static destructors or detached threads.
    static SharedArena* shared = new SharedArena;
    return *shared;
}

}  // namespace

bool setParallelThreadCount(int count) {
    return sharedArena().setConcurrency(count);
}

int parallelThreadCount() {
    return sharedArena().concurrency();
}

void parallelFor(int begin, int end, const std::function<void(int)>& body) {
    if (end <= begin) return;
    sharedArena().arena().execute([&] {
        tbb::parallel_for(tbb::blocked_range<int>(begin, end), [&](const tbb::blocked_range<int>& range) {
            for (int i = range.begin(); i != range.end(); ++i) body(i);
        });
    });
}

void parallelForRows(int height, const std::function<void(int)>& body) {
    parallelFor(0, height, body);
}

void parallelForColumns(int width, const std::function<void(int)>& body) {
    parallelFor(0, width, body);
}

}  // namespace korvane
