#pragma once
// A queue whose blocks may run side by side on the pool's threads. Barrier
// blocks of a queue of one's own wait for the blocks before them and run
// alone; the global queues treat barriers as plain blocks.

#include <deque>
#include <mutex>

#include "platform/dispatch/Queue.h"
#include "platform/dispatch/ThreadPool.h"

namespace dispatch::detail {

class ConcurrentQueue final : public Queue {
public:
    ConcurrentQueue(std::string label, Kind kind, PoolPriority priority);

protected:
    void enqueue(Item item) override;
    void runSync(const Block& block) override;

private:
    // With the lock held: starts every item that may start now.
    void pump(std::unique_lock<std::mutex>& hold);
    void finished(bool barrier);

    PoolPriority priority_;
    std::mutex lock_;
    std::deque<Item> items_;
    int running_ = 0;
    bool barrierRunning_ = false;
};

}  // namespace dispatch::detail
