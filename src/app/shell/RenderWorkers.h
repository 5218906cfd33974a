#pragma once

namespace korvane {

// Aborted renders finish their current step on their worker threads. Before the application (or a
// test program) ends, this waits for every worker to finish, at most `limitMs`, running the main
// thread's event queue meanwhile (a worker may wait for the main thread). Main thread.
void waitForRenderWorkers(int limitMs = 30000);

}  // namespace korvane
