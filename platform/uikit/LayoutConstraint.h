#pragma once
// Layout constraints as data: "first.attribute relation second.attribute x
// multiplier + constant" at a priority, between views and layout guides.
//
// The layout pass applies them with a small solver rather than a general
// one: when a view lays out (View::layoutSubviews), each subview that does
// not translate its autoresizing mask is placed from the active constraints
// that tie it to items already placed (its superview, placed siblings, guides,
// constants). Per axis, equalities fix the edges, centre and size (the
// higher priority wins a slot); a size left open falls back to the intrinsic
// content size, then to the current one; inequalities then bound the result,
// the highest priority last. Sibling chains are solved in dependency order.
// This covers views pinned to their superview or siblings and heights
// switched by constant. Containers sized by their content (a panel hugging
// a stack of subviews) are out of its reach: such views read their own
// constraints' constants and place their stack in layoutSubviews.
//
// Activating installs a constraint on the nearest common ancestor of its
// items (NSGenericException when there is none); changing its constant asks
// the items' superviews for layout. Items are held weakly, so a view can
// be an item only once it is owned (not from inside its constructor).
//
// Main thread only.

#include <string>
#include <vector>

#include "platform/runtime/Class.h"

namespace ui {

class View;

enum class LayoutAttribute {
    NotAnAttribute = 0,
    Left = 1,
    Right = 2,
    Top = 3,
    Bottom = 4,
    Leading = 5,
    Trailing = 6,
    Width = 7,
    Height = 8,
    CenterX = 9,
    CenterY = 10,
    LastBaseline = 11,
    FirstBaseline = 12,
};

enum class LayoutRelation { LessThanOrEqual = -1, Equal = 0, GreaterThanOrEqual = 1 };

inline constexpr float LayoutPriorityRequired = 1000;
inline constexpr float LayoutPriorityDefaultHigh = 750;
inline constexpr float LayoutPriorityDefaultLow = 250;
inline constexpr float LayoutPriorityFittingSizeLevel = 50;

class LayoutConstraint : public ns::Object {
    RT_DECLARE_CLASS(LayoutConstraint)
public:
    LayoutConstraint() = default;

    // A nil second item needs NotAnAttribute (a constant constraint, for
    // sizes only); anything else raises NSInvalidArgumentException.
    static ns::Ref<LayoutConstraint> constraintWithItem(const ns::Id& item1, LayoutAttribute attribute1,
                                                        LayoutRelation relation, const ns::Id& item2,
                                                        LayoutAttribute attribute2, double multiplier,
                                                        double constant);

    ns::Id firstItem() const { return first_.lock(); }
    LayoutAttribute firstAttribute() const { return firstAttribute_; }
    LayoutRelation relation() const { return relation_; }
    ns::Id secondItem() const { return second_.lock(); }
    LayoutAttribute secondAttribute() const { return secondAttribute_; }
    double multiplier() const { return multiplier_; }
    double constant() const { return constant_; }
    void setConstant(double constant);
    float priority() const { return priority_; }
    void setPriority(float priority);
    bool isActive() const { return active_; }
    void setActive(bool active);
    const std::string& identifier() const { return identifier_; }
    void setIdentifier(std::string identifier) { identifier_ = std::move(identifier); }

    // The view it is installed on while active.
    ns::Ref<View> installedView() const;

    static void activateConstraints(const std::vector<ns::Ref<LayoutConstraint>>& constraints);
    static void deactivateConstraints(const std::vector<ns::Ref<LayoutConstraint>>& constraints);

    // "<NSLayoutConstraint: 0x...; UIView:0x....height == 44>" in the
    // platform's style.
    std::string description() const override;

private:
    friend class View;

    void requestLayout() const;

    ns::Weak<ns::Object> first_;
    ns::Weak<ns::Object> second_;
    bool hasSecond_ = false;
    LayoutAttribute firstAttribute_ = LayoutAttribute::NotAnAttribute;
    LayoutAttribute secondAttribute_ = LayoutAttribute::NotAnAttribute;
    LayoutRelation relation_ = LayoutRelation::Equal;
    double multiplier_ = 1;
    double constant_ = 0;
    float priority_ = LayoutPriorityRequired;
    bool active_ = false;
    std::string identifier_;
    View* installedOn_ = nullptr;  // the view clears it when it goes
};

}  // namespace ui
