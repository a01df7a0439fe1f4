#pragma once
// Dispatch queues: the main queue (drained by the main run loop), global
// concurrent queues by priority, and labelled serial and concurrent queues of
// one's own. Background queues run on a shared pool of real threads.

#include <functional>
#include <memory>
#include <string>

#include "platform/dispatch/Time.h"

namespace dispatch {

using Block = std::function<void()>;

class Queue;
using QueueRef = std::shared_ptr<Queue>;

enum class QueuePriority { High, Default, Low, Background };

namespace detail {
class Waiter;
}

class Queue : public std::enable_shared_from_this<Queue> {
public:
    enum class Kind { Main, Serial, Concurrent, Global };

    static QueueRef serial(std::string label);
    static QueueRef concurrent(std::string label);

    Queue(const Queue&) = delete;
    Queue& operator=(const Queue&) = delete;
    virtual ~Queue();

    const std::string& label() const { return label_; }
    Kind kind() const { return kind_; }
    // Runs one block at a time (the main queue and serial queues).
    bool isSerial() const { return kind_ == Kind::Main || kind_ == Kind::Serial; }

    void async(Block block);
    // Returns once `block` has run. A serial queue that the calling thread is
    // already running (the main queue, on the main thread) would never get
    // to it: that raises NSInternalInconsistencyException instead of hanging.
    void sync(const Block& block);
    // On a concurrent queue of one's own the block waits for the blocks
    // before it and runs alone; elsewhere it is a plain async.
    void barrierAsync(Block block);
    // Submits `block` after `seconds` on the clock. A delay of zero or less is
    // an async at the tail; Forever never submits it.
    void after(double seconds, Block block);
    void after(TimeDelta delay, Block block);

protected:
    struct Item {
        Block block;
        // Set for a synchronous caller waiting for its turn.
        std::shared_ptr<detail::Waiter> syncWaiter;
        bool barrier = false;
    };

    Queue(std::string label, Kind kind);
    virtual void enqueue(Item item) = 0;
    virtual void runSync(const Block& block) = 0;

private:
    std::string label_;
    Kind kind_;
};

QueueRef mainQueue();
QueueRef globalQueue(QueuePriority priority = QueuePriority::Default);
// The queue whose block the calling thread is running; the main queue on the
// main thread otherwise; nil on other threads.
QueueRef currentQueue();

void async(const QueueRef& queue, Block block);
void sync(const QueueRef& queue, const Block& block);
void barrierAsync(const QueueRef& queue, Block block);
void after(double seconds, const QueueRef& queue, Block block);
void after(TimeDelta delay, const QueueRef& queue, Block block);

}  // namespace dispatch
