#pragma once
// Block timers on the current run loop with pause and resume. The timer
// holds only its block, so whoever made it is free to go (the block holds
// it weakly).

#include <functional>
#include <memory>

#include "platform/dispatch/RunLoopTimer.h"

namespace TVAddition {

using Timer = std::shared_ptr<dispatch::RunLoopTimer>;
using Block = std::function<void(dispatch::RunLoopTimer& timer)>;

// Scheduled on the current run loop in the default mode.
Timer wy_scheduledTimerWithTimeInterval(double interval, bool repeats, Block block);
// While the timer is valid: the next fire in the distant future.
void pause(const Timer& timer);
// While the timer is valid: the next fire now.
void resume(const Timer& timer);
// While the timer is valid: the next fire `interval` seconds from now.
void resumeWithTimeInterval(const Timer& timer, double interval);

}  // namespace TVAddition
