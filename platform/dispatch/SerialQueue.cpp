#include "platform/dispatch/SerialQueue.h"

#include "platform/dispatch/Activity.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/QueueContext.h"
#include "platform/dispatch/Waiter.h"

namespace dispatch::detail {

namespace {
// Blocks run per drain before the queue yields its thread to other queues.
constexpr int DrainBatch = 16;
}  // namespace

SerialQueue::SerialQueue(std::string label, PoolPriority priority)
    : Queue(std::move(label), Kind::Serial), priority_(priority) {}

void SerialQueue::enqueue(Item item) {
    // A waiting synchronous caller counts as queued work until its turn comes.
    Activity::addBusy(label());
    bool start;
    {
        std::lock_guard<std::mutex> hold(lock_);
        items_.push_back(std::move(item));
        start = !owned_;
        owned_ = true;
    }
    if (start) schedule();
}

void SerialQueue::schedule() {
    auto self = std::static_pointer_cast<SerialQueue>(shared_from_this());
    ThreadPool::post(priority_, [self] { self->drain(); });
}

void SerialQueue::drain() {
    for (int n = 0; n < DrainBatch; ++n) {
        Item item;
        {
            std::lock_guard<std::mutex> hold(lock_);
            if (items_.empty()) {
                owned_ = false;
                return;
            }
            item = std::move(items_.front());
            items_.pop_front();
        }
        if (item.syncWaiter) {
            // The waiting caller runs its block on its own thread and hands
            // the queue back through release().
            item.syncWaiter->wake();
            Activity::removeBusy(label());
            return;
        }
        runBackgroundBlock(*this, item.block);
    }
    schedule();
}

void SerialQueue::release() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (items_.empty()) {
            owned_ = false;
            return;
        }
    }
    schedule();
}

void SerialQueue::runSync(const Block& block) {
    if (QueueScope::isRunning(this)) raiseSyncDeadlock();
    bool idle;
    {
        std::lock_guard<std::mutex> hold(lock_);
        idle = !owned_;
        if (idle) owned_ = true;
    }
    if (!idle) {
        auto waiter = Waiter::create();
        enqueue(Item{{}, waiter, false});
        waiter->wait(Forever);
    }
    struct Release {
        SerialQueue* queue;
        ~Release() { queue->release(); }
    } release{this};
    QueueScope scope(this);
    block();
}

}  // namespace dispatch::detail
