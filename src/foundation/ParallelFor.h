#pragma once

#include <functional>

namespace korvane {

// Parallel loops over index ranges. Every caller (renderer tiles, image filters, effects) shares one
// process-wide TBB task arena, so concurrent loops split one pool of threads instead of
// oversubscribing the machine. The loops block until every index has run; each index runs exactly
// once, on the calling thread or a thread of the arena, in no particular order. A body may itself
// call parallelFor (the nested loop joins the same arena).

// Sets the arena's concurrency (count < 1 means one thread per hardware thread); effective only before
// the first loop runs. Returns false and changes nothing once the arena is in use. Any thread.
bool setParallelThreadCount(int count);

// The number of threads the shared arena runs loops on (at most); creates nothing. Any thread.
int parallelThreadCount();

// Calls body(i) for every i in [begin, end) on the shared arena and returns when all calls are done;
// an empty or reversed range does nothing. body must be safe to call concurrently. Any thread.
void parallelFor(int begin, int end, const std::function<void(int)>& body);

// parallelFor over the rows 0..height-1 of an image or grid. Any thread.
void parallelForRows(int height, const std::function<void(int)>& body);

// parallelFor over the columns 0..width-1 of an image or grid. Any thread.
void parallelForColumns(int width, const std::function<void(int)>& body);

}  // namespace korvane
