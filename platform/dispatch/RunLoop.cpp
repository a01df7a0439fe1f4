#include "platform/dispatch/RunLoop.h"

#include <algorithm>
#include <tuple>

#include "platform/dispatch/Activity.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/MainThread.h"
#include "platform/dispatch/QueueContext.h"
#include "platform/dispatch/RunLoopTimer.h"
#include "platform/dispatch/ThreadPool.h"
#include "platform/dispatch/TimeDriver.h"
#include "platform/dispatch/Timeline.h"
#include "platform/runtime/Exception.h"

namespace dispatch {

using detail::Activity;
using detail::modeMask;
using detail::Timeline;

namespace {

unsigned runMode(RunLoopMode mode, const char* operation) {
    if (mode == RunLoopMode::Common) {
        ns::Exception::raise(ns::InvalidArgumentException,
                             std::string(operation) + ": a run loop runs in one mode; the common modes are for adding");
    }
    return modeMask(mode);
}

}  // namespace

RunLoop& RunLoop::main() {
    static std::shared_ptr<RunLoop>* loop = new std::shared_ptr<RunLoop>(new RunLoop(true));
    return **loop;
}

RunLoop& RunLoop::current() {
    if (isMainThread()) return main();
    thread_local std::shared_ptr<RunLoop> loop(new RunLoop(false));
    return *loop;
}

RunLoop::RunLoop(bool isMain) : isMain_(isMain), owner_(std::this_thread::get_id()) {}

RunLoop::~RunLoop() {
    if (!isMain_) {
        for (size_t i = 0; i < items_.size(); ++i) Activity::removeBusy();
    }
    std::vector<std::shared_ptr<RunLoopTimer>> timers;
    timers.swap(timers_);
    for (auto& timer : timers) timer->invalidate();
}

void RunLoop::checkThread(const char* operation) const {
    bool own = isMain_ ? isMainThread() : std::this_thread::get_id() == owner_;
    if (!own) {
        ns::Exception::raise(ns::InternalInconsistencyException,
                             std::string(operation) + ": a run loop runs only on its own thread");
    }
}

// ---- Posting ----

void RunLoop::post(Block block, unsigned modes, bool mainQueue) {
    if (!block) ns::Exception::raise(ns::InvalidArgumentException, "performBlock: nil block");
    if (modes == 0) return;
    if (!isMain_) Activity::addBusy();
    {
        std::lock_guard<std::mutex> hold(lock_);
        items_.push_back(Item{nextSeq_++, std::move(block), modes, mainQueue});
        wakeLocked();
    }
    if (isMain_) Activity::notify();
}

void RunLoop::performBlock(Block block, RunLoopModes modes) { post(std::move(block), modeMask(modes), false); }

void RunLoop::enqueueMainQueueBlock(Block block) { post(std::move(block), modeMask(RunLoopMode::Common), true); }

void RunLoop::wakeLocked() {
    if (waiting_ && !woken_) {
        woken_ = true;
        if (!isMain_) Activity::addBusy();
    }
    wake_.notify_all();
}

void RunLoop::wakeForTimer() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        wakeLocked();
    }
    if (isMain_) Activity::notify();
}

// ---- Running ----

bool RunLoop::runOnce(RunLoopMode mode) {
    checkThread("runOnce");
    unsigned m = runMode(mode, "runOnce");
    uint64_t limit;
    {
        std::lock_guard<std::mutex> hold(lock_);
        modes_.push_back(mode);
        limit = nextSeq_;
    }
    struct PopMode {
        RunLoop* loop;
        ~PopMode() {
            std::lock_guard<std::mutex> hold(loop->lock_);
            loop->modes_.pop_back();
        }
    } popMode{this};

    bool ran = false;
    for (;;) {
        Item item;
        bool found = false;
        {
            std::lock_guard<std::mutex> hold(lock_);
            for (auto it = items_.begin(); it != items_.end() && it->seq < limit; ++it) {
                if (!(it->modes & m) || (it->mainQueue && mainQueueRunning_)) continue;
                item = std::move(*it);
                items_.erase(it);
                if (item.mainQueue) mainQueueRunning_ = true;
                found = true;
                break;
            }
        }
        if (!found) break;
        ran = true;
        runItem(item);
    }

    TimeTicks now = Clock::nowTicks();
    std::vector<std::tuple<TimeTicks, uint64_t, std::shared_ptr<RunLoopTimer>>> due;
    {
        std::lock_guard<std::mutex> hold(lock_);
        std::erase_if(timers_, [](const auto& timer) { return !timer->isValid(); });
        for (auto& timer : timers_) {
            if (timer->isDue(m, now)) due.emplace_back(timer->fireTime(), timer->serial(), timer);
        }
    }
    std::sort(due.begin(), due.end(),
              [](const auto& a, const auto& b) { return std::tie(std::get<0>(a), std::get<1>(a)) < std::tie(std::get<0>(b), std::get<1>(b)); });
    for (auto& entry : due) {
        RunLoopTimer& timer = *std::get<2>(entry);
        auto handler = timer.beginFire(m, now);
        if (!handler) continue;
        ran = true;
        struct EndFire {
            RunLoopTimer& timer;
            ~EndFire() { timer.endFire(Clock::nowTicks()); }
        } endFire{timer};
        (*handler)(timer);
    }
    return ran;
}

void RunLoop::runItem(Item& item) {
    if (item.mainQueue) {
        struct Done {
            RunLoop* loop;
            ~Done() {
                std::lock_guard<std::mutex> hold(loop->lock_);
                loop->mainQueueRunning_ = false;
            }
        } done{this};
        QueueRef queue = mainQueue();
        detail::QueueScope scope(queue.get());
        item.block();
        item.block = nullptr;
        return;
    }
    if (isMain_) {
        item.block();
        item.block = nullptr;
        return;
    }
    // A block posted to a background loop counts as busy until it has run.
    if (detail::threadCountedBusy()) {
        Activity::removeBusy();
        item.block();
        item.block = nullptr;
        return;
    }
    struct GiveBack {
        ~GiveBack() { Activity::removeBusy(); }
    } giveBack;
    detail::CountedScope counted;
    item.block();
    item.block = nullptr;
}

bool RunLoop::hasWorkLocked(unsigned mode) const {
    if (stopRequested_) return true;
    for (const Item& item : items_) {
        if ((item.modes & mode) && !(item.mainQueue && mainQueueRunning_)) return true;
    }
    TimeTicks now = Clock::nowTicks();
    return std::any_of(timers_.begin(), timers_.end(), [&](const auto& t) { return t->isDue(mode, now); });
}

bool RunLoop::waitForWork(unsigned mode, TimeTicks date) {
    Timeline::EntryId deadline = 0;
    if (!date.isMax()) {
        std::weak_ptr<RunLoop> weak = weak_from_this();
        deadline = Timeline::add(
            date,
            [weak] {
                if (auto loop = weak.lock()) loop->wakeForTimer();
            },
            true);
    }
    bool credit = false;
    {
        std::unique_lock<std::mutex> hold(lock_);
        if (!hasWorkLocked(mode) && Clock::nowTicks() < date) {
            bool released = !isMain_ && detail::threadCountedBusy();
            if (released) Activity::removeBusy();
            waiting_ = true;
            woken_ = false;
            detail::ThreadPool::willBlock();
            wake_.wait(hold, [this] { return woken_; });
            detail::ThreadPool::didUnblock();
            waiting_ = false;
            credit = !isMain_ && !released;
        }
    }
    Timeline::cancel(deadline);
    return credit;
}

void RunLoop::runUntil(double date, RunLoopMode mode) { runUntil(TimeTicks::fromSeconds(date), mode); }

void RunLoop::runUntil(TimeTicks date, RunLoopMode mode) {
    checkThread("runUntil");
    unsigned m = runMode(mode, "runUntil");
    {
        std::lock_guard<std::mutex> hold(lock_);
        ++runDepth_;
    }
    struct Exit {
        RunLoop* loop;
        ~Exit() {
            std::lock_guard<std::mutex> hold(loop->lock_);
            --loop->runDepth_;
            loop->stopRequested_ = false;
        }
    } exit{this};
    auto stopped = [this] {
        std::lock_guard<std::mutex> hold(lock_);
        return stopRequested_;
    };

    if (isMain_ && detail::TimeDriver::isDriverThread()) {
        detail::TimeDriver::driveUntil(date, true, mode, stopped);
        return;
    }
    bool credit = false;
    for (;;) {
        runOnce(mode);
        if (credit) {
            Activity::removeBusy();
            credit = false;
        }
        if (stopped() || Clock::nowTicks() >= date) break;
        credit = waitForWork(m, date);
    }
    if (credit) Activity::removeBusy();
}

void RunLoop::run() { runUntil(TimeTicks::max(), RunLoopMode::Default); }

void RunLoop::stop() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (runDepth_ == 0) return;
        stopRequested_ = true;
        wakeLocked();
    }
    if (isMain_) Activity::notify();
}

std::optional<RunLoopMode> RunLoop::currentMode() const {
    std::lock_guard<std::mutex> hold(lock_);
    if (modes_.empty()) return std::nullopt;
    return modes_.back();
}

// ---- Timers ----

void RunLoop::addTimer(const std::shared_ptr<RunLoopTimer>& timer, RunLoopMode mode) {
    if (!timer) ns::Exception::raise(ns::InvalidArgumentException, "addTimer: nil timer");
    if (!timer->attach(shared_from_this(), modeMask(mode))) return;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (std::find(timers_.begin(), timers_.end(), timer) == timers_.end()) timers_.push_back(timer);
        wakeLocked();
    }
    if (isMain_) Activity::notify();
}

void RunLoop::removeTimer(const RunLoopTimer* timer) {
    std::shared_ptr<RunLoopTimer> removed;  // released outside the lock
    std::lock_guard<std::mutex> hold(lock_);
    auto it = std::find_if(timers_.begin(), timers_.end(), [&](const auto& t) { return t.get() == timer; });
    if (it == timers_.end()) return;
    removed = std::move(*it);
    timers_.erase(it);
}

// ---- Delayed performs ----

void RunLoop::addPerformRequest(const void* target, std::string selector, const std::shared_ptr<RunLoopTimer>& timer) {
    std::lock_guard<std::mutex> hold(lock_);
    performRequests_.push_back(PerformRequest{target, std::move(selector), timer});
}

void RunLoop::cancelPerformRequests(const void* target, const std::string* selector) {
    std::vector<std::shared_ptr<RunLoopTimer>> cancelled;
    {
        std::lock_guard<std::mutex> hold(lock_);
        std::erase_if(performRequests_, [&](PerformRequest& r) {
            if (r.target != target || (selector && r.selector != *selector)) return false;
            cancelled.push_back(std::move(r.timer));
            return true;
        });
    }
    for (auto& timer : cancelled) timer->invalidate();
}

void RunLoop::forgetPerformRequest(const RunLoopTimer* timer) {
    std::vector<PerformRequest> forgotten;  // released outside the lock
    std::lock_guard<std::mutex> hold(lock_);
    std::erase_if(performRequests_, [&](PerformRequest& r) {
        if (r.timer.get() != timer) return false;
        forgotten.push_back(std::move(r));
        return true;
    });
}

void RunLoop::discardAll() {
    std::deque<Item> items;
    std::vector<std::shared_ptr<RunLoopTimer>> timers;
    std::vector<PerformRequest> requests;
    {
        std::lock_guard<std::mutex> hold(lock_);
        items.swap(items_);
        timers.swap(timers_);
        requests.swap(performRequests_);
    }
    if (!isMain_) {
        for (size_t i = 0; i < items.size(); ++i) Activity::removeBusy();
    }
    for (auto& timer : timers) timer->invalidate();
}

}  // namespace dispatch
