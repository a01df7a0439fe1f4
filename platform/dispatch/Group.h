#pragma once
// A count of outstanding work: enter() before, leave() after. Waiters and
// notify blocks go on when the count is back at zero.

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/Queue.h"

namespace dispatch {

namespace detail {
class Waiter;
}

class Group : public std::enable_shared_from_this<Group> {
public:
    static std::shared_ptr<Group> create();

    Group(const Group&) = delete;
    Group& operator=(const Group&) = delete;

    void enter();
    // Raises NSInternalInconsistencyException without a matching enter().
    void leave();
    // Runs `block` on `queue` as part of the group.
    void async(const QueueRef& queue, Block block);
    // Submits `block` to `queue` once the group is empty (at once if it is).
    void notify(const QueueRef& queue, Block block);
    // True once the group is empty; false after `timeout` seconds.
    bool wait(double timeout = Forever);

private:
    Group() = default;

    std::mutex lock_;
    long count_ = 0;
    std::vector<std::pair<QueueRef, Block>> notifies_;
    std::vector<std::shared_ptr<detail::Waiter>> waiters_;
};

}  // namespace dispatch
