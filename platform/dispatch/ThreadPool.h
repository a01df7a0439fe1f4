#pragma once
// The worker threads behind every background queue. Sized for small
// machines: a few more workers than cores. A worker that blocks in one of
// our waits lets another start at once; and since work may also wait where
// nobody announces it (a delegate that sleeps, a lock held elsewhere), work
// left waiting while every worker has been busy for a while gets a new
// worker too, one per such while. Either way, up to a hard cap. A thread
// the system will not start is logged (once, until one starts again), and
// the pool goes on with the workers it has, trying again as more work comes.

#include <chrono>
#include <functional>
#include <memory>

namespace dispatch::detail {

enum class PoolPriority { High, Default, Low, Background };

// One pool of workers. The process has one (ThreadPool); tests make their
// own, with the sizes and the while they need. Workers run until the
// process ends and keep their pool alive.
class WorkerPool {
public:
    struct Settings {
        // Workers started for work as it comes, none of them waiting.
        int workers = 4;
        int hardCap = 64;
        // How long no worker may take new work, all being busy and work
        // waiting, before one more starts.
        std::chrono::steady_clock::duration busyWhile = std::chrono::milliseconds(100);
    };

    static std::shared_ptr<WorkerPool> make(Settings settings);
    virtual ~WorkerPool() = default;

    virtual void post(PoolPriority priority, std::function<void()> task) = 0;
    // Around a blocking wait of one of this pool's workers.
    virtual void willBlock() = 0;
    virtual void didUnblock() = 0;
    virtual int workersWithoutWaits() = 0;
    // While set, every thread this pool asks for is refused, as when the
    // system has none left to give.
    virtual void failThreadStartsForTesting(bool fail) = 0;
    // How many threads the system (or the setting above) has refused.
    virtual int refusedStartsForTesting() = 0;
};

class ThreadPool {
public:
    static void post(PoolPriority priority, std::function<void()> task);

    // Called around a blocking wait; nothing happens off a pool's threads.
    static void willBlock();
    static void didUnblock();

    // The most workers that run at once while none of them waits: a few
    // more than cores, or as many as earlier waits started (workers stay).
    static int workersWithoutWaits();
    // The workers the process's pool starts with: a few more than cores.
    static int workersAtStart();
    // No more workers than this, however many wait.
    static constexpr int HardCap = 64;
};

}  // namespace dispatch::detail
