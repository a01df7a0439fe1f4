#pragma once
// Internal: counts the animations of one view-animation block or one layer
// transaction and runs the completion once all have stopped and the batch
// is sealed. Finished is true only when every animation ran to its end. A
// sealed batch without animations completes on the next run-loop turn.

#include <functional>
#include <memory>

namespace ui {

class Animation;

namespace detail {

class AnimationBatch : public std::enable_shared_from_this<AnimationBatch> {
public:
    using Completion = std::function<void(bool finished)>;

    static std::shared_ptr<AnimationBatch> make() { return std::shared_ptr<AnimationBatch>(new AnimationBatch); }

    // Adds a stop handler to the animation before it is added to a layer.
    void track(Animation& animation);
    void seal(Completion completion);
    int pending() const { return pending_; }

private:
    AnimationBatch() = default;
    void stopped(bool finished);
    void complete();

    int pending_ = 0;
    bool allFinished_ = true;
    bool sealed_ = false;
    bool completed_ = false;
    Completion completion_;
};

// Runs `block` on the main run loop's next turn, in every mode.
void postToMainLoop(std::function<void()> block);

}  // namespace detail
}  // namespace ui
