#pragma once
// The benchmarks run on the main thread, where the app's main run loop would
// run: whatever the libraries post to the main queue is run here, inside the
// timed loop, so its cost is measured and nothing piles up.

#include "platform/dispatch/RunLoop.h"

namespace bench {

// Runs every block the main queue holds, including those the blocks post.
inline void drainMainQueue() {
    while (dispatch::RunLoop::main().runOnce()) {
    }
}

}  // namespace bench
