#pragma once
// A run loop per thread that wants one; the main thread's also drains the
// main queue. A loop runs in one mode at a time and services only the timers
// and blocks added for that mode (the main queue's blocks in every mode).
//
// On mock time the main run loop does not wait for the clock: running it
// until a date moves the clock there, firing what falls due in time order.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/dispatch/Queue.h"
#include "platform/dispatch/RunLoopMode.h"
#include "platform/dispatch/Time.h"

namespace dispatch {

class RunLoopTimer;

namespace detail {
class MainQueue;
class PerformRequests;
class TimeDriver;
}  // namespace detail

class RunLoop : public std::enable_shared_from_this<RunLoop> {
public:
    static RunLoop& main();
    // The calling thread's run loop, made on first use.
    static RunLoop& current();

    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;
    ~RunLoop();

    // Runs in the default mode until stop(). On mock time the main loop also
    // returns once nothing at all is left to run or fire.
    void run();
    // Runs in `mode` until the clock reaches `date` (seconds on the clock's
    // scale, Forever for no end) or stop() is called.
    void runUntil(double date, RunLoopMode mode = RunLoopMode::Default);
    void runUntil(TimeTicks date, RunLoopMode mode = RunLoopMode::Default);
    // One pass in `mode`: the blocks posted before the call, then the timers
    // due now. Never waits. True when anything ran.
    bool runOnce(RunLoopMode mode = RunLoopMode::Default);
    // Ends the innermost run in progress; nothing when the loop is not running.
    void stop();

    // Runs `block` on this loop's thread the next time it runs in one of
    // `modes`. May be called from any thread.
    void performBlock(Block block, RunLoopModes modes = {RunLoopMode::Common});
    // Fires `timer` while this loop runs in `mode`; add again for more modes.
    // A timer belongs to one run loop.
    void addTimer(const std::shared_ptr<RunLoopTimer>& timer, RunLoopMode mode);

    // The mode of the innermost run in progress.
    std::optional<RunLoopMode> currentMode() const;
    bool isMain() const { return isMain_; }

private:
    friend class RunLoopTimer;
    friend class detail::MainQueue;
    friend class detail::PerformRequests;
    friend class detail::TimeDriver;

    struct Item {
        uint64_t seq;
        Block block;
        unsigned modes;
        bool mainQueue;
    };
    struct PerformRequest {
        const void* target;
        std::string selector;
        std::shared_ptr<RunLoopTimer> timer;
    };

    explicit RunLoop(bool isMain);

    void post(Block block, unsigned modes, bool mainQueue);
    void enqueueMainQueueBlock(Block block);
    void checkThread(const char* operation) const;
    void runItem(Item& item);
    // Sleeps until there is work in `mode`, stop() or `date`. True when the
    // waker's busy unit is now the caller's to give back after its pass.
    bool waitForWork(unsigned mode, TimeTicks date);
    bool hasWorkLocked(unsigned mode) const;
    void wakeLocked();
    void wakeForTimer();
    void removeTimer(const RunLoopTimer* timer);
    // Delayed performs (PerformRequest.h): one-shot timers known by target
    // and selector.
    void addPerformRequest(const void* target, std::string selector, const std::shared_ptr<RunLoopTimer>& timer);
    // Cancels the requests of `target` (and `selector`, when given).
    void cancelPerformRequests(const void* target, const std::string* selector);
    void forgetPerformRequest(const RunLoopTimer* timer);
    // Drops every block, timer and request (the task environment's teardown).
    void discardAll();

    const bool isMain_;
    const std::thread::id owner_;
    mutable std::mutex lock_;
    std::condition_variable wake_;
    std::deque<Item> items_;
    uint64_t nextSeq_ = 0;
    std::vector<std::shared_ptr<RunLoopTimer>> timers_;
    std::vector<PerformRequest> performRequests_;
    bool mainQueueRunning_ = false;
    std::vector<RunLoopMode> modes_;
    int runDepth_ = 0;
    bool stopRequested_ = false;
    bool waiting_ = false;
    bool woken_ = false;
};

}  // namespace dispatch
