#include "platform/dispatch/Clock.h"

#include <atomic>
#include <chrono>
#include <cmath>

namespace dispatch {

namespace {

std::atomic<bool> mockActive{false};
std::atomic<double> mockNow{0};
// Mock wall time is mock now plus this offset.
std::atomic<double> mockWallOffset{0};

double realNow() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double realWallTime() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

}  // namespace

double Clock::now() { return mockActive.load(std::memory_order_acquire) ? mockNow.load() : realNow(); }

double Clock::wallTime() {
    return mockActive.load(std::memory_order_acquire) ? mockNow.load() + mockWallOffset.load() : realWallTime();
}

bool Clock::isMock() { return mockActive.load(std::memory_order_acquire); }

namespace detail {

void installMockClock() {
    // Whole seconds, so that steps which are binary fractions (0.5, 0.25) add
    // up exactly; starting from the real readings keeps values plausible.
    double start = std::floor(realNow());
    mockNow.store(start);
    mockWallOffset.store(std::floor(realWallTime()) - start);
    mockActive.store(true, std::memory_order_release);
}

void uninstallMockClock() { mockActive.store(false, std::memory_order_release); }

void setMockWallTime(double wallSeconds) { mockWallOffset.store(wallSeconds - mockNow.load()); }

void advanceMockClock(double time) {
    double current = mockNow.load();
    while (time > current && !mockNow.compare_exchange_weak(current, time)) {
    }
}

}  // namespace detail

}  // namespace dispatch
