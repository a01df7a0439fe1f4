#include "platform/uikit/LayoutAnchor.h"

#include "platform/runtime/Exception.h"

namespace ui {

RT_DEFINE_CLASS(LayoutAnchor, ns::Object, "NSLayoutAnchor")
RT_DEFINE_CLASS(LayoutXAxisAnchor, LayoutAnchor, "NSLayoutXAxisAnchor")
RT_DEFINE_CLASS(LayoutYAxisAnchor, LayoutAnchor, "NSLayoutYAxisAnchor")
RT_DEFINE_CLASS(LayoutDimension, LayoutAnchor, "NSLayoutDimension")

namespace {

int axisKind(const LayoutAnchor& anchor) {
    if (dynamic_cast<const LayoutXAxisAnchor*>(&anchor)) return 0;
    if (dynamic_cast<const LayoutYAxisAnchor*>(&anchor)) return 1;
    return 2;
}

}  // namespace

ns::Ref<LayoutConstraint> LayoutAnchor::make(LayoutRelation relation, const ns::Ref<LayoutAnchor>& anchor,
                                             double multiplier, double constant) const {
    if (!anchor) ns::Exception::raise(ns::InvalidArgumentException, "constraint: nil anchor");
    if (axisKind(*this) != axisKind(*anchor)) {
        ns::Exception::raise(ns::InvalidArgumentException, "constraint: the anchors are of different kinds");
    }
    return LayoutConstraint::constraintWithItem(item(), attribute_, relation, anchor->item(), anchor->attribute(),
                                                multiplier, constant);
}

ns::Ref<LayoutConstraint> LayoutAnchor::constraintEqualToAnchor(const ns::Ref<LayoutAnchor>& anchor,
                                                                double constant) const {
    return make(LayoutRelation::Equal, anchor, 1, constant);
}

ns::Ref<LayoutConstraint> LayoutAnchor::constraintGreaterThanOrEqualToAnchor(const ns::Ref<LayoutAnchor>& anchor,
                                                                             double constant) const {
    return make(LayoutRelation::GreaterThanOrEqual, anchor, 1, constant);
}

ns::Ref<LayoutConstraint> LayoutAnchor::constraintLessThanOrEqualToAnchor(const ns::Ref<LayoutAnchor>& anchor,
                                                                          double constant) const {
    return make(LayoutRelation::LessThanOrEqual, anchor, 1, constant);
}

ns::Ref<LayoutConstraint> LayoutDimension::constraintEqualToConstant(double constant) const {
    return LayoutConstraint::constraintWithItem(item(), attribute(), LayoutRelation::Equal, nullptr,
                                                LayoutAttribute::NotAnAttribute, 1, constant);
}

ns::Ref<LayoutConstraint> LayoutDimension::constraintGreaterThanOrEqualToConstant(double constant) const {
    return LayoutConstraint::constraintWithItem(item(), attribute(), LayoutRelation::GreaterThanOrEqual, nullptr,
                                                LayoutAttribute::NotAnAttribute, 1, constant);
}

ns::Ref<LayoutConstraint> LayoutDimension::constraintLessThanOrEqualToConstant(double constant) const {
    return LayoutConstraint::constraintWithItem(item(), attribute(), LayoutRelation::LessThanOrEqual, nullptr,
                                                LayoutAttribute::NotAnAttribute, 1, constant);
}

ns::Ref<LayoutConstraint> LayoutDimension::constraintEqualToAnchorWithMultiplier(
    const ns::Ref<LayoutDimension>& anchor, double multiplier, double constant) const {
    return make(LayoutRelation::Equal, anchor, multiplier, constant);
}

}  // namespace ui
