#include "core/workerPool.hpp"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace workers {

namespace {

class Pool {
  public:
    ~Pool() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        wake.notify_all();
        for (std::thread& thread : threads)
            thread.join();
    }

    void run(int32_t participants, int64_t tasks, Task task, void* context) {
        std::lock_guard<std::mutex> jobLock(jobMutex);
        int32_t helpers = participants - 1;
        {
            std::lock_guard<std::mutex> lock(mutex);
            while (int32_t(threads.size()) < helpers) {
                int32_t number = int32_t(threads.size());
                threads.emplace_back([this, number] { work(number); });
            }
            this->task = task;
            this->context = context;
            taskCount = tasks;
            next.store(0, std::memory_order_relaxed);
            active = helpers;
            running = helpers;
            ++generation;
        }
        wake.notify_all();
        takeTasks();
        std::unique_lock<std::mutex> lock(mutex);
        finished.wait(lock, [this] { return running == 0; });
    }

  private:
    void takeTasks() {
        for (int64_t i = next.fetch_add(1); i < taskCount; i = next.fetch_add(1))
            task(context, i);
    }

    void work(int32_t number) {
        uint64_t seen = 0;
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            wake.wait(lock, [&] { return stopping || (generation != seen && number < active); });
            if (stopping) return;
            seen = generation;
            lock.unlock();
            takeTasks();
            lock.lock();
            if (--running == 0) finished.notify_one();
        }
    }

    std::mutex jobMutex; // one job at a time
    std::mutex mutex;
    std::condition_variable wake, finished;
    std::vector<std::thread> threads;
    uint64_t generation = 0;
    int32_t active = 0;
    int32_t running = 0;
    bool stopping = false;
    Task task = nullptr;
    void* context = nullptr;
    int64_t taskCount = 0;
    std::atomic<int64_t> next{0};
};

Pool& pool() {
    static Pool shared;
    return shared;
}

} // namespace

void run(int32_t threads, int64_t tasks, Task task, void* context) {
    if (threads <= 1 || tasks <= 1) {
        for (int64_t i = 0; i < tasks; ++i)
            task(context, i);
        return;
    }
    if (threads > tasks) threads = int32_t(tasks);
    pool().run(threads, tasks, task, context);
}

int32_t hardwareThreads() {
    unsigned count = std::thread::hardware_concurrency();
    return count == 0 ? 1 : int32_t(count);
}

} // namespace workers
