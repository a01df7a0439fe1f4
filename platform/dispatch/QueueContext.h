#pragma once
// What the calling thread is running: the stack of queues whose blocks are
// in progress on it (synchronous dispatch nests them).

#include "platform/dispatch/Queue.h"

namespace dispatch::detail {

class QueueScope {
public:
    explicit QueueScope(Queue* queue);
    ~QueueScope();
    QueueScope(const QueueScope&) = delete;
    QueueScope& operator=(const QueueScope&) = delete;

    static Queue* innermost();
    static bool isRunning(const Queue* queue);

private:
    Queue* queue_;
    QueueScope* outer_;
};

// Runs a block taken from a background queue: the queue is current, the
// thread owns the block's busy unit, and the block (with everything it
// captured) is destroyed before the unit is given back. A block may not let
// an exception escape: that ends the process, as on the device.
void runBackgroundBlock(Queue& queue, Block& block);

[[noreturn]] void raiseSyncDeadlock();

}  // namespace dispatch::detail
