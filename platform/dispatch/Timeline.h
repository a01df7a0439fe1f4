#pragma once
// Every future event of the process in one ordered list: delayed blocks,
// timer source ticks, run-loop timer wake-ups and wait deadlines. On real
// time a thread fires entries when they fall due; on mock time the time
// driver fires them one at a time, moving the clock to each.
//
// Actions run on that thread (or the driver) and must only hand work on:
// post a block, wake a waiter. An action may still run just after cancel()
// returns, if it had already been taken; owners check their own state.

#include <cstdint>
#include <functional>
#include <optional>

#include "platform/dispatch/Time.h"

namespace dispatch::detail {

class Timeline {
public:
    using EntryId = uint64_t;

    // `time` is on the clock's scale (Clock::nowTicks()). Entries due at the
    // same tick fire in the order they were added. An entry that only wakes
    // a waiter says so with `wakeOnClear`: clear() runs it instead of
    // dropping it, so no thread stays asleep on a deadline that is gone.
    static EntryId add(TimeTicks time, std::function<void()> action, bool wakeOnClear = false);
    static void cancel(EntryId id);

    // ---- Driving under mock time ----
    static std::optional<TimeTicks> nextTime();
    // Takes the earliest entry due at or before `limit`, moves the mock clock
    // to its time and runs its action. False when there is none.
    static bool fireNext(TimeTicks limit);
    static bool isEmpty();
    // Drops every entry: actions are destroyed, not run, except wake-ups.
    static void clear();
    // The clock changed between real and mock time.
    static void clockChanged();
};

}  // namespace dispatch::detail
