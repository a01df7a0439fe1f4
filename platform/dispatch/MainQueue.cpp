#include "platform/dispatch/MainQueue.h"

#include <exception>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/MainThread.h"
#include "platform/dispatch/QueueContext.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/Waiter.h"

namespace dispatch::detail {

MainQueue::MainQueue() : Queue("main", Kind::Main) {}

void MainQueue::enqueue(Item item) { RunLoop::main().enqueueMainQueueBlock(std::move(item.block)); }

void MainQueue::runSync(const Block& block) {
    if (isMainThread()) raiseSyncDeadlock();
    auto waiter = Waiter::create();
    std::exception_ptr failure;
    RunLoop::main().enqueueMainQueueBlock([&block, &failure, waiter] {
        try {
            block();
        } catch (...) {
            failure = std::current_exception();
        }
        waiter->wake();
    });
    waiter->wait(Forever);
    if (failure) std::rethrow_exception(failure);
}

}  // namespace dispatch::detail
