#pragma once
// Visual effects as data: a blur of a style, and the view that carries one.
// Nothing is blurred; whoever reads the view sees which effect it has.
// Subviews belong in the content view, which fills the effect view.
//
// Main thread only.

#include "platform/uikit/View.h"

namespace ui {

class VisualEffect : public ns::Object {
    RT_DECLARE_CLASS(VisualEffect)
public:
    VisualEffect() = default;
    ns::Id copy() const override { return self(); }
};

enum class BlurEffectStyle {
    ExtraLight = 0,
    Light = 1,
    Dark = 2,
    ExtraDark = 3,
    Regular = 4,
    Prominent = 5,
    SystemUltraThinMaterial = 6,
    SystemThinMaterial = 7,
    SystemMaterial = 8,
    SystemThickMaterial = 9,
    SystemChromeMaterial = 10,
    SystemUltraThinMaterialLight = 11,
    SystemThinMaterialLight = 12,
    SystemMaterialLight = 13,
    SystemThickMaterialLight = 14,
    SystemChromeMaterialLight = 15,
    SystemUltraThinMaterialDark = 16,
    SystemThinMaterialDark = 17,
    SystemMaterialDark = 18,
    SystemThickMaterialDark = 19,
    SystemChromeMaterialDark = 20,
};

class BlurEffect : public VisualEffect {
    RT_DECLARE_CLASS(BlurEffect)
public:
    BlurEffect() = default;
    explicit BlurEffect(BlurEffectStyle style) : style_(style) {}
    static ns::Ref<BlurEffect> effectWithStyle(BlurEffectStyle style) { return std::make_shared<BlurEffect>(style); }

    BlurEffectStyle style() const { return style_; }

    using Object::isEqual;
    bool isEqual(const ns::Object* other) const override;
    uint64_t hash() const override { return uint64_t(style_); }
    std::string description() const override;

private:
    BlurEffectStyle style_ = BlurEffectStyle::Light;
};

class VisualEffectView : public View {
    RT_DECLARE_CLASS(VisualEffectView)
public:
    explicit VisualEffectView(ns::Ref<VisualEffect> effect = nullptr);
    static ns::Ref<VisualEffectView> make(ns::Ref<VisualEffect> effect = nullptr);

    const ns::Ref<VisualEffect>& effect() const { return effect_; }
    void setEffect(ns::Ref<VisualEffect> effect) { effect_ = std::move(effect); }
    // Resizes with the effect view.
    const ns::Ref<View>& contentView() const { return contentView_; }

private:
    ns::Ref<VisualEffect> effect_;
    ns::Ref<View> contentView_;
};

}  // namespace ui
