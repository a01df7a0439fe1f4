#pragma once
// One thread waiting for one event, with an optional deadline on the clock.
// Semaphores, groups and synchronous dispatch are built on it.
//
// Under mock time a waiter on the main thread drives the clock itself (see
// TimeDriver::driverWait); one on any other thread sleeps until woken or
// until the driver moves the clock past its deadline.

#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/dispatch/Time.h"

namespace dispatch::detail {

class Waiter : public std::enable_shared_from_this<Waiter> {
public:
    static std::shared_ptr<Waiter> create();

    // Ends the wait successfully; false when it had already ended.
    bool wake();
    // Blocks until woken (true) or until `timeout` seconds pass (false). A
    // timeout of 0 or less (or NaN) only looks; Forever never ends.
    bool wait(double timeout);
    bool wait(TimeDelta timeout);

private:
    Waiter() = default;
    void expire();

    std::mutex lock_;
    std::condition_variable ended_;
    bool done_ = false;
    bool woken_ = false;
    // The waiting thread gave back its busy unit; the waker restores it.
    bool released_ = false;
};

}  // namespace dispatch::detail
