#include "platform/uikit/Transaction.h"

#include <optional>
#include <vector>

#include "platform/uikit/AnimationBatch.h"

namespace ui {

namespace {

struct Frame {
    std::optional<bool> disableActions;
    std::optional<double> duration;
    std::optional<ns::Ref<MediaTimingFunction>> timing;
    std::function<void()> completion;
    std::shared_ptr<detail::AnimationBatch> batch = detail::AnimationBatch::make();
    // Opened by a setting made outside any bracket; ends with the run-loop turn.
    bool implicit = false;
};

std::vector<Frame>& frames() {
    static std::vector<Frame> stack;
    return stack;
}

template <class T, class Member>
std::optional<T> lookup(Member member) {
    auto& stack = frames();
    for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
        if ((*it).*member) return *((*it).*member);
    }
    return std::nullopt;
}

void finish(Frame frame) {
    if (frame.completion) {
        auto completion = std::move(frame.completion);
        frame.batch->seal([completion](bool) { completion(); });
    }
}

// Commits the implicit bracket when the posted turn runs, or when the run
// loop discards it, so a setting never outlives its turn.
struct ImplicitCommit {
    ImplicitCommit() = default;
    ImplicitCommit(const ImplicitCommit&) = delete;
    ImplicitCommit& operator=(const ImplicitCommit&) = delete;
    ~ImplicitCommit() {
        auto& stack = frames();
        if (stack.empty() || !stack.front().implicit) return;
        Frame frame = std::move(stack.front());
        stack.erase(stack.begin());
        finish(std::move(frame));
    }
};

Frame& currentFrame() {
    auto& stack = frames();
    if (stack.empty()) {
        stack.emplace_back().implicit = true;
        auto guard = std::make_shared<ImplicitCommit>();
        detail::postToMainLoop([guard] {});
    }
    return stack.back();
}

}  // namespace

void Transaction::begin() { frames().emplace_back(); }

void Transaction::commit() {
    auto& stack = frames();
    if (stack.empty() || stack.back().implicit) return;
    Frame frame = std::move(stack.back());
    stack.pop_back();
    finish(std::move(frame));
}

bool Transaction::disableActions() { return lookup<bool>(&Frame::disableActions).value_or(false); }

void Transaction::setDisableActions(bool disable) { currentFrame().disableActions = disable; }

double Transaction::animationDuration() { return lookup<double>(&Frame::duration).value_or(0.25); }

void Transaction::setAnimationDuration(double seconds) { currentFrame().duration = seconds; }

ns::Ref<MediaTimingFunction> Transaction::animationTimingFunction() {
    auto f = lookup<ns::Ref<MediaTimingFunction>>(&Frame::timing);
    return f ? *f : MediaTimingFunction::functionWithName(MediaTimingFunctionDefault);
}

void Transaction::setAnimationTimingFunction(ns::Ref<MediaTimingFunction> function) {
    currentFrame().timing = std::move(function);
}

void Transaction::setCompletionBlock(std::function<void()> block) { currentFrame().completion = std::move(block); }

void Transaction::trackAnimation(Animation& animation) {
    for (auto& frame : frames()) frame.batch->track(animation);
}

void performWithoutActions(const std::function<void()>& changes) {
    Transaction::begin();
    Transaction::setDisableActions(true);
    changes();
    Transaction::commit();
}

}  // namespace ui
