#pragma once
// A queue that runs one block at a time, in order, on the pool's threads.

#include <deque>
#include <mutex>

#include "platform/dispatch/Queue.h"
#include "platform/dispatch/ThreadPool.h"

namespace dispatch::detail {

class SerialQueue final : public Queue {
public:
    SerialQueue(std::string label, PoolPriority priority);

protected:
    void enqueue(Item item) override;
    void runSync(const Block& block) override;

private:
    void schedule();
    void drain();
    // Ends a synchronous caller's turn.
    void release();

    PoolPriority priority_;
    std::mutex lock_;
    std::deque<Item> items_;
    // A drain is scheduled or running, or a synchronous caller has the queue.
    bool owned_ = false;
};

}  // namespace dispatch::detail
