#pragma once
// The road every result of the facade and the adapter takes to the shell:
// a turn on the default-priority global queue, then the main queue.

#include <utility>

#include "platform/dispatch/Queue.h"

namespace kvtr {

inline void throughGlobalToMain(dispatch::Block block) {
    dispatch::async(dispatch::globalQueue(), [block = std::move(block)]() mutable {
        dispatch::async(dispatch::mainQueue(), std::move(block));
    });
}

}  // namespace kvtr
