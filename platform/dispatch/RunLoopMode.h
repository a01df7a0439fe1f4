#pragma once
// Run-loop modes. A run loop runs in one mode at a time and only services
// the timers and blocks added for that mode; Common is shorthand for both.

#include <initializer_list>

namespace dispatch {

enum class RunLoopMode : unsigned { Default = 1, Tracking = 2, Common = 3 };

using RunLoopModes = std::initializer_list<RunLoopMode>;

namespace detail {
inline unsigned modeMask(RunLoopMode mode) { return static_cast<unsigned>(mode); }
inline unsigned modeMask(RunLoopModes modes) {
    unsigned mask = 0;
    for (RunLoopMode m : modes) mask |= modeMask(m);
    return mask;
}
}  // namespace detail

}  // namespace dispatch
