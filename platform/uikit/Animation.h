#pragma once
// Layer animations as data, with the platform's fields. Nothing is
// interpolated or rendered: an animation added to a layer only starts and
// stops on the clock (see Layer::addAnimation), telling its delegate.

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/Geometry.h"
#include "platform/runtime/Class.h"

namespace ui {

class Animation;

// The platform's names of the named timing functions and fill modes.
inline constexpr const char* MediaTimingFunctionLinear = "linear";
inline constexpr const char* MediaTimingFunctionEaseIn = "easeIn";
inline constexpr const char* MediaTimingFunctionEaseOut = "easeOut";
inline constexpr const char* MediaTimingFunctionEaseInEaseOut = "easeInEaseOut";
inline constexpr const char* MediaTimingFunctionDefault = "default";

inline constexpr const char* FillModeRemoved = "removed";
inline constexpr const char* FillModeForwards = "forwards";
inline constexpr const char* FillModeBackwards = "backwards";
inline constexpr const char* FillModeBoth = "both";

// repeatCount that never ends.
inline constexpr double RepeatForever = std::numeric_limits<double>::infinity();

class MediaTimingFunction : public ns::Object {
    RT_DECLARE_CLASS(MediaTimingFunction)
public:
    MediaTimingFunction() = default;
    // Nil for a name that is not one of the five.
    static ns::Ref<MediaTimingFunction> functionWithName(const std::string& name);
    static ns::Ref<MediaTimingFunction> functionWithControlPoints(double c1x, double c1y, double c2x, double c2y);

    // Empty for a function made from control points.
    const std::string& name() const { return name_; }
    // The cubic's inner control points; the outer ones are (0, 0) and (1, 1).
    cg::Point controlPoint1() const { return c1_; }
    cg::Point controlPoint2() const { return c2_; }

    using Object::isEqual;
    bool isEqual(const ns::Object* other) const override;
    std::string description() const override;

private:
    std::string name_;
    cg::Point c1_{0, 0};
    cg::Point c2_{1, 1};
};

class AnimationDelegate {
public:
    virtual ~AnimationDelegate() = default;
    virtual void animationDidStart(Animation& animation) { (void)animation; }
    // finished: the animation ran its whole active duration; false when it
    // was removed (or replaced) before.
    virtual void animationDidStop(Animation& animation, bool finished) {
        (void)animation;
        (void)finished;
    }
};

class Animation : public ns::Object {
    RT_DECLARE_CLASS(Animation)
public:
    using StopHandler = std::function<void(bool finished)>;

    Animation() = default;
    // Field-wise copies (the delegate and stop handlers are shared).
    Animation(const Animation& other);

    // 0 means the default of 0.25 s once added to a layer.
    double duration() const { return duration_; }
    void setDuration(double seconds) { duration_ = seconds; }
    // On the media clock (ui::mediaTime()); 0 starts at once.
    double beginTime() const { return beginTime_; }
    void setBeginTime(double time) { beginTime_ = time; }
    double timeOffset() const { return timeOffset_; }
    void setTimeOffset(double offset) { timeOffset_ = offset; }
    double speed() const { return speed_; }
    void setSpeed(double speed) { speed_ = speed; }
    double repeatCount() const { return repeatCount_; }
    void setRepeatCount(double count) { repeatCount_ = count; }
    double repeatDuration() const { return repeatDuration_; }
    void setRepeatDuration(double seconds) { repeatDuration_ = seconds; }
    bool autoreverses() const { return autoreverses_; }
    void setAutoreverses(bool on) { autoreverses_ = on; }
    const std::string& fillMode() const { return fillMode_; }
    void setFillMode(std::string mode) { fillMode_ = std::move(mode); }
    bool isRemovedOnCompletion() const { return removedOnCompletion_; }
    void setRemovedOnCompletion(bool on) { removedOnCompletion_ = on; }
    const ns::Ref<MediaTimingFunction>& timingFunction() const { return timingFunction_; }
    void setTimingFunction(ns::Ref<MediaTimingFunction> function) { timingFunction_ = std::move(function); }
    // Held strongly, as the platform holds an animation's delegate.
    const std::shared_ptr<AnimationDelegate>& delegate() const { return delegate_; }
    void setDelegate(std::shared_ptr<AnimationDelegate> delegate) { delegate_ = std::move(delegate); }

    // Run after the delegate hears animationDidStop; copies keep them.
    void addStopHandler(StopHandler handler) { stopHandlers_.push_back(std::move(handler)); }
    const std::vector<StopHandler>& stopHandlers() const { return stopHandlers_; }

    // Seconds from start to stop on the clock: the duration (default 0.25)
    // doubled when autoreversing, times the repeat count (at least once), or
    // the repeat duration when set; divided by the speed. Infinite for
    // endless repeats or a speed of 0.
    double activeDuration() const;

    // A copy, as a layer keeps it: later changes to the original do not
    // reach the added animation.
    ns::Id copy() const override;

protected:
    virtual ns::Ref<Animation> makeCopy() const;

private:
    double duration_ = 0;
    double beginTime_ = 0;
    double timeOffset_ = 0;
    double speed_ = 1;
    double repeatCount_ = 0;
    double repeatDuration_ = 0;
    bool autoreverses_ = false;
    std::string fillMode_ = FillModeRemoved;
    bool removedOnCompletion_ = true;
    ns::Ref<MediaTimingFunction> timingFunction_;
    std::shared_ptr<AnimationDelegate> delegate_;
    std::vector<StopHandler> stopHandlers_;
};

class PropertyAnimation : public Animation {
    RT_DECLARE_CLASS(PropertyAnimation)
public:
    PropertyAnimation() = default;
    explicit PropertyAnimation(std::string keyPath) : keyPath_(std::move(keyPath)) {}

    const std::string& keyPath() const { return keyPath_; }
    void setKeyPath(std::string keyPath) { keyPath_ = std::move(keyPath); }
    bool isAdditive() const { return additive_; }
    void setAdditive(bool on) { additive_ = on; }
    bool isCumulative() const { return cumulative_; }
    void setCumulative(bool on) { cumulative_ = on; }

protected:
    ns::Ref<Animation> makeCopy() const override;

private:
    std::string keyPath_;
    bool additive_ = false;
    bool cumulative_ = false;
};

class BasicAnimation : public PropertyAnimation {
    RT_DECLARE_CLASS(BasicAnimation)
public:
    BasicAnimation() = default;
    explicit BasicAnimation(std::string keyPath) : PropertyAnimation(std::move(keyPath)) {}
    static ns::Ref<BasicAnimation> animationWithKeyPath(std::string keyPath);

    // Numbers, or geometry and colours boxed by GeometryValue.h.
    const ns::Id& fromValue() const { return from_; }
    void setFromValue(ns::Id value) { from_ = std::move(value); }
    const ns::Id& toValue() const { return to_; }
    void setToValue(ns::Id value) { to_ = std::move(value); }
    const ns::Id& byValue() const { return by_; }
    void setByValue(ns::Id value) { by_ = std::move(value); }

protected:
    ns::Ref<Animation> makeCopy() const override;

private:
    ns::Id from_;
    ns::Id to_;
    ns::Id by_;
};

class SpringAnimation : public BasicAnimation {
    RT_DECLARE_CLASS(SpringAnimation)
public:
    SpringAnimation() = default;
    explicit SpringAnimation(std::string keyPath) : BasicAnimation(std::move(keyPath)) {}
    static ns::Ref<SpringAnimation> animationWithKeyPath(std::string keyPath);

    double mass() const { return mass_; }
    void setMass(double mass) { mass_ = mass; }
    double stiffness() const { return stiffness_; }
    void setStiffness(double stiffness) { stiffness_ = stiffness; }
    double damping() const { return damping_; }
    void setDamping(double damping) { damping_ = damping; }
    double initialVelocity() const { return initialVelocity_; }
    void setInitialVelocity(double velocity) { initialVelocity_ = velocity; }

    // Seconds until a unit displacement of this spring stays within 0.1 % of
    // rest, the time a caller sets as the duration to let it settle.
    double settlingDuration() const;

protected:
    ns::Ref<Animation> makeCopy() const override;

private:
    double mass_ = 1;
    double stiffness_ = 100;
    double damping_ = 10;
    double initialVelocity_ = 0;
};

class KeyframeAnimation : public PropertyAnimation {
    RT_DECLARE_CLASS(KeyframeAnimation)
public:
    KeyframeAnimation() = default;
    explicit KeyframeAnimation(std::string keyPath) : PropertyAnimation(std::move(keyPath)) {}
    static ns::Ref<KeyframeAnimation> animationWithKeyPath(std::string keyPath);

    const std::vector<ns::Id>& values() const { return values_; }
    void setValues(std::vector<ns::Id> values) { values_ = std::move(values); }
    // Fractions 0..1 of the duration, one per value.
    const std::vector<double>& keyTimes() const { return keyTimes_; }
    void setKeyTimes(std::vector<double> times) { keyTimes_ = std::move(times); }
    const std::vector<ns::Ref<MediaTimingFunction>>& timingFunctions() const { return timingFunctions_; }
    void setTimingFunctions(std::vector<ns::Ref<MediaTimingFunction>> functions) {
        timingFunctions_ = std::move(functions);
    }
    // "linear", "discrete", "paced", "cubic", "cubicPaced".
    const std::string& calculationMode() const { return calculationMode_; }
    void setCalculationMode(std::string mode) { calculationMode_ = std::move(mode); }

protected:
    ns::Ref<Animation> makeCopy() const override;

private:
    std::vector<ns::Id> values_;
    std::vector<double> keyTimes_;
    std::vector<ns::Ref<MediaTimingFunction>> timingFunctions_;
    std::string calculationMode_ = "linear";
};

class AnimationGroup : public Animation {
    RT_DECLARE_CLASS(AnimationGroup)
public:
    AnimationGroup() = default;

    // The group's own duration bounds its members'.
    const std::vector<ns::Ref<Animation>>& animations() const { return animations_; }
    void setAnimations(std::vector<ns::Ref<Animation>> animations) { animations_ = std::move(animations); }

protected:
    ns::Ref<Animation> makeCopy() const override;

private:
    std::vector<ns::Ref<Animation>> animations_;
};

// The platform's transition types.
inline constexpr const char* TransitionFade = "fade";
inline constexpr const char* TransitionMoveIn = "moveIn";
inline constexpr const char* TransitionPush = "push";
inline constexpr const char* TransitionReveal = "reveal";

// A transition between a layer's old and new look (a fade when the
// contents change, say). Recorded on the layer under its key like any
// animation; nothing is rendered.
class Transition : public Animation {
    RT_DECLARE_CLASS(Transition)
public:
    Transition() = default;

    const std::string& type() const { return type_; }
    void setType(std::string type) { type_ = std::move(type); }
    // "fromRight", "fromLeft", "fromTop", "fromBottom"; empty for none.
    const std::string& subtype() const { return subtype_; }
    void setSubtype(std::string subtype) { subtype_ = std::move(subtype); }

protected:
    ns::Ref<Animation> makeCopy() const override;

private:
    std::string type_ = TransitionFade;
    std::string subtype_;
};

// The media clock: seconds on the one clock (mock time in tests).
double mediaTime();

}  // namespace ui
