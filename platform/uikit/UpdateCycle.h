#pragma once
// The passes the main run loop runs after changes, as the platform does at
// the end of a run-loop turn: constraint updates, then layout, then display.
// Asking for any of them (setNeedsLayout, setNeedsUpdateConstraints,
// setNeedsDisplay, a view moving into a window) posts one pass to the main
// run loop, in every mode; requests made before it runs share it. Only views
// and layers in a window take part; the others wait until they join one.
//
// Main thread only.

#include <cstdint>

#include "platform/runtime/Object.h"

namespace ui {

class Layer;
class View;

class UpdateCycle {
public:
    // Posts a pass unless one is already waiting.
    static void schedule();
    static void viewNeedsLayout(View& view);
    static void layerNeedsDisplay(Layer& layer);

    // Runs a pass now: what the posted one would do.
    static void runPass();

    // Passes run so far, and those among them that laid out or displayed at
    // least one view or layer.
    static uint64_t passCount();
    static uint64_t layoutPassCount();
    static uint64_t displayPassCount();
    static void resetCounts();

    // Called by views for each layoutSubviews they run, so the pass knows it
    // laid something out.
    static void noteLayout();
};

}  // namespace ui
