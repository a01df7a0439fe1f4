#include "platform/testing/TaskEnvironment.h"

#include <atomic>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/Queue.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/TimeDriver.h"
#include "platform/runtime/Exception.h"

namespace testing {

using dispatch::detail::TimeDriver;

namespace {
std::atomic<bool> active{false};
}  // namespace

TaskEnvironment::TaskEnvironment() {
    if (active.exchange(true)) {
        ns::Exception::raise(ns::InternalInconsistencyException, "TaskEnvironment: one already exists");
    }
    TimeDriver::install();
}

TaskEnvironment::~TaskEnvironment() {
    TimeDriver::uninstall();
    TimeDriver::setIdleTimeout(30);
    active.store(false);
}

void TaskEnvironment::runUntilIdle() { TimeDriver::settle(true, dispatch::RunLoopMode::Default); }

void TaskEnvironment::fastForwardBy(double seconds) {
    if (!(seconds >= 0)) {
        ns::Exception::raise(ns::InvalidArgumentException, "fastForwardBy: time does not go backwards");
    }
    TimeDriver::driveUntil(dispatch::now() + seconds, true, dispatch::RunLoopMode::Default);
}

void TaskEnvironment::fastForwardUntilNoTasksRemain() {
    TimeDriver::driveUntil(dispatch::Forever, true, dispatch::RunLoopMode::Default);
}

double TaskEnvironment::now() const { return dispatch::now(); }

void TaskEnvironment::setWallTime(double secondsSince1970) { dispatch::detail::setMockWallTime(secondsSince1970); }

void TaskEnvironment::setIdleTimeout(double seconds) { TimeDriver::setIdleTimeout(seconds); }

}  // namespace testing
