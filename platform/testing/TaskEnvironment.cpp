#include "platform/testing/TaskEnvironment.h"

#include <atomic>
#include <cstdlib>
#include <string>

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

dispatch::TimeTicks TaskEnvironment::defaultStart() {
    const char* text = std::getenv("GAMEHOST_MOCK_EPOCH_SECONDS");
    if (!text || !*text) return dispatch::DefaultMockStart;
    char* end = nullptr;
    long long seconds = std::strtoll(text, &end, 10);
    // Room above the start for any deadline a test may set (centuries).
    constexpr long long Latest = 4'000'000'000LL;
    if (*end != '\0' || seconds <= 0 || seconds > Latest) {
        ns::Exception::raise(ns::InvalidArgumentException,
                             "GAMEHOST_MOCK_EPOCH_SECONDS: expected whole seconds from 1 to " +
                                 std::to_string(Latest) + ", got \"" + text + "\"");
    }
    return dispatch::TimeTicks() + dispatch::TimeDelta::fromWholeSeconds(seconds);
}

TaskEnvironment::TaskEnvironment() : TaskEnvironment(defaultStart()) {}

TaskEnvironment::TaskEnvironment(dispatch::TimeTicks start) : start_(start) {
    if (active.exchange(true)) {
        ns::Exception::raise(ns::InternalInconsistencyException, "TaskEnvironment: one already exists");
    }
    TimeDriver::install(start);
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
    fastForwardBy(dispatch::TimeDelta::fromSeconds(seconds));
}

void TaskEnvironment::fastForwardBy(dispatch::TimeDelta delta) {
    if (delta < dispatch::TimeDelta()) {
        ns::Exception::raise(ns::InvalidArgumentException, "fastForwardBy: time does not go backwards");
    }
    TimeDriver::driveUntil(dispatch::nowTicks() + delta, true, dispatch::RunLoopMode::Default);
}

void TaskEnvironment::advanceClockWhileInFlight(double seconds) {
    if (!(seconds >= 0)) {
        ns::Exception::raise(ns::InvalidArgumentException, "advanceClockWhileInFlight: time does not go backwards");
    }
    dispatch::detail::advanceMockClock(dispatch::nowTicks() + dispatch::TimeDelta::fromSeconds(seconds));
}

void TaskEnvironment::runReadyWhileInFlight() { TimeDriver::runReady(dispatch::RunLoopMode::Default); }

void TaskEnvironment::fastForwardUntilNoTasksRemain() {
    TimeDriver::driveUntil(dispatch::TimeTicks::max(), true, dispatch::RunLoopMode::Default);
}

double TaskEnvironment::now() const { return dispatch::now(); }

dispatch::TimeTicks TaskEnvironment::nowTicks() const { return dispatch::nowTicks(); }

void TaskEnvironment::setWallTime(double secondsSince1970) { dispatch::detail::setMockWallTime(secondsSince1970); }

void TaskEnvironment::setIdleTimeout(double seconds) { TimeDriver::setIdleTimeout(seconds); }

}  // namespace testing
