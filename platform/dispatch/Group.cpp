#include "platform/dispatch/Group.h"

#include <algorithm>

#include "platform/dispatch/Waiter.h"
#include "platform/runtime/Exception.h"

namespace dispatch {

std::shared_ptr<Group> Group::create() { return std::shared_ptr<Group>(new Group); }

void Group::enter() {
    std::lock_guard<std::mutex> hold(lock_);
    ++count_;
}

void Group::leave() {
    std::vector<std::pair<QueueRef, Block>> notifies;
    std::vector<std::shared_ptr<detail::Waiter>> waiters;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (count_ == 0) {
            ns::Exception::raise(ns::InternalInconsistencyException, "Group: leave() without a matching enter()");
        }
        if (--count_ > 0) return;
        notifies.swap(notifies_);
        waiters.swap(waiters_);
    }
    for (auto& [queue, block] : notifies) queue->async(std::move(block));
    for (auto& waiter : waiters) waiter->wake();
}

void Group::async(const QueueRef& queue, Block block) {
    if (!queue || !block) ns::Exception::raise(ns::InvalidArgumentException, "Group::async: nil queue or block");
    enter();
    queue->async([self = shared_from_this(), block = std::move(block)]() mutable {
        block();
        block = nullptr;
        self->leave();
    });
}

void Group::notify(const QueueRef& queue, Block block) {
    if (!queue || !block) ns::Exception::raise(ns::InvalidArgumentException, "Group::notify: nil queue or block");
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (count_ > 0) {
            notifies_.emplace_back(queue, std::move(block));
            return;
        }
    }
    queue->async(std::move(block));
}

bool Group::wait(double timeout) {
    auto waiter = detail::Waiter::create();
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (count_ == 0) return true;
        waiters_.push_back(waiter);
    }
    if (waiter->wait(timeout)) return true;
    std::lock_guard<std::mutex> hold(lock_);
    std::erase(waiters_, waiter);
    return false;
}

}  // namespace dispatch
