#pragma once
// Delayed performs on the calling thread's run loop, addressed by target and
// selector name so that they can be cancelled as a group: the usual way to
// debounce ("cancel the pending one, schedule anew").

#include <string>
#include <string_view>

#include "platform/dispatch/Queue.h"
#include "platform/dispatch/RunLoopMode.h"

namespace dispatch {

// Runs `block` on the current thread's run loop after `delay` seconds, while
// the loop runs in one of `modes`.
void performAfterDelay(const void* target, std::string selector, double delay, Block block,
                       RunLoopModes modes = {RunLoopMode::Default});
// Cancels the current run loop's pending performs for `target`.
void cancelPreviousPerformRequests(const void* target);
void cancelPreviousPerformRequests(const void* target, std::string_view selector);

}  // namespace dispatch
