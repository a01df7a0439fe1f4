#pragma once
// Where a session's delegate calls go, so that they run one at a time and in
// the order they were made, whatever kind of queue the delegate queue is.
//
// What the transfer thread posts is held until the end of the transport's
// round: the head, body and end of a short reply, read in one round, reach
// the delegate queue in one operation, one thread hop. An operation runs
// the calls waiting for it for one slice of time at most, then leaves the
// rest to an operation of its own behind whatever was queued meanwhile: a
// busy session gives its worker back to the other queues' work.
//
// Internal to URL loading.

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/dispatch/IoToken.h"
#include "platform/foundation/OperationQueue.h"

namespace ns::detail {

class URLSessionDelivery : public std::enable_shared_from_this<URLSessionDelivery> {
public:
    static constexpr std::chrono::steady_clock::duration DefaultSlice = std::chrono::milliseconds(10);

    // `slice`: how long one operation runs calls (the first always runs).
    explicit URLSessionDelivery(Ref<OperationQueue> queue,
                                std::chrono::steady_clock::duration slice = DefaultSlice)
        : queue_(std::move(queue)), slice_(slice) {}

    // `hold`: leave scheduling to flush().
    void post(std::function<void()> event, bool hold);
    // Schedules what post() held.
    void flush();

private:
    void schedule();
    void drain();

    const Ref<OperationQueue> queue_;
    const std::chrono::steady_clock::duration slice_;
    std::mutex lock_;
    std::deque<std::function<void()>> events_;
    bool scheduled_ = false;
    // Present while events wait for flush().
    std::optional<dispatch::IoToken> held_;
};

}  // namespace ns::detail
