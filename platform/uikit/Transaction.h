#pragma once
// Layer transactions: begin/commit brackets (they nest) that carry whether
// property changes start implicit animations, their duration and curve, and
// a completion block that runs once every animation added inside the
// bracket has stopped (on the next run-loop turn when there was none).
// Settings read inside nested brackets fall back to the enclosing ones, then
// to the defaults: actions enabled, 0.25 s, default curve. A setting made
// outside any bracket opens an implicit one that ends with the current
// run-loop turn.
//
// Main thread only, as every layer change is.

#include <functional>

#include "platform/uikit/Animation.h"

namespace ui {

class Transaction {
public:
    static void begin();
    // Ends the innermost bracket; nothing when none is open.
    static void commit();

    static bool disableActions();
    static void setDisableActions(bool disable);
    static double animationDuration();
    static void setAnimationDuration(double seconds);
    static ns::Ref<MediaTimingFunction> animationTimingFunction();
    static void setAnimationTimingFunction(ns::Ref<MediaTimingFunction> function);
    static void setCompletionBlock(std::function<void()> block);

    // Called by layers for each animation they add, so open brackets with a
    // completion block wait for it.
    static void trackAnimation(Animation& animation);
};

// Runs `changes` inside a bracket with implicit actions disabled.
void performWithoutActions(const std::function<void()>& changes);

}  // namespace ui
