#pragma once
// A counting semaphore: signal() adds one or wakes the longest waiter,
// wait() takes one or blocks.

#include <deque>
#include <memory>
#include <mutex>

#include "platform/dispatch/Clock.h"

namespace dispatch {

namespace detail {
class Waiter;
}

class Semaphore {
public:
    // Raises NSInvalidArgumentException for a negative value.
    static std::shared_ptr<Semaphore> create(long value);

    Semaphore(const Semaphore&) = delete;
    Semaphore& operator=(const Semaphore&) = delete;

    // True when it woke a waiter.
    bool signal();
    // True once a unit was taken; false after `timeout` seconds.
    bool wait(double timeout = Forever);

private:
    explicit Semaphore(long value) : value_(value) {}

    std::mutex lock_;
    long value_;
    std::deque<std::shared_ptr<detail::Waiter>> waiters_;
};

}  // namespace dispatch
