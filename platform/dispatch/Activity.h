#pragma once
// Bookkeeping of work in flight off the main thread, so that a test can tell
// when everything has settled.
//
// A unit of "busy" is a block queued or running on a background queue (or a
// run loop other than the main one). A thread running such a block owns its
// unit; when it blocks in one of our waits it gives the unit back, and
// whoever wakes it adds one on its behalf before waking it, so the count
// never touches zero while work can still follow. In-flight I/O is counted
// separately through IoToken.

#include <chrono>
#include <cstdint>
#include <string>

namespace dispatch::detail {

struct ActivitySnapshot {
    uint64_t generation;
    long busy;
    long io;
};

class Activity {
public:
    static void addBusy();
    static void removeBusy();
    // The same for a block of the queue labelled `holder`, so that a report
    // of stuck work can name the queues that hold it.
    static void addBusy(const std::string& holder);
    static void removeBusy(const std::string& holder);
    static void addIo();
    static void removeIo();
    // Something changed that a waiting driver may care about (work for the
    // main thread, a woken waiter).
    static void notify();

    static ActivitySnapshot snapshot();
    // The queues with blocks queued or running: "label (count), ...";
    // empty when there are none.
    static std::string holders();
    // Waits until the generation moves past `seen`; false at `until`.
    static bool waitForChange(uint64_t seen, std::chrono::steady_clock::time_point until);
};

// Whether the calling thread currently owns a busy unit.
bool threadCountedBusy();

// Marks the calling thread as owning a busy unit for its lifetime.
class CountedScope {
public:
    CountedScope();
    ~CountedScope();
    CountedScope(const CountedScope&) = delete;
    CountedScope& operator=(const CountedScope&) = delete;

private:
    bool previous_;
};

}  // namespace dispatch::detail
