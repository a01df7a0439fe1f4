#include "platform/dispatch/ThreadPool.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace dispatch::detail {

namespace {

using SteadyClock = std::chrono::steady_clock;

class Pool;
// The pool whose worker the calling thread is, if any.
thread_local Pool* workerOf = nullptr;

class Pool final : public WorkerPool, public std::enable_shared_from_this<Pool> {
public:
    explicit Pool(Settings settings) : settings_(settings) {}

    void post(PoolPriority priority, std::function<void()> task) override {
        {
            std::lock_guard<std::mutex> hold(lock_);
            const bool wasIdle = !hasTasks();
            tasks_[static_cast<size_t>(priority)].push_back(std::move(task));
            // More work: a thread the system refused may be had now.
            const bool triesAgain = std::exchange(startsFailing_, false);
            growIfNeeded();
            watchBusy(wasIdle || triesAgain);
        }
        work_.notify_one();
    }

    void failThreadStartsForTesting(bool fail) override { failingStarts_.store(fail); }

    int refusedStartsForTesting() override {
        std::lock_guard<std::mutex> hold(lock_);
        return refusedStarts_;
    }

    void willBlock() override {
        std::lock_guard<std::mutex> hold(lock_);
        ++blocked_;
        growIfNeeded();
    }

    void didUnblock() override {
        std::lock_guard<std::mutex> hold(lock_);
        --blocked_;
    }

    int workersWithoutWaits() override {
        std::lock_guard<std::mutex> hold(lock_);
        return std::max(settings_.workers, threads_);
    }

private:
    bool hasTasks() const {
        return std::any_of(tasks_.begin(), tasks_.end(), [](const auto& q) { return !q.empty(); });
    }

    // Work waits, no worker is free to take it.
    bool starved() const { return idle_ == 0 && hasTasks(); }

    // With the lock held: a thread running `run`, or false when the system
    // will not start one (no memory, no threads left under its limits). The
    // pool then goes on with the workers it has; a refusal is logged once,
    // until a thread starts again, and nothing is tried again before more
    // work comes.
    bool startThread(void (Pool::*run)()) {
        try {
            if (failingStarts_.load()) {
                throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again), "thread");
            }
            std::thread([self = shared_from_this(), run] { (self.get()->*run)(); }).detach();
            refusalLogged_ = false;
            return true;
        } catch (const std::exception& e) {
            // std::system_error as a rule; std::bad_alloc for the thread's own state.
            startsFailing_ = true;
            ++refusedStarts_;
            if (!std::exchange(refusalLogged_, true)) {
                std::fprintf(stderr,
                             "thread pool: no thread could be started (%s): the pool goes on with its %d workers and "
                             "tries again as more work comes\n",
                             e.what(), threads_);
                std::fflush(stderr);
            }
            return false;
        }
    }

    // With the lock held.
    void startWorker() {
        if (!startThread(&Pool::runWorker)) return;
        ++threads_;
        lastTaken_ = SteadyClock::now();
    }

    // With the lock held: starts a worker when work waits and too few run.
    void growIfNeeded() {
        if (!starved() || startsFailing_) return;
        if (threads_ - blocked_ >= settings_.workers || threads_ >= settings_.hardCap) return;
        startWorker();
    }

    // With the lock held: work waits; the watcher sees whether the workers
    // stay too busy to take it. Only work arriving at empty queues wakes it:
    // otherwise it already waits until the workers have been busy a while,
    // which more work does not move.
    void watchBusy(bool queuesWereEmpty) {
        if (!watching_ && !startsFailing_) watching_ = startThread(&Pool::runWatcher);
        if (queuesWereEmpty) busy_.notify_one();
    }

    void runWorker() {
        workerOf = this;
        std::unique_lock<std::mutex> hold(lock_);
        for (;;) {
            auto queue = std::find_if(tasks_.begin(), tasks_.end(), [](const auto& q) { return !q.empty(); });
            if (queue == tasks_.end()) {
                ++idle_;
                work_.wait(hold);
                --idle_;
                continue;
            }
            std::function<void()> task = std::move(queue->front());
            queue->pop_front();
            lastTaken_ = SteadyClock::now();
            hold.unlock();
            task();
            task = nullptr;
            hold.lock();
        }
    }

    // Starts a worker for work that waited while no worker took any for a
    // while: those running are stuck, announced or not.
    void runWatcher() {
        std::unique_lock<std::mutex> hold(lock_);
        for (;;) {
            if (!hasTasks()) {
                busy_.wait(hold);
                continue;
            }
            // A worker free now may be taken by other work before this
            // work's turn: looked at again within the while.
            const auto due = lastTaken_ + settings_.busyWhile;
            if (startsFailing_) {
                // Refused: tried again when more work comes (post wakes it).
                busy_.wait(hold);
                continue;
            }
            if (!starved() || threads_ >= settings_.hardCap || SteadyClock::now() < due) {
                busy_.wait_until(hold, std::max(due, SteadyClock::now() + settings_.busyWhile / 2));
                continue;
            }
            startWorker();
        }
    }

    const Settings settings_;
    std::mutex lock_;
    std::condition_variable work_;
    std::condition_variable busy_;
    std::array<std::deque<std::function<void()>>, 4> tasks_;
    int threads_ = 0;
    int idle_ = 0;
    int blocked_ = 0;
    // When a worker last took work (or started).
    SteadyClock::time_point lastTaken_ = SteadyClock::now();
    bool watching_ = false;
    // The last thread asked for was refused: none is asked for again until
    // more work comes.
    bool startsFailing_ = false;
    // The refusal has been logged since a thread last started.
    bool refusalLogged_ = false;
    int refusedStarts_ = 0;
    std::atomic<bool> failingStarts_{false};
};

WorkerPool& processPool() {
    static auto* pool = new std::shared_ptr<WorkerPool>(WorkerPool::make(
        {.workers = ThreadPool::workersAtStart(), .hardCap = ThreadPool::HardCap}));
    return **pool;
}

}  // namespace

std::shared_ptr<WorkerPool> WorkerPool::make(Settings settings) { return std::make_shared<Pool>(settings); }

int ThreadPool::workersAtStart() { return std::max(4, static_cast<int>(std::thread::hardware_concurrency())); }

void ThreadPool::post(PoolPriority priority, std::function<void()> task) { processPool().post(priority, std::move(task)); }

void ThreadPool::willBlock() {
    if (workerOf) workerOf->willBlock();
}

void ThreadPool::didUnblock() {
    if (workerOf) workerOf->didUnblock();
}

int ThreadPool::workersWithoutWaits() { return processPool().workersWithoutWaits(); }

}  // namespace dispatch::detail
