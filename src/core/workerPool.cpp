// The pool hands a job to its workers through one atomic word: a job is published by
// writing its fields, opening it (`inside` counts the threads in the job, the caller
// first) and then storing the next generation number together with the number of
// workers asked to help (its low 8 bits). A worker joins only while the job is open,
// takes tasks until none is left and leaves; the caller closes the job once it is the
// only one inside, so that a worker that wakes late finds nothing to do and never
// holds up the frame. Workers
// spin for a short while before they sleep on the generation, so that jobs that follow
// each other closely (the tiles of consecutive frames) start without a wake-up.
//
// A child made by fork() has none of its parent's workers (jobs never span a fork: the
// caller waits for its job to end); it forgets their handles, which it can neither
// join nor detach, and starts workers of its own when it needs them.
#include "core/workerPool.hpp"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace workers {

namespace {

void relax() {
#if defined(__x86_64__) || defined(__i386__)
    _mm_pause();
#else
    std::this_thread::yield();
#endif
}

constexpr int SPINS = 4000;
// The count of helpers travels in 8 bits of the job word.
constexpr int32_t MAX_THREADS = 64;

class Pool {
  public:
    Pool();
    ~Pool() {
        stopping.store(true);
        generation.fetch_add(256);
        generation.notify_all();
        for (std::thread& thread : threads)
            thread.join();
    }

    // In a child of fork(): the threads stayed with the parent. Their handles move into
    // storage that is never destroyed (destroying a handle of a thread never joined
    // ends the process); a later fork's child moves its own over them.
    void forgetThreads() noexcept {
        alignas(std::vector<std::thread>) static unsigned char forgotten[sizeof threads];
        new (forgotten) std::vector<std::thread>(std::move(threads));
        threads.clear();
        started.store(0);
    }

    void run(int32_t participants, int64_t tasks, Task task, void* context) {
        std::lock_guard<std::mutex> jobLock(jobMutex);
        bool starting = int32_t(threads.size()) < participants - 1;
        int32_t helpers = std::min(participants - 1, startWorkers(participants - 1));
        this->task = task;
        this->context = context;
        taskCount = tasks;
        next.store(0, std::memory_order_relaxed);
        inside.store(1, std::memory_order_release);
        uint64_t counter = (generation.load(std::memory_order_relaxed) >> 8) + 1;
        generation.store(counter << 8 | uint64_t(helpers), std::memory_order_release);
        generation.notify_all();
        takeTasks();
        for (int spin = 0;; ++spin) {
            int64_t alone = 1;
            if (inside.compare_exchange_weak(alone, -1, std::memory_order_acq_rel)) break;
            if (spin < SPINS) {
                relax();
            } else if (alone != 1) {
                inside.wait(alone, std::memory_order_acquire);
            }
        }
        if (starting) awaitStarted();
    }

  private:
    // Makes workers until there are `wanted`, as far as the system lets it (an address
    // space or a thread count at its limit refuses a new thread): the job then runs on
    // those there are, down to the calling thread alone, which draws the same. Returns
    // how many there are.
    int32_t startWorkers(int32_t wanted) {
        while (int32_t(threads.size()) < wanted) {
            int32_t number = int32_t(threads.size());
            try {
                threads.emplace_back(
                    [this, number, seen = generation.load()] { work(number, seen); });
            } catch (const std::system_error&) {
                break;
            } catch (const std::bad_alloc&) {
                break;
            }
        }
        return int32_t(threads.size());
    }

    // Waits until every worker made so far runs its loop. A new thread's start-up may
    // take locks of the runtime (an instrumented allocator's, for one) that a fork()
    // would leave locked in the child forever, so a job that starts threads ends only
    // once they are past it.
    void awaitStarted() {
        for (uint32_t now = started.load(std::memory_order_acquire); now < threads.size();
             now = started.load(std::memory_order_acquire))
            started.wait(now, std::memory_order_acquire);
    }

    void takeTasks() {
        for (int64_t i = next.fetch_add(1); i < taskCount; i = next.fetch_add(1))
            task(context, i);
    }

    void work(int32_t number, uint64_t seen) {
        started.fetch_add(1, std::memory_order_release);
        started.notify_all();
        for (;;) {
            uint64_t now = generation.load(std::memory_order_acquire);
            for (int spin = 0; now == seen && spin < SPINS; ++spin) {
                relax();
                now = generation.load(std::memory_order_acquire);
            }
            if (now == seen) {
                generation.wait(seen, std::memory_order_acquire);
                continue;
            }
            seen = now;
            if (stopping.load()) return;
            if (number >= int32_t(now & 255)) continue;
            int64_t count = inside.load(std::memory_order_acquire);
            while (count >= 1 &&
                   !inside.compare_exchange_weak(count, count + 1, std::memory_order_acq_rel)) {
            }
            if (count < 1) continue; // the job is over
            takeTasks();
            if (inside.fetch_sub(1, std::memory_order_acq_rel) == 2) inside.notify_one();
        }
    }

    std::mutex jobMutex; // one job at a time
    std::vector<std::thread> threads;
    std::atomic<uint64_t> generation{0};
    std::atomic<int64_t> inside{-1}; // threads in the open job, -1 when closed
    std::atomic<bool> stopping{false};
    std::atomic<uint32_t> started{0}; // workers that have reached their loop
    Task task = nullptr;
    void* context = nullptr;
    int64_t taskCount = 0;
    std::atomic<int64_t> next{0};
};

Pool& pool() {
    static Pool shared;
    return shared;
}

Pool::Pool() {
    pthread_atfork(nullptr, nullptr, [] { pool().forgetThreads(); });
}

} // namespace

void run(int32_t threads, int64_t tasks, Task task, void* context) {
    if (threads <= 1 || tasks <= 1) {
        for (int64_t i = 0; i < tasks; ++i)
            task(context, i);
        return;
    }
    if (threads > tasks) threads = int32_t(tasks);
    if (threads > MAX_THREADS) threads = MAX_THREADS;
    pool().run(threads, tasks, task, context);
}

int32_t hardwareThreads() {
    unsigned count = std::thread::hardware_concurrency();
    return count == 0 ? 1 : int32_t(count);
}

} // namespace workers
