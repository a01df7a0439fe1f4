#pragma once
// Anchors: the factory for constraints between two items' attributes of the
// same axis ("view.topAnchor.constraintEqualToAnchor(other.bottomAnchor,
// 8)"). Made fresh by each accessor; they hold their item weakly. Mixing
// axes, or a dimension with a position, raises NSInvalidArgumentException.

#include "platform/runtime/Class.h"
#include "platform/uikit/LayoutConstraint.h"

namespace ui {

class LayoutAnchor : public ns::Object {
    RT_DECLARE_CLASS(LayoutAnchor)
public:
    LayoutAnchor() = default;
    LayoutAnchor(const ns::Id& item, LayoutAttribute attribute) : item_(item), attribute_(attribute) {}

    ns::Id item() const { return item_.lock(); }
    LayoutAttribute attribute() const { return attribute_; }

    ns::Ref<LayoutConstraint> constraintEqualToAnchor(const ns::Ref<LayoutAnchor>& anchor, double constant = 0) const;
    ns::Ref<LayoutConstraint> constraintGreaterThanOrEqualToAnchor(const ns::Ref<LayoutAnchor>& anchor,
                                                                   double constant = 0) const;
    ns::Ref<LayoutConstraint> constraintLessThanOrEqualToAnchor(const ns::Ref<LayoutAnchor>& anchor,
                                                                double constant = 0) const;

protected:
    ns::Ref<LayoutConstraint> make(LayoutRelation relation, const ns::Ref<LayoutAnchor>& anchor, double multiplier,
                                   double constant) const;

private:
    ns::Weak<ns::Object> item_;
    LayoutAttribute attribute_ = LayoutAttribute::NotAnAttribute;
};

class LayoutXAxisAnchor : public LayoutAnchor {
    RT_DECLARE_CLASS(LayoutXAxisAnchor)
public:
    using LayoutAnchor::LayoutAnchor;
};

class LayoutYAxisAnchor : public LayoutAnchor {
    RT_DECLARE_CLASS(LayoutYAxisAnchor)
public:
    using LayoutAnchor::LayoutAnchor;
};

class LayoutDimension : public LayoutAnchor {
    RT_DECLARE_CLASS(LayoutDimension)
public:
    using LayoutAnchor::LayoutAnchor;

    ns::Ref<LayoutConstraint> constraintEqualToConstant(double constant) const;
    ns::Ref<LayoutConstraint> constraintGreaterThanOrEqualToConstant(double constant) const;
    ns::Ref<LayoutConstraint> constraintLessThanOrEqualToConstant(double constant) const;
    // other x multiplier + constant.
    ns::Ref<LayoutConstraint> constraintEqualToAnchorWithMultiplier(const ns::Ref<LayoutDimension>& anchor,
                                                                    double multiplier, double constant = 0) const;
};

}  // namespace ui
