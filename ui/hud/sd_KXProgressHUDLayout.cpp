// The per-view HUD's constraints, and the placement of its bezel and stack
// that reads them.

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/uikit/LayoutAnchor.h"
#include "ui/hud/sd_KXProgressHUD.h"

namespace {

using ui::LayoutAttribute;
using ui::LayoutConstraint;
using ui::LayoutRelation;
using Constraints = std::vector<ns::Ref<LayoutConstraint>>;

ns::Ref<LayoutConstraint> constraint(const ns::Id& a, LayoutAttribute attrA, LayoutRelation relation, const ns::Id& b,
                                     LayoutAttribute attrB, double constant = 0,
                                     float priority = ui::LayoutPriorityRequired) {
    auto c = LayoutConstraint::constraintWithItem(a, attrA, relation, b, attrB, 1, constant);
    c->setPriority(priority);
    return c;
}

// "|-(>=margin)-[view]-(>=margin)-|" (or its vertical twin): the leading
// edge first, then the trailing one.
Constraints marginsInside(const ns::Ref<ui::View>& view, const ns::Ref<ui::View>& container, bool vertical,
                          double margin) {
    LayoutAttribute lead = vertical ? LayoutAttribute::Top : LayoutAttribute::Leading;
    LayoutAttribute trail = vertical ? LayoutAttribute::Bottom : LayoutAttribute::Trailing;
    return {constraint(view, lead, LayoutRelation::GreaterThanOrEqual, container, lead, margin),
            constraint(container, trail, LayoutRelation::GreaterThanOrEqual, view, trail, margin)};
}

// Shown: not hidden and with something to show.
bool isVisible(const ui::View& view) { return !view.isHidden() && view.intrinsicContentSize() != cg::Size{0, 0}; }

// The size the stack gives a view: what it needs, wrapped to the room left
// for multi-line labels, and squeezed to that room (the views yield to the
// bezel's margins).
cg::Size fittedSize(const ui::View& view, double room) {
    cg::Size size;
    auto label = dynamic_cast<const ui::Label*>(&view);
    if (label && label->numberOfLines() != 1) {
        size = label->sizeThatFits({room, std::numeric_limits<double>::infinity()});
    } else {
        size = view.intrinsicContentSize();
        if (size.width < 0) size.width = view.bounds().width();
        if (size.height < 0) size.height = view.bounds().height();
    }
    size.width = std::min(size.width, std::max(0.0, room));
    return size;
}

double constantOf(const ns::Ref<LayoutConstraint>& c, double fallback = 0) { return c ? c->constant() : fallback; }

}  // namespace

void sd_KXProgressHUD::applyPriority(float priority, const Constraints& constraints) {
    for (const auto& c : constraints) c->setPriority(priority);
}

void sd_KXProgressHUD::updateConstraints() {
    const auto hud = ref<ui::View>();
    const auto bezel = ns::Ref<ui::View>(bezelView_);
    const double m = margin_;

    std::vector<ns::Ref<ui::View>> views{topSpacer_};
    if (indicator_) views.push_back(indicator_);
    views.push_back(label_);
    views.push_back(detailsLabel_);
    views.push_back(button_);
    views.push_back(bottomSpacer_);

    removeConstraints(Constraints(constraints()));
    topSpacer_->removeConstraints(Constraints(topSpacer_->constraints()));
    bottomSpacer_->removeConstraints(Constraints(bottomSpacer_->constraints()));
    bezelView_->removeConstraints(bezelConstraints_);
    bezelConstraints_.clear();

    Placement placement;
    placement.stack = views;

    Constraints centering{
        constraint(bezel, LayoutAttribute::CenterX, LayoutRelation::Equal, hud, LayoutAttribute::CenterX, offset_.x),
        constraint(bezel, LayoutAttribute::CenterY, LayoutRelation::Equal, hud, LayoutAttribute::CenterY, offset_.y)};
    applyPriority(998, centering);
    addConstraints(centering);
    placement.centerX = centering[0];
    placement.centerY = centering[1];

    Constraints sideMargins = marginsInside(bezel, hud, false, m);
    Constraints topMargins = marginsInside(bezel, hud, true, m);
    applyPriority(999, sideMargins);
    applyPriority(999, topMargins);
    addConstraints(sideMargins);
    addConstraints(topMargins);
    placement.marginX = sideMargins[0];
    placement.marginY = topMargins[0];

    Constraints bezelConstraints;
    if (minSize_ != cg::Size{0, 0}) {
        placement.minWidth = constraint(bezel, LayoutAttribute::Width, LayoutRelation::GreaterThanOrEqual, nullptr,
                                        LayoutAttribute::NotAnAttribute, minSize_.width, 997);
        placement.minHeight = constraint(bezel, LayoutAttribute::Height, LayoutRelation::GreaterThanOrEqual, nullptr,
                                         LayoutAttribute::NotAnAttribute, minSize_.height, 997);
        bezelConstraints.push_back(placement.minWidth);
        bezelConstraints.push_back(placement.minHeight);
    }
    if (square_) {
        placement.square =
            constraint(bezel, LayoutAttribute::Height, LayoutRelation::Equal, bezel, LayoutAttribute::Width, 0, 997);
        bezelConstraints.push_back(placement.square);
    }

    placement.topSpacerHeight = constraint(topSpacer_, LayoutAttribute::Height, LayoutRelation::GreaterThanOrEqual,
                                           nullptr, LayoutAttribute::NotAnAttribute, m);
    placement.bottomSpacerHeight =
        constraint(bottomSpacer_, LayoutAttribute::Height, LayoutRelation::GreaterThanOrEqual, nullptr,
                   LayoutAttribute::NotAnAttribute, m);
    topSpacer_->addConstraint(placement.topSpacerHeight);
    bottomSpacer_->addConstraint(placement.bottomSpacerHeight);
    bezelConstraints.push_back(
        constraint(topSpacer_, LayoutAttribute::Height, LayoutRelation::Equal, bottomSpacer_, LayoutAttribute::Height));

    Constraints padding;
    for (size_t i = 0; i < views.size(); ++i) {
        const auto& view = views[i];
        bezelConstraints.push_back(
            constraint(view, LayoutAttribute::CenterX, LayoutRelation::Equal, bezel, LayoutAttribute::CenterX));
        Constraints sides = marginsInside(view, bezel, false, m);
        placement.sideMargins.push_back(sides[0]);
        bezelConstraints.insert(bezelConstraints.end(), sides.begin(), sides.end());
        if (i == 0) {
            bezelConstraints.push_back(
                constraint(view, LayoutAttribute::Top, LayoutRelation::Equal, bezel, LayoutAttribute::Top));
        } else if (i == views.size() - 1) {
            bezelConstraints.push_back(
                constraint(view, LayoutAttribute::Bottom, LayoutRelation::Equal, bezel, LayoutAttribute::Bottom));
        }
        if (i > 0) {
            auto gap =
                constraint(view, LayoutAttribute::Top, LayoutRelation::Equal, views[i - 1], LayoutAttribute::Bottom);
            bezelConstraints.push_back(gap);
            padding.push_back(gap);
        }
    }

    bezelView_->addConstraints(bezelConstraints);
    bezelConstraints_ = std::move(bezelConstraints);
    paddingConstraints_ = std::move(padding);
    placement_ = std::move(placement);
    updatePaddingConstraints();
    View::updateConstraints();
}

void sd_KXProgressHUD::updatePaddingConstraints() {
    bool visibleAbove = false;
    for (const auto& padding : paddingConstraints_) {
        auto lower = ns::cast<ui::View>(padding->firstItem());
        auto upper = ns::cast<ui::View>(padding->secondItem());
        if (!lower || !upper) continue;
        bool lowerVisible = isVisible(*lower);
        bool upperVisible = isVisible(*upper);
        padding->setConstant(lowerVisible && (upperVisible || visibleAbove) ? 4.0 : 0.0);
        visibleAbove = visibleAbove || upperVisible;
    }
}

void sd_KXProgressHUD::layoutSubviews() {
    if (needsUpdateConstraints()) {
        updateConstraintsIfNeeded();
    } else {
        updatePaddingConstraints();
    }
    View::layoutSubviews();
    layoutBezel();
    // Texts set while shown reach the log with the layout they cause.
    if (showStarted_) logShownText();
}

void sd_KXProgressHUD::layoutBezel() {
    if (placingBezel_ || !placement_) return;
    placingBezel_ = true;
    const Placement& p = *placement_;
    const cg::Rect host = bounds();
    const double marginX = constantOf(p.marginX);
    const double marginY = constantOf(p.marginY);
    const double maxWidth = std::max(0.0, host.width() - 2 * marginX);
    const double maxHeight = std::max(0.0, host.height() - 2 * marginY);

    // What each stacked view takes, and the bezel around them.
    std::vector<cg::Size> sizes(p.stack.size());
    double width = 0;
    double contentHeight = 0;
    for (size_t i = 0; i < p.stack.size(); ++i) {
        const auto& view = p.stack[i];
        double side = constantOf(p.sideMargins[i]);
        bool spacer = view == topSpacer_ || view == bottomSpacer_;
        sizes[i] = spacer ? cg::Size{0, 0} : fittedSize(*view, maxWidth - 2 * side);
        width = std::max(width, sizes[i].width + 2 * side);
        contentHeight += sizes[i].height;
    }
    for (const auto& padding : paddingConstraints_) contentHeight += padding->constant();
    const double spacerMin = std::max(constantOf(p.topSpacerHeight), constantOf(p.bottomSpacerHeight));
    contentHeight += 2 * spacerMin;

    const double requiredWidth = width;
    double height = contentHeight;
    width = std::max(width, constantOf(p.minWidth));
    height = std::max(height, constantOf(p.minHeight));
    if (p.square) {
        // Yields to the margins inside the HUD.
        double side = std::min(std::max(width, height), maxWidth);
        width = std::max(width, side);
        height = std::max(height, side);
    }
    width = std::max(requiredWidth, std::min(width, maxWidth));
    height = std::max(contentHeight, std::min(height, maxHeight));

    auto clampCentre = [](double centre, double low, double high) {
        return low <= high ? std::clamp(centre, low, high) : (low + high) / 2;
    };
    double centerX = clampCentre(host.midX() + constantOf(p.centerX), host.minX() + marginX + width / 2,
                                 host.maxX() - marginX - width / 2);
    double centerY = clampCentre(host.midY() + constantOf(p.centerY), host.minY() + marginY + height / 2,
                                 host.maxY() - marginY - height / 2);
    bezelView_->setBounds({bezelView_->bounds().origin, {width, height}});
    bezelView_->setCenter({centerX, centerY});

    // The spacers share what the content leaves over, centring it.
    const double spacerHeight = spacerMin + (height - contentHeight) / 2;
    const cg::Rect inner = bezelView_->bounds();
    double y = inner.minY();
    for (size_t i = 0; i < p.stack.size(); ++i) {
        const auto& view = p.stack[i];
        if (i > 0 && i - 1 < paddingConstraints_.size()) y += paddingConstraints_[i - 1]->constant();
        cg::Size size = sizes[i];
        if (view == topSpacer_ || view == bottomSpacer_) size.height = spacerHeight;
        view->setBounds({view->bounds().origin, size});
        cg::Point anchor = view->layer()->anchorPoint();
        view->setCenter({inner.midX() - size.width / 2 + anchor.x * size.width, y + anchor.y * size.height});
        y += size.height;
    }
    placingBezel_ = false;
}
