#include "platform/dispatch/QueueContext.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

#include "platform/dispatch/Activity.h"
#include "platform/runtime/Exception.h"

namespace dispatch::detail {

namespace {
thread_local QueueScope* top = nullptr;

[[noreturn]] void uncaught(const Queue& queue, const char* what) {
    std::fprintf(stderr, "uncaught exception in a block on queue \"%s\": %s\n", queue.label().c_str(), what);
    std::fflush(stderr);
    std::abort();
}
}  // namespace

QueueScope::QueueScope(Queue* queue) : queue_(queue), outer_(top) { top = this; }

QueueScope::~QueueScope() { top = outer_; }

Queue* QueueScope::innermost() { return top ? top->queue_ : nullptr; }

bool QueueScope::isRunning(const Queue* queue) {
    for (QueueScope* s = top; s; s = s->outer_) {
        if (s->queue_ == queue) return true;
    }
    return false;
}

void runBackgroundBlock(Queue& queue, Block& block) {
    {
        QueueScope scope(&queue);
        CountedScope counted;
        try {
            block();
        } catch (const std::exception& e) {
            uncaught(queue, e.what());
        } catch (...) {
            uncaught(queue, "(not a std::exception)");
        }
        block = nullptr;
    }
    Activity::removeBusy(queue.label());
}

void raiseSyncDeadlock() {
    ns::Exception::raise(ns::InternalInconsistencyException,
                         "dispatch_sync called on queue already owned by current thread");
}

}  // namespace dispatch::detail
