#pragma once
// A display link: a callback once a frame, on the clock, while added to a
// run loop in one of its modes. Frames fall on the 60 Hz grid counted from
// when the link was added; a lower preferred rate skips frames of that grid
// (30 fires every second frame). timestamp is the time of the frame that
// fired, targetTimestamp that of the next one; duration is the screen's
// frame interval (1/60 s) whatever the rate. The link keeps its callback
// (and whatever that holds) until invalidated.
//
// Main thread only.

#include <functional>
#include <memory>

#include "platform/dispatch/RunLoopMode.h"
#include "platform/runtime/Class.h"

namespace dispatch {
class RunLoop;
class RunLoopTimer;
}  // namespace dispatch

namespace ui {

class DisplayLink : public ns::Object {
    RT_DECLARE_CLASS(DisplayLink)
public:
    using Callback = std::function<void(DisplayLink& link)>;

    static constexpr double MaximumFramesPerSecond = 60;

    DisplayLink() = default;
    explicit DisplayLink(Callback callback) : callback_(std::move(callback)) {}
    ~DisplayLink() override;
    static ns::Ref<DisplayLink> make(Callback callback) { return std::make_shared<DisplayLink>(std::move(callback)); }

    // Adding to a second run loop raises NSInvalidArgumentException; more
    // modes of the same loop add up.
    void addToRunLoop(dispatch::RunLoop& loop, dispatch::RunLoopMode mode);
    void removeFromRunLoop(dispatch::RunLoop& loop, dispatch::RunLoopMode mode);
    // Stops for good.
    void invalidate();
    bool isValid() const { return valid_; }

    bool isPaused() const { return paused_; }
    void setPaused(bool paused);
    // 0 means the maximum; others are rounded to a divisor of 60.
    int preferredFramesPerSecond() const { return preferredFramesPerSecond_; }
    void setPreferredFramesPerSecond(int fps);

    double timestamp() const { return timestamp_; }
    double targetTimestamp() const { return targetTimestamp_; }
    double duration() const { return durationForTesting_ > 0 ? durationForTesting_ : 1.0 / MaximumFramesPerSecond; }
    // The older rate setting: fire every n-th frame of the 60 Hz grid (at
    // least 1); it takes the place of the preferred rate while above 1.
    int frameInterval() const { return frameInterval_; }
    void setFrameInterval(int interval);
    // For tests of a stalled display: the duration a tick reports (0: the
    // screen's own).
    void setDurationForTesting(double seconds) { durationForTesting_ = seconds; }
    uint64_t frameCount() const { return frames_; }

private:
    void restart();
    void stopTimer();
    double interval() const;
    void tick();

    Callback callback_;
    dispatch::RunLoop* loop_ = nullptr;
    unsigned modes_ = 0;
    bool valid_ = true;
    bool paused_ = false;
    int preferredFramesPerSecond_ = 0;
    int frameInterval_ = 1;
    double durationForTesting_ = 0;
    double timestamp_ = 0;
    double targetTimestamp_ = 0;
    uint64_t frames_ = 0;
    std::shared_ptr<dispatch::RunLoopTimer> timer_;
};

}  // namespace ui
