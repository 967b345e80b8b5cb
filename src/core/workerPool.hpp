// A persistent pool of worker threads for the frame passes: the threads are made once,
// when a job first asks for them, and wait between jobs. A job is a number of tasks
// that the calling thread and the workers take one by one until none is left; run
// returns when all are done. Jobs run one at a time.
#pragma once

#include <cstdint>

namespace workers {

using Task = void (*)(void* context, int64_t task);

// Runs task(context, 0) .. task(context, tasks - 1) on `threads` threads (at most 64),
// the calling one included (1 or less: all on the calling thread). Where the system
// refuses to start a thread, on those that run, down to the calling thread alone.
void run(int32_t threads, int64_t tasks, Task task, void* context);

// The machine's hardware concurrency (at least 1).
int32_t hardwareThreads();

} // namespace workers
