// The allocator every program links, as it is set for the app: memory let
// go goes back to the system by itself, on the allocator's own thread,
// while the program does nothing more; and at once when asked.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/runtime/Allocator.h"
#include "platform/testing/ResidentMemory.h"

namespace {

using Control = int (*)(const char*, void*, size_t*, void*, size_t);

Control control() { return reinterpret_cast<Control>(::dlsym(RTLD_DEFAULT, "mallctl")); }

template <class T>
T setting(const char* name) {
    T value{};
    size_t size = sizeof value;
    EXPECT_EQ(control()(name, &value, &size, nullptr, 0), 0) << name;
    return value;
}

// 4 MiB of pages written, freed, and watched: a block of the size the
// allocator keeps for a while before it gives it back.
struct FreedBlock {
    FreedBlock() {
        bytes = static_cast<char*>(std::malloc(Size));
        std::memset(bytes, 0x5A, Size);
        resident = testing::residentPagesInside(bytes, Size);
        std::free(bytes);
    }
    size_t residentNow() const { return testing::residentPagesInside(bytes, Size); }

    static constexpr size_t Size = size_t(4) << 20;
    char* bytes;
    size_t resident;
};

TEST(AllocatorTest, EveryProgramHasTheAppsAllocatorWithItsSettings) {
    if (!testing::PeaksMeasureTheProduct) GTEST_SKIP() << "a sanitizer build keeps the sanitizer's allocator";
    ASSERT_STREQ(rt::allocator::name(), "jemalloc");
    EXPECT_TRUE(setting<bool>("opt.background_thread"));
    EXPECT_TRUE(setting<bool>("background_thread")) << "the thread that gives pages back runs";
    EXPECT_EQ(setting<ssize_t>("opt.dirty_decay_ms"), 1000);
    EXPECT_EQ(setting<ssize_t>("opt.muzzy_decay_ms"), 0);
    EXPECT_EQ(setting<unsigned>("opt.tcache_nslots_small_max"), 2000u);
    EXPECT_EQ(setting<size_t>("opt.lg_extent_max_active_fit"), 10u);
}

TEST(AllocatorTest, FreedPagesGoBackAtOnceWhenAsked) {
    if (!testing::PeaksMeasureTheProduct) GTEST_SKIP() << "a sanitizer build keeps freed blocks aside";
    FreedBlock block;
    const size_t pages = FreedBlock::Size / size_t(::sysconf(_SC_PAGESIZE));
    ASSERT_GE(block.resident, pages - 1);
    rt::allocator::giveBackFreed();
    EXPECT_EQ(block.residentNow(), 0u);
}

// Nothing is asked of the allocator after the free: its own thread gives
// the pages back. Waits for that thread's work, however slow the machine.
TEST(AllocatorTest, FreedPagesGoBackWhileTheProgramIsIdle) {
    if (!testing::PeaksMeasureTheProduct) GTEST_SKIP() << "a sanitizer build keeps freed blocks aside";
    FreedBlock block;
    ASSERT_GT(block.resident, 0u);
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (block.residentNow() > block.resident / 8 && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_LE(block.residentNow(), block.resident / 8) << "of " << block.resident << " pages";
}

}  // namespace
