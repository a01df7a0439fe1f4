#pragma once
// Gesture recognizers: state machines fed with the touches of the view they
// are attached to (and of its subviews). Discrete gestures go from Possible
// to Recognized (Ended) or Failed; continuous ones through Began, Changed...
// to Ended or Cancelled. Every move into Began, Ended or Cancelled, and every
// Changed report (repeated ones included), calls the actions at once; the state is key-value observable ("state",
// numbers). When one recognizer begins or recognizes, the others watching
// the same touches fail unless a delegate lets them work simultaneously.
// Once all touches are up, a finished recognizer resets to Possible.
//
// Main thread only.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/graphics/Geometry.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/Responder.h"

namespace dispatch {
class RunLoopTimer;
}

namespace ui {

class GestureRecognizer;
class Touch;
class View;

enum class GestureRecognizerState {
    Possible = 0,
    Began = 1,
    Changed = 2,
    Ended = 3,
    Cancelled = 4,
    Failed = 5,
    Recognized = Ended,
};

class GestureRecognizerDelegate {
public:
    virtual ~GestureRecognizerDelegate() = default;
    virtual bool gestureRecognizerShouldBegin(GestureRecognizer& recognizer) {
        (void)recognizer;
        return true;
    }
    virtual bool gestureRecognizerShouldReceiveTouch(GestureRecognizer& recognizer, Touch& touch) {
        (void)recognizer;
        (void)touch;
        return true;
    }
    virtual bool gestureRecognizerShouldRecognizeSimultaneously(GestureRecognizer& recognizer,
                                                                GestureRecognizer& other) {
        (void)recognizer;
        (void)other;
        return false;
    }
};

class GestureRecognizer : public ns::Object {
    RT_DECLARE_CLASS(GestureRecognizer)
public:
    using Action = std::function<void(GestureRecognizer& recognizer)>;

    GestureRecognizer() = default;
    explicit GestureRecognizer(Action action);

    // Target-action: every action runs, in the order added.
    void addTarget(Action action);
    void removeAllTargets() { actions_.clear(); }

    GestureRecognizerState state() const { return state_; }
    ns::Ref<View> view() const;
    bool isEnabled() const { return enabled_; }
    // Disabling a recognizer in the middle of a gesture cancels it.
    void setEnabled(bool enabled);
    bool cancelsTouchesInView() const { return cancelsTouchesInView_; }
    void setCancelsTouchesInView(bool on) { cancelsTouchesInView_ = on; }
    bool delaysTouchesBegan() const { return delaysTouchesBegan_; }
    void setDelaysTouchesBegan(bool on) { delaysTouchesBegan_ = on; }
    bool delaysTouchesEnded() const { return delaysTouchesEnded_; }
    void setDelaysTouchesEnded(bool on) { delaysTouchesEnded_ = on; }
    std::shared_ptr<GestureRecognizerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<GestureRecognizerDelegate>& delegate) { delegate_ = delegate; }

    // The centroid of the touches in play (or of the last ones) in `view`'s
    // space; nil: the window's.
    virtual cg::Point locationInView(const View* view) const;
    size_t numberOfTouches() const;

    // The recognizer's own handling of its touches; subclasses call these
    // bases first.
    virtual void touchesBegan(const TouchSet& touches, Event& event);
    virtual void touchesMoved(const TouchSet& touches, Event& event);
    virtual void touchesEnded(const TouchSet& touches, Event& event);
    virtual void touchesCancelled(const TouchSet& touches, Event& event);
    // Back to Possible after a gesture; subclasses clear their own state.
    virtual void reset();

protected:
    void setState(GestureRecognizerState state);
    // The touches in play, in the order they began.
    std::vector<ns::Ref<Touch>> activeTouches() const;
    cg::Point centroidInWindow() const;

private:
    friend class View;
    friend class Window;

    void attachToView(View* view);
    bool allowsSimultaneous(GestureRecognizer& other);
    bool shouldBegin();
    void failCompetitors();
    void forgetTouch(const Touch* touch);

    GestureRecognizerState state_ = GestureRecognizerState::Possible;
    std::vector<Action> actions_;
    View* view_ = nullptr;  // the view clears it when it goes
    bool enabled_ = true;
    bool cancelsTouchesInView_ = true;
    bool delaysTouchesBegan_ = false;
    bool delaysTouchesEnded_ = true;
    std::weak_ptr<GestureRecognizerDelegate> delegate_;
    std::vector<ns::Weak<Touch>> touches_;
    cg::Point lastCentroid_;
};

class TapGestureRecognizer : public GestureRecognizer {
    RT_DECLARE_CLASS(TapGestureRecognizer)
public:
    using GestureRecognizer::GestureRecognizer;

    int numberOfTapsRequired() const { return tapsRequired_; }
    void setNumberOfTapsRequired(int taps) { tapsRequired_ = taps < 1 ? 1 : taps; }
    int numberOfTouchesRequired() const { return touchesRequired_; }
    void setNumberOfTouchesRequired(int touches) { touchesRequired_ = touches < 1 ? 1 : touches; }

    // A finger that wanders this far from where it went down is no tap.
    static constexpr double AllowableMovement = 10;

    void touchesBegan(const TouchSet& touches, Event& event) override;
    void touchesMoved(const TouchSet& touches, Event& event) override;
    void touchesEnded(const TouchSet& touches, Event& event) override;
    void touchesCancelled(const TouchSet& touches, Event& event) override;

private:
    int tapsRequired_ = 1;
    int touchesRequired_ = 1;
    cg::Point start_;
};

class PanGestureRecognizer : public GestureRecognizer {
    RT_DECLARE_CLASS(PanGestureRecognizer)
public:
    using GestureRecognizer::GestureRecognizer;

    // How far the touches move before the pan begins.
    static constexpr double Hysteresis = 10;

    size_t minimumNumberOfTouches() const { return minTouches_; }
    void setMinimumNumberOfTouches(size_t n) { minTouches_ = n; }
    size_t maximumNumberOfTouches() const { return maxTouches_; }
    void setMaximumNumberOfTouches(size_t n) { maxTouches_ = n; }

    // From where the touches went down (or the last setTranslation), in
    // `view`'s space.
    cg::Point translationInView(const View* view) const;
    void setTranslation(cg::Point translation, const View* view);
    // Points per second, from the last two moves.
    cg::Point velocityInView(const View* view) const;

    void touchesBegan(const TouchSet& touches, Event& event) override;
    void touchesMoved(const TouchSet& touches, Event& event) override;
    void touchesEnded(const TouchSet& touches, Event& event) override;
    void touchesCancelled(const TouchSet& touches, Event& event) override;
    void reset() override;

private:
    size_t minTouches_ = 1;
    size_t maxTouches_ = SIZE_MAX;
    cg::Point start_;     // window space
    cg::Point current_;   // window space
    cg::Vector velocity_;  // window space, per second
    double lastTime_ = 0;
};

class LongPressGestureRecognizer : public GestureRecognizer {
    RT_DECLARE_CLASS(LongPressGestureRecognizer)
public:
    using GestureRecognizer::GestureRecognizer;
    ~LongPressGestureRecognizer() override;

    double minimumPressDuration() const { return minimumPressDuration_; }
    void setMinimumPressDuration(double seconds) { minimumPressDuration_ = seconds; }
    double allowableMovement() const { return allowableMovement_; }
    void setAllowableMovement(double points) { allowableMovement_ = points; }

    void touchesBegan(const TouchSet& touches, Event& event) override;
    void touchesMoved(const TouchSet& touches, Event& event) override;
    void touchesEnded(const TouchSet& touches, Event& event) override;
    void touchesCancelled(const TouchSet& touches, Event& event) override;
    void reset() override;

private:
    void cancelTimer();

    double minimumPressDuration_ = 0.5;
    double allowableMovement_ = 10;
    cg::Point start_;
    std::shared_ptr<dispatch::RunLoopTimer> timer_;
};

}  // namespace ui
