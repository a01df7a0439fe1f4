#include "platform/uikit/Animation.h"

#include <cmath>
#include <cstdio>

#include "platform/dispatch/Clock.h"

namespace ui {

RT_DEFINE_CLASS(MediaTimingFunction, ns::Object, "CAMediaTimingFunction")
RT_DEFINE_CLASS(Animation, ns::Object, "CAAnimation")
RT_DEFINE_CLASS(PropertyAnimation, Animation, "CAPropertyAnimation")
RT_DEFINE_CLASS(BasicAnimation, PropertyAnimation, "CABasicAnimation")
RT_DEFINE_CLASS(SpringAnimation, BasicAnimation, "CASpringAnimation")
RT_DEFINE_CLASS(KeyframeAnimation, PropertyAnimation, "CAKeyframeAnimation")
RT_DEFINE_CLASS(AnimationGroup, Animation, "CAAnimationGroup")
RT_DEFINE_CLASS(Transition, Animation, "CATransition")

double mediaTime() { return dispatch::now(); }

// ---- Timing functions ----

ns::Ref<MediaTimingFunction> MediaTimingFunction::functionWithName(const std::string& name) {
    // The platform's control points for its named curves.
    struct Named {
        const char* name;
        double c1x, c1y, c2x, c2y;
    };
    static const Named table[] = {
        {MediaTimingFunctionLinear, 0, 0, 1, 1},
        {MediaTimingFunctionEaseIn, 0.42, 0, 1, 1},
        {MediaTimingFunctionEaseOut, 0, 0, 0.58, 1},
        {MediaTimingFunctionEaseInEaseOut, 0.42, 0, 0.58, 1},
        {MediaTimingFunctionDefault, 0.25, 0.1, 0.25, 1},
    };
    for (const auto& entry : table) {
        if (name == entry.name) {
            auto f = functionWithControlPoints(entry.c1x, entry.c1y, entry.c2x, entry.c2y);
            f->name_ = name;
            return f;
        }
    }
    return nullptr;
}

ns::Ref<MediaTimingFunction> MediaTimingFunction::functionWithControlPoints(double c1x, double c1y, double c2x,
                                                                            double c2y) {
    auto f = std::make_shared<MediaTimingFunction>();
    f->c1_ = {c1x, c1y};
    f->c2_ = {c2x, c2y};
    return f;
}

bool MediaTimingFunction::isEqual(const ns::Object* other) const {
    auto f = dynamic_cast<const MediaTimingFunction*>(other);
    return f && f->c1_ == c1_ && f->c2_ == c2_;
}

std::string MediaTimingFunction::description() const {
    if (!name_.empty()) return name_;
    char buf[96];
    std::snprintf(buf, sizeof buf, "(%g, %g) (%g, %g)", c1_.x, c1_.y, c2_.x, c2_.y);
    return buf;
}

// ---- Animation ----

Animation::Animation(const Animation& other)
    : ns::Object(),
      duration_(other.duration_),
      beginTime_(other.beginTime_),
      timeOffset_(other.timeOffset_),
      speed_(other.speed_),
      repeatCount_(other.repeatCount_),
      repeatDuration_(other.repeatDuration_),
      autoreverses_(other.autoreverses_),
      fillMode_(other.fillMode_),
      removedOnCompletion_(other.removedOnCompletion_),
      timingFunction_(other.timingFunction_),
      delegate_(other.delegate_),
      stopHandlers_(other.stopHandlers_) {}

double Animation::activeDuration() const {
    double cycle = (duration_ > 0 ? duration_ : 0.25) * (autoreverses_ ? 2 : 1);
    double total;
    if (repeatDuration_ > 0) {
        total = repeatDuration_;
    } else if (repeatCount_ > 0) {
        total = cycle * repeatCount_;
    } else {
        total = cycle;
    }
    if (!(speed_ > 0)) return std::numeric_limits<double>::infinity();
    return total / speed_;
}

ns::Id Animation::copy() const { return makeCopy(); }

ns::Ref<Animation> Animation::makeCopy() const { return std::make_shared<Animation>(*this); }
ns::Ref<Animation> PropertyAnimation::makeCopy() const { return std::make_shared<PropertyAnimation>(*this); }
ns::Ref<Animation> BasicAnimation::makeCopy() const { return std::make_shared<BasicAnimation>(*this); }
ns::Ref<Animation> SpringAnimation::makeCopy() const { return std::make_shared<SpringAnimation>(*this); }
ns::Ref<Animation> KeyframeAnimation::makeCopy() const { return std::make_shared<KeyframeAnimation>(*this); }

ns::Ref<Animation> Transition::makeCopy() const { return std::make_shared<Transition>(*this); }

ns::Ref<Animation> AnimationGroup::makeCopy() const {
    auto group = std::make_shared<AnimationGroup>(*this);
    for (auto& member : group->animations_) {
        if (member) member = ns::cast<Animation>(member->copy());
    }
    return group;
}

ns::Ref<BasicAnimation> BasicAnimation::animationWithKeyPath(std::string keyPath) {
    return std::make_shared<BasicAnimation>(std::move(keyPath));
}

ns::Ref<SpringAnimation> SpringAnimation::animationWithKeyPath(std::string keyPath) {
    return std::make_shared<SpringAnimation>(std::move(keyPath));
}

ns::Ref<KeyframeAnimation> KeyframeAnimation::animationWithKeyPath(std::string keyPath) {
    return std::make_shared<KeyframeAnimation>(std::move(keyPath));
}

double SpringAnimation::settlingDuration() const {
    if (!(mass_ > 0) || !(stiffness_ > 0) || !(damping_ > 0)) return std::numeric_limits<double>::infinity();
    // Steps the damped oscillator x'' = (-k x - c x') / m from x = 1 with the
    // initial velocity (towards rest when positive) until it stays settled.
    const double dt = 1.0 / 1000;
    const double epsilon = 0.001;
    double x = 1;
    double v = -initialVelocity_;
    double settledSince = 0;
    double t = 0;
    while (t < 60) {
        double a = (-stiffness_ * x - damping_ * v) / mass_;
        v += a * dt;
        x += v * dt;
        t += dt;
        if (std::fabs(x) < epsilon && std::fabs(v) < epsilon * 10) {
            if (settledSince == 0) settledSince = t;
            if (t - settledSince > 0.1) return std::round(settledSince * 1000) / 1000;
        } else {
            settledSince = 0;
        }
    }
    return t;
}

}  // namespace ui
