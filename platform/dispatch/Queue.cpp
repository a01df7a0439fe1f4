#include "platform/dispatch/Queue.h"

#include <array>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/ConcurrentQueue.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/MainThread.h"
#include "platform/dispatch/QueueContext.h"
#include "platform/dispatch/SerialQueue.h"
#include "platform/dispatch/Timeline.h"
#include "platform/runtime/Exception.h"

namespace dispatch {

using detail::PoolPriority;

namespace {

const QueueRef& checked(const QueueRef& queue, const char* operation) {
    if (!queue) ns::Exception::raise(ns::InvalidArgumentException, std::string(operation) + ": nil queue");
    return queue;
}

Block checkedBlock(Block block, const char* operation) {
    if (!block) ns::Exception::raise(ns::InvalidArgumentException, std::string(operation) + ": nil block");
    return block;
}

}  // namespace

Queue::Queue(std::string label, Kind kind) : label_(std::move(label)), kind_(kind) {}

Queue::~Queue() = default;

QueueRef Queue::serial(std::string label) {
    return std::make_shared<detail::SerialQueue>(std::move(label), PoolPriority::Default);
}

QueueRef Queue::concurrent(std::string label) {
    return std::make_shared<detail::ConcurrentQueue>(std::move(label), Kind::Concurrent, PoolPriority::Default);
}

void Queue::async(Block block) { enqueue(Item{checkedBlock(std::move(block), "async"), nullptr, false}); }

void Queue::sync(const Block& block) {
    if (!block) ns::Exception::raise(ns::InvalidArgumentException, "sync: nil block");
    runSync(block);
}

void Queue::barrierAsync(Block block) {
    enqueue(Item{checkedBlock(std::move(block), "barrierAsync"), nullptr, true});
}

void Queue::after(double seconds, Block block) {
    // NaN and negative delays run at once, as zero does.
    after(seconds > 0 ? TimeDelta::fromSeconds(seconds) : TimeDelta(), std::move(block));
}

void Queue::after(TimeDelta delay, Block block) {
    block = checkedBlock(std::move(block), "after");
    if (!(delay > TimeDelta())) {
        async(std::move(block));
        return;
    }
    TimeTicks when = Clock::nowTicks() + delay;
    if (when.isMax()) return;
    detail::Timeline::add(when,
                          [self = shared_from_this(), block = std::move(block)]() mutable { self->async(std::move(block)); });
}

QueueRef mainQueue() {
    static const QueueRef* queue = new QueueRef(std::make_shared<detail::MainQueue>());
    return *queue;
}

QueueRef globalQueue(QueuePriority priority) {
    static const std::array<QueueRef, 4>* queues = new std::array<QueueRef, 4>{
        std::make_shared<detail::ConcurrentQueue>("global.high", Queue::Kind::Global, PoolPriority::High),
        std::make_shared<detail::ConcurrentQueue>("global.default", Queue::Kind::Global, PoolPriority::Default),
        std::make_shared<detail::ConcurrentQueue>("global.low", Queue::Kind::Global, PoolPriority::Low),
        std::make_shared<detail::ConcurrentQueue>("global.background", Queue::Kind::Global, PoolPriority::Background),
    };
    return (*queues)[static_cast<size_t>(priority)];
}

QueueRef currentQueue() {
    if (Queue* q = detail::QueueScope::innermost()) return q->shared_from_this();
    if (isMainThread()) return mainQueue();
    return nullptr;
}

void async(const QueueRef& queue, Block block) { checked(queue, "async")->async(std::move(block)); }

void sync(const QueueRef& queue, const Block& block) { checked(queue, "sync")->sync(block); }

void barrierAsync(const QueueRef& queue, Block block) { checked(queue, "barrierAsync")->barrierAsync(std::move(block)); }

void after(double seconds, const QueueRef& queue, Block block) {
    checked(queue, "after")->after(seconds, std::move(block));
}

void after(TimeDelta delay, const QueueRef& queue, Block block) {
    checked(queue, "after")->after(delay, std::move(block));
}

}  // namespace dispatch
