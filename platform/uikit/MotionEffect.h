#pragma once
// Motion effects as data: there is no tilt to follow here, so a view only
// keeps the effects it was given, for tests to read.

#include <string>
#include <vector>

#include "platform/runtime/Class.h"

namespace ui {

class MotionEffect : public ns::Object {
    RT_DECLARE_CLASS(MotionEffect)
public:
    MotionEffect() = default;
};

enum class InterpolatingMotionEffectType { TiltAlongHorizontalAxis = 0, TiltAlongVerticalAxis = 1 };

class InterpolatingMotionEffect : public MotionEffect {
    RT_DECLARE_CLASS(InterpolatingMotionEffect)
public:
    InterpolatingMotionEffect() = default;
    InterpolatingMotionEffect(std::string keyPath, InterpolatingMotionEffectType type)
        : keyPath_(std::move(keyPath)), type_(type) {}

    const std::string& keyPath() const { return keyPath_; }
    InterpolatingMotionEffectType type() const { return type_; }
    // Numbers (or boxed geometry) added to the key path's value at the two
    // extremes of the tilt.
    const ns::Id& minimumRelativeValue() const { return minimum_; }
    void setMinimumRelativeValue(ns::Id value) { minimum_ = std::move(value); }
    const ns::Id& maximumRelativeValue() const { return maximum_; }
    void setMaximumRelativeValue(ns::Id value) { maximum_ = std::move(value); }

private:
    std::string keyPath_;
    InterpolatingMotionEffectType type_ = InterpolatingMotionEffectType::TiltAlongHorizontalAxis;
    ns::Id minimum_;
    ns::Id maximum_;
};

class MotionEffectGroup : public MotionEffect {
    RT_DECLARE_CLASS(MotionEffectGroup)
public:
    MotionEffectGroup() = default;

    const std::vector<ns::Ref<MotionEffect>>& motionEffects() const { return effects_; }
    void setMotionEffects(std::vector<ns::Ref<MotionEffect>> effects) { effects_ = std::move(effects); }

private:
    std::vector<ns::Ref<MotionEffect>> effects_;
};

}  // namespace ui
