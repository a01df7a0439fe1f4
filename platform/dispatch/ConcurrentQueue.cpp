#include "platform/dispatch/ConcurrentQueue.h"

#include <vector>

#include "platform/dispatch/Activity.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/QueueContext.h"
#include "platform/dispatch/Waiter.h"

namespace dispatch::detail {

ConcurrentQueue::ConcurrentQueue(std::string label, Kind kind, PoolPriority priority)
    : Queue(std::move(label), kind), priority_(priority) {}

void ConcurrentQueue::enqueue(Item item) {
    // A waiting synchronous caller counts as queued work until its turn comes.
    Activity::addBusy(label());
    if (kind() == Kind::Global) item.barrier = false;
    std::unique_lock<std::mutex> hold(lock_);
    items_.push_back(std::move(item));
    pump(hold);
}

void ConcurrentQueue::pump(std::unique_lock<std::mutex>& hold) {
    std::vector<Item> starting;
    while (!items_.empty() && !barrierRunning_) {
        Item& head = items_.front();
        if (head.barrier) {
            if (running_ > 0) break;
            barrierRunning_ = true;
        } else {
            ++running_;
        }
        starting.push_back(std::move(head));
        items_.pop_front();
    }
    hold.unlock();
    auto self = std::static_pointer_cast<ConcurrentQueue>(shared_from_this());
    for (Item& item : starting) {
        if (item.syncWaiter) {
            item.syncWaiter->wake();
            Activity::removeBusy(label());
            continue;
        }
        ThreadPool::post(priority_, [self, block = std::move(item.block), barrier = item.barrier]() mutable {
            runBackgroundBlock(*self, block);
            self->finished(barrier);
        });
    }
}

void ConcurrentQueue::finished(bool barrier) {
    std::unique_lock<std::mutex> hold(lock_);
    if (barrier) {
        barrierRunning_ = false;
    } else {
        --running_;
    }
    pump(hold);
}

void ConcurrentQueue::runSync(const Block& block) {
    bool now;
    {
        std::lock_guard<std::mutex> hold(lock_);
        now = items_.empty() && !barrierRunning_;
        if (now) ++running_;
    }
    if (!now) {
        auto waiter = Waiter::create();
        enqueue(Item{{}, waiter, false});
        waiter->wait(Forever);
    }
    struct Finish {
        ConcurrentQueue* queue;
        ~Finish() { queue->finished(false); }
    } finish{this};
    QueueScope scope(this);
    block();
}

}  // namespace dispatch::detail
