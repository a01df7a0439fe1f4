#include "platform/dispatch/Semaphore.h"

#include <algorithm>

#include "platform/dispatch/Waiter.h"
#include "platform/runtime/Exception.h"

namespace dispatch {

std::shared_ptr<Semaphore> Semaphore::create(long value) {
    if (value < 0) ns::Exception::raise(ns::InvalidArgumentException, "Semaphore: negative initial value");
    return std::shared_ptr<Semaphore>(new Semaphore(value));
}

bool Semaphore::signal() {
    std::lock_guard<std::mutex> hold(lock_);
    while (!waiters_.empty()) {
        auto waiter = std::move(waiters_.front());
        waiters_.pop_front();
        // A waiter that has just timed out passes the unit on.
        if (waiter->wake()) return true;
    }
    ++value_;
    return false;
}

bool Semaphore::wait(double timeout) {
    auto waiter = detail::Waiter::create();
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (value_ > 0) {
            --value_;
            return true;
        }
        if (!(timeout > 0)) return false;
        waiters_.push_back(waiter);
    }
    if (waiter->wait(timeout)) return true;
    std::lock_guard<std::mutex> hold(lock_);
    std::erase(waiters_, waiter);
    return false;
}

}  // namespace dispatch
