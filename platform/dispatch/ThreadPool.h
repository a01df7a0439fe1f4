#pragma once
// The worker threads behind every background queue. Sized for small
// machines: a few more workers than cores; a worker that blocks in one of
// our waits lets another start, so blocked chains of work cannot starve the
// pool (up to a hard cap).

#include <functional>

namespace dispatch::detail {

enum class PoolPriority { High, Default, Low, Background };

class ThreadPool {
public:
    static void post(PoolPriority priority, std::function<void()> task);

    // Called around a blocking wait; nothing happens off the pool's threads.
    static void willBlock();
    static void didUnblock();

    // The most workers that run at once while none of them waits: a few
    // more than cores, or as many as earlier waits started (workers stay).
    static int workersWithoutWaits();
    // No more workers than this, however many wait.
    static constexpr int HardCap = 64;
};

}  // namespace dispatch::detail
