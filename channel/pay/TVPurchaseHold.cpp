#include "channel/pay/TVPurchaseHold.h"

#include "platform/uikit/StateReset.h"

namespace {

struct State {
    bool held = false;
    // Moves on with every hold, so a late release of an old one is ignored.
    uint64_t hold = 0;
    std::deque<TVPurchaseHold::Call> waiting;
};

State& state() {
    static State shared;
    return shared;
}

// Each test starts with no centre holding and nothing waiting.
[[maybe_unused]] const bool resetHooked = (ui::addSharedStateResetHook([] {
                                               State& s = state();
                                               s.held = false;
                                               ++s.hold;
                                               s.waiting.clear();
                                           }),
                                           true);

}  // namespace

bool TVPurchaseHold::busy() { return state().held || !state().waiting.empty(); }

uint64_t TVPurchaseHold::take() {
    State& s = state();
    s.held = true;
    return ++s.hold;
}

bool TVPurchaseHold::isCurrent(uint64_t hold) { return state().held && state().hold == hold; }

bool TVPurchaseHold::release(uint64_t hold) {
    if (!isCurrent(hold)) return false;
    state().held = false;
    return true;
}

void TVPurchaseHold::enqueue(Call call) { state().waiting.push_back(std::move(call)); }

bool TVPurchaseHold::hasWaiting() { return !state().waiting.empty(); }

std::optional<TVPurchaseHold::Call> TVPurchaseHold::next() {
    State& s = state();
    if (s.held || s.waiting.empty()) return std::nullopt;
    Call call = std::move(s.waiting.front());
    s.waiting.pop_front();
    return call;
}

std::deque<TVPurchaseHold::Call> TVPurchaseHold::dropWaiting() {
    std::deque<Call> dropped;
    dropped.swap(state().waiting);
    return dropped;
}
