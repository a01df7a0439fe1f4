#include "platform/dispatch/TimeDriver.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include "platform/dispatch/Activity.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/MainThread.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/Timeline.h"
#include "platform/runtime/Exception.h"

namespace dispatch::detail {

namespace {

using SteadyClock = std::chrono::steady_clock;

std::atomic<double> idleTimeoutSeconds{30.0};
std::thread::id previousMainThread;

// Background work moves on when a block or I/O operation starts, ends or
// hands work over (the activity generation moves), or while the process's
// threads spend CPU time: a twentieth of a core keeps a working thread on a
// machine far busier than its cores, while blocked threads spend none.
constexpr double WorkingShareOfACore = 0.05;

// Whether a thread of the process other than the caller is runnable (on a
// CPU or waiting for one) or in the kernel's uninterruptible wait (the disk,
// a page coming in): it waits for the machine, not for the program. A
// machine busier than its cores can keep a working thread off every CPU for
// longer than the idle timeout; a stuck one sleeps on a lock or condition.
// False where the threads cannot be read.
bool anotherThreadRunnable() {
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks) return false;
    const long self = long(syscall(SYS_gettid));
    bool runnable = false;
    while (const dirent* entry = readdir(tasks)) {
        char* end = nullptr;
        const long tid = std::strtol(entry->d_name, &end, 10);
        if (*end != '\0' || tid <= 0 || tid == self) continue;
        char path[64];
        std::snprintf(path, sizeof path, "/proc/self/task/%ld/stat", tid);
        const int fd = open(path, O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        // "tid (name) state ...": the name may hold spaces and parentheses.
        char stat[256];
        const ssize_t n = read(fd, stat, sizeof stat - 1);
        close(fd);
        if (n <= 0) continue;
        stat[n] = '\0';
        const char* name = std::strrchr(stat, ')');
        if (name && name[1] == ' ' && (name[2] == 'R' || name[2] == 'D')) {
            runnable = true;
            break;
        }
    }
    closedir(tasks);
    return runnable;
}

double cpuSeconds(clockid_t clock) {
    timespec spent{};
    clock_gettime(clock, &spent);
    return double(spent.tv_sec) + double(spent.tv_nsec) * 1e-9;
}

std::string seconds(double value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g s", value);
    return buf;
}

// The main thread's own CPU time since it was made: what work that keeps
// the main thread busy without end spends. A busy machine stretches real
// time, not this.
class MainThreadTime {
public:
    MainThreadTime() : start_(cpuSeconds(CLOCK_THREAD_CPUTIME_ID)) {}
    bool spent() const { return cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - start_ > idleTimeoutSeconds.load(); }

private:
    double start_;
};

// Waits until background work moves past generation `seen`; false when it
// is stuck: nothing moved for the idle timeout of real time, however long
// the work as a whole takes, and no other thread waits for a CPU at its end.
bool waitForMovement(uint64_t seen) {
    for (;;) {
        const double window = idleTimeoutSeconds.load();
        const double processCpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        const auto end =
            SteadyClock::now() + std::chrono::duration_cast<SteadyClock::duration>(std::chrono::duration<double>(window));
        if (Activity::waitForChange(seen, end)) return true;
        if (cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processCpu >= WorkingShareOfACore * window) continue;
        if (!anotherThreadRunnable()) return false;
    }
}

// The queues holding the work, for the report.
std::string heldBy() {
    std::string holders = Activity::holders();
    return holders.empty() ? std::string() : "; queues holding work: " + holders;
}

[[noreturn]] void reportStuck(const ActivitySnapshot& s) {
    ns::Exception::raise(ns::InternalInconsistencyException,
                         "work did not settle: nothing moved for " + seconds(idleTimeoutSeconds.load()) +
                             " of real time (" + std::to_string(s.busy) + " background blocks queued or running, " +
                             std::to_string(s.io) + " I/O operations in flight" + heldBy() + ")");
}

[[noreturn]] void reportEndlessMainWork() {
    ns::Exception::raise(ns::InternalInconsistencyException,
                         "main-thread work kept coming for " + seconds(idleTimeoutSeconds.load()) +
                             " of the main thread's time: a block or timer that reschedules itself at once never "
                             "lets the main thread go idle");
}

[[noreturn]] void reportEndlessTimers() {
    ns::Exception::raise(ns::InternalInconsistencyException,
                         "timers kept firing for " + seconds(idleTimeoutSeconds.load()) +
                             " of the main thread's time while running without an end date: a repeating timer "
                             "never ends");
}

}  // namespace

bool TimeDriver::isDriverThread() { return Clock::isMock() && isMainThread(); }

void TimeDriver::settle(bool runMain, RunLoopMode mode, const std::function<bool()>& done) {
    const MainThreadTime mainTime;
    for (;;) {
        if (done && done()) return;
        ActivitySnapshot before = Activity::snapshot();
        bool ran = runMain && RunLoop::main().runOnce(mode);
        if (!ran) ran = Timeline::fireNext(Clock::nowTicks());
        if (ran) {
            if (mainTime.spent()) reportEndlessMainWork();
            continue;
        }
        ActivitySnapshot after = Activity::snapshot();
        if (after.generation == before.generation && after.busy == 0 && after.io == 0) return;
        // Something changed meanwhile: look again for main-thread work first.
        if (after.generation != before.generation) continue;
        if (!waitForMovement(after.generation)) reportStuck(Activity::snapshot());
    }
}

void TimeDriver::runReady(RunLoopMode mode) {
    const MainThreadTime mainTime;
    while (RunLoop::main().runOnce(mode) || Timeline::fireNext(Clock::nowTicks()))
        if (mainTime.spent()) reportEndlessMainWork();
}

bool TimeDriver::driveUntil(TimeTicks date, bool runMain, RunLoopMode mode, const std::function<bool()>& stop) {
    const MainThreadTime mainTime;
    for (;;) {
        settle(runMain, mode, stop);
        if (stop && stop()) return false;
        if (!Timeline::fireNext(date)) break;
        if (date.isMax() && mainTime.spent()) reportEndlessTimers();
    }
    if (!date.isMax()) advanceMockClock(date);
    return true;
}

void TimeDriver::driverWait(const std::function<bool()>& done, TimeTicks deadline) {
    const MainThreadTime mainTime;
    for (;;) {
        settle(false, RunLoopMode::Default, done);
        if (done()) return;
        if (!Timeline::fireNext(deadline)) {
            if (!deadline.isMax()) {
                advanceMockClock(deadline);
                return;
            }
            ns::Exception::raise(ns::InternalInconsistencyException,
                                 "a wait on the main thread can never end: nothing else is left to run or "
                                 "scheduled, and main-thread work cannot run while the main thread waits");
        }
        if (deadline.isMax() && mainTime.spent()) reportEndlessTimers();
    }
}

void TimeDriver::install(TimeTicks start) {
    previousMainThread = mainThreadId();
    setMainThreadId(std::this_thread::get_id());
    Timeline::clear();
    installMockClock(start);
    Timeline::clockChanged();
}

void TimeDriver::uninstall() {
    // Background work may still reference the test; let it finish. Threads
    // asleep on mock deadlines are woken by the clear and finish too.
    for (int round = 0; round < 3; ++round) {
        try {
            settle(false, RunLoopMode::Default);
        } catch (const ns::Exception& e) {
            std::fprintf(stderr, "task environment teardown: %s\n", e.reason().c_str());
            break;
        }
        if (Timeline::isEmpty()) break;
        Timeline::clear();
    }
    Timeline::clear();
    RunLoop::main().discardAll();
    uninstallMockClock();
    Timeline::clockChanged();
    setMainThreadId(previousMainThread);
}

void TimeDriver::setIdleTimeout(double seconds) { idleTimeoutSeconds.store(seconds > 0 ? seconds : 0); }

double TimeDriver::idleTimeout() { return idleTimeoutSeconds.load(); }

}  // namespace dispatch::detail
