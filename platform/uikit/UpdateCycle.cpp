#include "platform/uikit/UpdateCycle.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

#include "platform/uikit/AnimationBatch.h"
#include "platform/uikit/Layer.h"
#include "platform/uikit/View.h"
#include "platform/uikit/Window.h"

namespace ui {

namespace {

struct State {
    bool scheduled = false;
    uint64_t generation = 0;
    std::vector<ns::Weak<View>> windows;  // windows with views waiting for layout
    std::vector<ns::Weak<Layer>> layers;  // layers waiting for display
    uint64_t passes = 0;
    uint64_t layoutPasses = 0;
    uint64_t displayPasses = 0;
    bool laidOut = false;
};

State& state() {
    static State* s = new State;
    return *s;
}

// Clears the flag if the run loop discards the posted pass, so a dropped
// pass never blocks the next request.
struct ScheduledFlag {
    explicit ScheduledFlag(uint64_t generation) : generation(generation) {}
    ScheduledFlag(const ScheduledFlag&) = delete;
    ScheduledFlag& operator=(const ScheduledFlag&) = delete;
    ~ScheduledFlag() {
        if (state().generation == generation) state().scheduled = false;
    }
    uint64_t generation;
};

template <class T>
void addOnce(std::vector<ns::Weak<T>>& list, const ns::Ref<T>& item) {
    for (const auto& w : list) {
        if (w.lock() == item) return;
    }
    list.push_back(item);
}

}  // namespace

void UpdateCycle::schedule() {
    State& s = state();
    if (s.scheduled) return;
    s.scheduled = true;
    auto flag = std::make_shared<ScheduledFlag>(++s.generation);
    detail::postToMainLoop([flag] { runPass(); });
}

void UpdateCycle::viewNeedsLayout(View& view) {
    auto window = view.window();
    if (!window) return;
    addOnce<View>(state().windows, window);
    schedule();
}

void UpdateCycle::layerNeedsDisplay(Layer& layer) {
    if (layer.weak_from_this().expired()) return;
    State& s = state();
    auto ref = layer.ref<Layer>();
    addOnce<Layer>(s.layers, ref);
    if (layer.isInWindow()) schedule();
}

void UpdateCycle::noteLayout() { state().laidOut = true; }

void UpdateCycle::runPass() {
    State& s = state();
    // Requests made by the pass itself get a pass of their own.
    s.scheduled = false;
    ++s.generation;
    ++s.passes;

    std::vector<ns::Ref<View>> windows;
    for (const auto& w : s.windows) {
        if (auto window = w.lock()) windows.push_back(window);
    }
    s.windows.clear();
    s.laidOut = false;
    for (const auto& window : windows) window->updateConstraintsInSubtree();
    for (const auto& window : windows) window->layoutSubtreeIfNeeded();
    if (s.laidOut) ++s.layoutPasses;

    std::vector<ns::Ref<Layer>> ready;
    std::vector<ns::Weak<Layer>> waiting;
    for (const auto& w : s.layers) {
        auto layer = w.lock();
        if (!layer || !layer->needsDisplay()) continue;
        if (layer->isInWindow()) {
            if (std::find(ready.begin(), ready.end(), layer) == ready.end()) ready.push_back(layer);
        } else {
            waiting.push_back(layer);
        }
    }
    s.layers = std::move(waiting);
    bool displayed = false;
    for (const auto& layer : ready) {
        if (!layer->needsDisplay()) continue;
        layer->display();
        displayed = true;
    }
    if (displayed) ++s.displayPasses;
}

uint64_t UpdateCycle::passCount() { return state().passes; }
uint64_t UpdateCycle::layoutPassCount() { return state().layoutPasses; }
uint64_t UpdateCycle::displayPassCount() { return state().displayPasses; }

void UpdateCycle::resetCounts() {
    State& s = state();
    s.passes = 0;
    s.layoutPasses = 0;
    s.displayPasses = 0;
}

}  // namespace ui
