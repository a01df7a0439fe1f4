#include "platform/dispatch/PerformRequest.h"

#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/RunLoopTimer.h"
#include "platform/runtime/Exception.h"

namespace dispatch {

void performAfterDelay(const void* target, std::string selector, double delay, Block block, RunLoopModes modes) {
    if (!block) ns::Exception::raise(ns::InvalidArgumentException, "performAfterDelay: nil block");
    unsigned mask = detail::modeMask(modes);
    if (mask == 0) return;
    RunLoop& loop = RunLoop::current();
    std::weak_ptr<RunLoop> weakLoop = loop.weak_from_this();
    auto timer = RunLoopTimer::create(delay, false, [weakLoop, block = std::move(block)](RunLoopTimer& t) {
        if (auto l = weakLoop.lock()) l->forgetPerformRequest(&t);
        block();
    });
    loop.addPerformRequest(target, std::move(selector), timer);
    loop.addTimer(timer, static_cast<RunLoopMode>(mask));
}

void cancelPreviousPerformRequests(const void* target) { RunLoop::current().cancelPerformRequests(target, nullptr); }

void cancelPreviousPerformRequests(const void* target, std::string_view selector) {
    std::string name(selector);
    RunLoop::current().cancelPerformRequests(target, &name);
}

}  // namespace dispatch
