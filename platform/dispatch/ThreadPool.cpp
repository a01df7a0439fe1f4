#include "platform/dispatch/ThreadPool.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace dispatch::detail {

namespace {

struct Pool {
    std::mutex lock;
    std::condition_variable work;
    std::array<std::deque<std::function<void()>>, 4> tasks;
    int threads = 0;
    int idle = 0;
    int blocked = 0;
    int target = std::max(4, static_cast<int>(std::thread::hardware_concurrency()));

    bool hasTasks() const {
        return std::any_of(tasks.begin(), tasks.end(), [](const auto& q) { return !q.empty(); });
    }

    // With the lock held: starts a worker when work waits and too few run.
    void growIfNeeded() {
        if (idle > 0 || !hasTasks()) return;
        if (threads - blocked >= target || threads >= ThreadPool::HardCap) return;
        ++threads;
        std::thread([this] { runWorker(); }).detach();
    }

    void runWorker();
};

Pool& pool() {
    static Pool* p = new Pool;  // workers run until the process ends
    return *p;
}

thread_local bool isWorker = false;

void Pool::runWorker() {
    isWorker = true;
    std::unique_lock<std::mutex> hold(lock);
    for (;;) {
        auto queue = std::find_if(tasks.begin(), tasks.end(), [](const auto& q) { return !q.empty(); });
        if (queue == tasks.end()) {
            ++idle;
            work.wait(hold);
            --idle;
            continue;
        }
        std::function<void()> task = std::move(queue->front());
        queue->pop_front();
        hold.unlock();
        task();
        task = nullptr;
        hold.lock();
    }
}

}  // namespace

void ThreadPool::post(PoolPriority priority, std::function<void()> task) {
    Pool& p = pool();
    {
        std::lock_guard<std::mutex> hold(p.lock);
        p.tasks[static_cast<size_t>(priority)].push_back(std::move(task));
        p.growIfNeeded();
    }
    p.work.notify_one();
}

void ThreadPool::willBlock() {
    if (!isWorker) return;
    Pool& p = pool();
    std::lock_guard<std::mutex> hold(p.lock);
    ++p.blocked;
    p.growIfNeeded();
}

void ThreadPool::didUnblock() {
    if (!isWorker) return;
    Pool& p = pool();
    std::lock_guard<std::mutex> hold(p.lock);
    --p.blocked;
}

int ThreadPool::workersWithoutWaits() {
    Pool& p = pool();
    std::lock_guard<std::mutex> hold(p.lock);
    return std::max(p.target, p.threads);
}

}  // namespace dispatch::detail
