#include "platform/dispatch/PerformRequest.h"

#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/RunLoopTimer.h"
#include "platform/runtime/Exception.h"

namespace dispatch {

namespace detail {
class PerformRequests {
public:
    static void add(RunLoop& loop, const void* target, std::string selector, double delay, Block block, unsigned modes) {
        std::weak_ptr<RunLoop> weakLoop = loop.weak_from_this();
        auto timer = RunLoopTimer::create(delay, false, [weakLoop, block = std::move(block)](RunLoopTimer& t) {
            // Gone from the list before it runs, so the block may schedule its successor.
            if (auto l = weakLoop.lock()) l->forgetPerformRequest(&t);
            block();
        });
        loop.addPerformRequest(target, std::move(selector), timer);
        loop.addTimer(timer, static_cast<RunLoopMode>(modes));
    }
    static void cancel(RunLoop& loop, const void* target, const std::string* selector) {
        loop.cancelPerformRequests(target, selector);
    }
};
}  // namespace detail

void performAfterDelay(const void* target, std::string selector, double delay, Block block, RunLoopModes modes) {
    if (!block) ns::Exception::raise(ns::InvalidArgumentException, "performAfterDelay: nil block");
    unsigned mask = detail::modeMask(modes);
    if (mask == 0) return;
    detail::PerformRequests::add(RunLoop::current(), target, std::move(selector), delay, std::move(block), mask);
}

void cancelPreviousPerformRequests(const void* target) {
    detail::PerformRequests::cancel(RunLoop::current(), target, nullptr);
}

void cancelPreviousPerformRequests(const void* target, std::string_view selector) {
    std::string name(selector);
    detail::PerformRequests::cancel(RunLoop::current(), target, &name);
}

}  // namespace dispatch
