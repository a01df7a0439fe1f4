#include "platform/uikit/LayoutConstraint.h"

#include <algorithm>
#include <cstdio>

#include "platform/runtime/Exception.h"
#include "platform/uikit/LayoutGuide.h"
#include "platform/uikit/View.h"

namespace ui {

RT_DEFINE_CLASS(LayoutConstraint, ns::Object, "NSLayoutConstraint")

namespace {

// The view an item lives in: a view itself, a guide's owning view.
ns::Ref<View> viewOf(const ns::Id& item) {
    if (auto view = ns::cast<View>(item)) return view;
    if (auto guide = ns::cast<LayoutGuide>(item)) return guide->owningView();
    return nullptr;
}

bool isSize(LayoutAttribute a) { return a == LayoutAttribute::Width || a == LayoutAttribute::Height; }

const char* attributeName(LayoutAttribute a) {
    switch (a) {
        case LayoutAttribute::Left: return "left";
        case LayoutAttribute::Right: return "right";
        case LayoutAttribute::Top: return "top";
        case LayoutAttribute::Bottom: return "bottom";
        case LayoutAttribute::Leading: return "leading";
        case LayoutAttribute::Trailing: return "trailing";
        case LayoutAttribute::Width: return "width";
        case LayoutAttribute::Height: return "height";
        case LayoutAttribute::CenterX: return "centerX";
        case LayoutAttribute::CenterY: return "centerY";
        case LayoutAttribute::LastBaseline: return "lastBaseline";
        case LayoutAttribute::FirstBaseline: return "firstBaseline";
        default: return "notAnAttribute";
    }
}

}  // namespace

ns::Ref<LayoutConstraint> LayoutConstraint::constraintWithItem(const ns::Id& item1, LayoutAttribute attribute1,
                                                               LayoutRelation relation, const ns::Id& item2,
                                                               LayoutAttribute attribute2, double multiplier,
                                                               double constant) {
    if (!item1 || attribute1 == LayoutAttribute::NotAnAttribute) {
        ns::Exception::raise(ns::InvalidArgumentException, "constraintWithItem: a constraint needs a first item and attribute");
    }
    if (!viewOf(item1) && !ns::cast<LayoutGuide>(item1)) {
        ns::Exception::raise(ns::InvalidArgumentException, "constraintWithItem: items must be views or layout guides");
    }
    if (!item2 && attribute2 != LayoutAttribute::NotAnAttribute) {
        ns::Exception::raise(ns::InvalidArgumentException,
                             "constraintWithItem: a nil second item needs NSLayoutAttributeNotAnAttribute");
    }
    if (!item2 && !isSize(attribute1)) {
        ns::Exception::raise(ns::InvalidArgumentException,
                             "constraintWithItem: a location cannot be set to a constant; use a second item");
    }
    if (item2 && attribute2 == LayoutAttribute::NotAnAttribute) {
        ns::Exception::raise(ns::InvalidArgumentException, "constraintWithItem: the second item needs an attribute");
    }
    auto c = std::make_shared<LayoutConstraint>();
    c->first_ = item1;
    c->second_ = item2;
    c->hasSecond_ = item2 != nullptr;
    c->firstAttribute_ = attribute1;
    c->secondAttribute_ = attribute2;
    c->relation_ = relation;
    c->multiplier_ = multiplier;
    c->constant_ = constant;
    return c;
}

ns::Ref<View> LayoutConstraint::installedView() const {
    return installedOn_ ? std::static_pointer_cast<View>(installedOn_->weak_from_this().lock()) : nullptr;
}

void LayoutConstraint::requestLayout() const {
    for (const auto& item : {firstItem(), secondItem()}) {
        auto view = viewOf(item);
        if (!view) continue;
        view->setNeedsLayout();
        if (auto parent = view->superview()) parent->setNeedsLayout();
    }
}

void LayoutConstraint::setConstant(double constant) {
    if (constant_ == constant) return;
    constant_ = constant;
    if (active_) requestLayout();
}

void LayoutConstraint::setPriority(float priority) {
    priority_ = std::clamp(priority, 1.0f, LayoutPriorityRequired);
    if (active_) requestLayout();
}

void LayoutConstraint::setActive(bool active) {
    if (active == active_) return;
    if (!active) {
        if (installedOn_) installedOn_->removeConstraint(ref<LayoutConstraint>());
        active_ = false;
        return;
    }
    auto a = viewOf(firstItem());
    auto b = hasSecond_ ? viewOf(secondItem()) : a;
    ns::Ref<View> common;
    for (auto v = a; v && !common; v = v->superview()) {
        if (b && b->isDescendantOfView(v.get())) common = v;
    }
    if (!common) {
        ns::Exception::raise(ns::GenericException,
                             "Unable to activate constraint because its items have no common ancestor");
    }
    common->addConstraint(ref<LayoutConstraint>());
}

void LayoutConstraint::activateConstraints(const std::vector<ns::Ref<LayoutConstraint>>& constraints) {
    for (const auto& c : constraints) {
        if (c) c->setActive(true);
    }
}

void LayoutConstraint::deactivateConstraints(const std::vector<ns::Ref<LayoutConstraint>>& constraints) {
    for (const auto& c : constraints) {
        if (c) c->setActive(false);
    }
}

std::string LayoutConstraint::description() const {
    auto itemName = [](const ns::Id& item) {
        if (!item) return std::string("nil");
        char buf[64];
        std::snprintf(buf, sizeof buf, "%s:%p", item->className().c_str(), static_cast<const void*>(item.get()));
        return std::string(buf);
    };
    const char* rel = relation_ == LayoutRelation::Equal ? "==" : relation_ == LayoutRelation::LessThanOrEqual ? "<=" : ">=";
    char buf[320];
    std::string lhs = itemName(firstItem()) + "." + attributeName(firstAttribute_);
    if (!hasSecond_) {
        std::snprintf(buf, sizeof buf, "<NSLayoutConstraint: %p %s %s %g>", static_cast<const void*>(this), lhs.c_str(),
                      rel, constant_);
    } else {
        std::string rhs = itemName(secondItem()) + "." + attributeName(secondAttribute_);
        std::snprintf(buf, sizeof buf, "<NSLayoutConstraint: %p %s %s %g*%s + %g>", static_cast<const void*>(this),
                      lhs.c_str(), rel, multiplier_, rhs.c_str(), constant_);
    }
    std::string out = buf;
    if (!identifier_.empty()) out.insert(out.size() - 1, " (" + identifier_ + ")");
    return out;
}

}  // namespace ui
