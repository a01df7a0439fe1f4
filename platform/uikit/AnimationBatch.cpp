#include "platform/uikit/AnimationBatch.h"

#include "platform/dispatch/RunLoop.h"
#include "platform/uikit/Animation.h"

namespace ui::detail {

void postToMainLoop(std::function<void()> block) {
    dispatch::RunLoop::main().performBlock(std::move(block), {dispatch::RunLoopMode::Common});
}

void AnimationBatch::track(Animation& animation) {
    ++pending_;
    auto self = shared_from_this();
    animation.addStopHandler([self](bool finished) { self->stopped(finished); });
}

void AnimationBatch::seal(Completion completion) {
    completion_ = std::move(completion);
    sealed_ = true;
    if (pending_ == 0) {
        auto self = shared_from_this();
        postToMainLoop([self] { self->complete(); });
    }
}

void AnimationBatch::stopped(bool finished) {
    if (!finished) allFinished_ = false;
    if (--pending_ == 0 && sealed_) complete();
}

void AnimationBatch::complete() {
    if (completed_) return;
    completed_ = true;
    auto completion = std::move(completion_);
    if (completion) completion(allFinished_);
}

}  // namespace ui::detail
