#include "platform/dispatch/Clock.h"

#include <atomic>
#include <chrono>

namespace dispatch {

namespace {

std::atomic<bool> mockActive{false};
std::atomic<int64_t> mockNow{0};
// Mock wall time (nanoseconds since 1970) is mock now plus this offset.
std::atomic<int64_t> mockWallOffset{0};

TimeTicks realNow() {
    auto since = std::chrono::steady_clock::now().time_since_epoch();
    return TimeTicks::fromNanoseconds(std::chrono::duration_cast<std::chrono::nanoseconds>(since).count());
}

double realWallTime() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

}  // namespace

TimeTicks Clock::nowTicks() {
    return mockActive.load(std::memory_order_acquire) ? TimeTicks::fromNanoseconds(mockNow.load()) : realNow();
}

double Clock::wallTime() {
    if (!mockActive.load(std::memory_order_acquire)) return realWallTime();
    return detail::toSeconds(mockNow.load() + mockWallOffset.load());
}

bool Clock::isMock() { return mockActive.load(std::memory_order_acquire); }

namespace detail {

void installMockClock(TimeTicks start) {
    mockNow.store(start.inNanoseconds());
    mockWallOffset.store(roundToNanoseconds(DefaultMockWallTime) - start.inNanoseconds());
    mockActive.store(true, std::memory_order_release);
}

void uninstallMockClock() { mockActive.store(false, std::memory_order_release); }

void setMockWallTime(double wallSeconds) { mockWallOffset.store(roundToNanoseconds(wallSeconds) - mockNow.load()); }

void advanceMockClock(TimeTicks time) {
    int64_t target = time.inNanoseconds();
    int64_t current = mockNow.load();
    while (target > current && !mockNow.compare_exchange_weak(current, target)) {
    }
}

}  // namespace detail

}  // namespace dispatch
