// Layout of views: the layout and constraint-update flags, sizing, the
// constraint solver that View::layoutSubviews runs, anchors and safe areas.

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>

#include "platform/uikit/LayoutAnchor.h"
#include "platform/uikit/LayoutConstraint.h"
#include "platform/uikit/LayoutGuide.h"
#include "platform/uikit/UpdateCycle.h"
#include "platform/uikit/View.h"
#include "platform/uikit/ViewControllerHost.h"
#include "platform/uikit/Window.h"

namespace ui {

// ---- Flags and passes ----

void View::setNeedsLayout() {
    needsLayout_ = true;
    UpdateCycle::viewNeedsLayout(*this);
}

void View::layoutIfNeeded() {
    View* top = this;
    for (auto v = superview(); v; v = v->superview()) {
        if (v->needsLayout_) top = v.get();
    }
    auto keep = top->weak_from_this().lock();
    top->layoutSubtreeIfNeeded();
}

void View::layoutSubtreeIfNeeded() {
    if (needsLayout_) {
        needsLayout_ = false;
        UpdateCycle::noteLayout();
        auto controller = owningController();
        if (controller) controller->viewWillLayoutSubviews();
        layoutSubviews();
        if (controller) controller->viewDidLayoutSubviews();
    }
    for (const auto& sub : std::vector<ns::Ref<View>>(subviews_)) sub->layoutSubtreeIfNeeded();
}

void View::updateConstraints() {}

void View::setNeedsUpdateConstraints() {
    needsUpdateConstraints_ = true;
    UpdateCycle::viewNeedsLayout(*this);
}

void View::updateConstraintsIfNeeded() { updateConstraintsInSubtree(); }

// Leaves first, as the platform updates constraints bottom-up.
void View::updateConstraintsInSubtree() {
    for (const auto& sub : std::vector<ns::Ref<View>>(subviews_)) sub->updateConstraintsInSubtree();
    if (needsUpdateConstraints_) {
        needsUpdateConstraints_ = false;
        updateConstraints();
    }
}

cg::Size View::sizeThatFits(cg::Size) const { return bounds().size; }

void View::sizeToFit() {
    cg::Size size = sizeThatFits(bounds().size);
    cg::Rect f = frame();
    setFrame({f.origin, size});
}

cg::Size View::intrinsicContentSize() const { return {ViewNoIntrinsicMetric, ViewNoIntrinsicMetric}; }

void View::invalidateIntrinsicContentSize() {
    if (auto parent = superview()) parent->setNeedsLayout();
    setNeedsLayout();
}

float View::contentHuggingPriority(LayoutConstraintAxis axis) const { return hugging_[int(axis)]; }

void View::setContentHuggingPriority(float priority, LayoutConstraintAxis axis) { hugging_[int(axis)] = priority; }

float View::contentCompressionResistancePriority(LayoutConstraintAxis axis) const { return compression_[int(axis)]; }

void View::setContentCompressionResistancePriority(float priority, LayoutConstraintAxis axis) {
    compression_[int(axis)] = priority;
}

// ---- Installed constraints ----

void View::addConstraint(const ns::Ref<LayoutConstraint>& constraint) {
    if (!constraint) return;
    if (constraint->installedOn_ && constraint->installedOn_ != this) {
        constraint->installedOn_->removeConstraint(constraint);
    }
    if (std::find(constraints_.begin(), constraints_.end(), constraint) == constraints_.end()) {
        constraints_.push_back(constraint);
    }
    constraint->installedOn_ = this;
    constraint->active_ = true;
    constraint->requestLayout();
}

void View::addConstraints(const std::vector<ns::Ref<LayoutConstraint>>& constraints) {
    for (const auto& c : constraints) addConstraint(c);
}

void View::removeConstraint(const ns::Ref<LayoutConstraint>& constraint) {
    auto it = std::find(constraints_.begin(), constraints_.end(), constraint);
    if (it == constraints_.end()) return;
    constraints_.erase(it);
    constraint->installedOn_ = nullptr;
    constraint->active_ = false;
    constraint->requestLayout();
}

void View::removeConstraints(const std::vector<ns::Ref<LayoutConstraint>>& constraints) {
    for (const auto& c : constraints) removeConstraint(c);
}

// ---- Anchors ----

#define UI_VIEW_ANCHOR(Type, name, attribute) \
    ns::Ref<Type> View::name() { return std::make_shared<Type>(self(), LayoutAttribute::attribute); }

UI_VIEW_ANCHOR(LayoutXAxisAnchor, leadingAnchor, Leading)
UI_VIEW_ANCHOR(LayoutXAxisAnchor, trailingAnchor, Trailing)
UI_VIEW_ANCHOR(LayoutXAxisAnchor, leftAnchor, Left)
UI_VIEW_ANCHOR(LayoutXAxisAnchor, rightAnchor, Right)
UI_VIEW_ANCHOR(LayoutXAxisAnchor, centerXAnchor, CenterX)
UI_VIEW_ANCHOR(LayoutYAxisAnchor, topAnchor, Top)
UI_VIEW_ANCHOR(LayoutYAxisAnchor, bottomAnchor, Bottom)
UI_VIEW_ANCHOR(LayoutYAxisAnchor, centerYAnchor, CenterY)
UI_VIEW_ANCHOR(LayoutDimension, widthAnchor, Width)
UI_VIEW_ANCHOR(LayoutDimension, heightAnchor, Height)

#undef UI_VIEW_ANCHOR

// ---- Safe area ----

namespace {

// How far `safe` lies inside `rect` on each side, clamped to the rect.
cg::EdgeInsets overlap(const cg::Rect& rect, const cg::Rect& safe) {
    auto clamp = [](double v, double max) { return std::clamp(v, 0.0, std::max(0.0, max)); };
    return {clamp(safe.minY() - rect.minY(), rect.height()), clamp(safe.minX() - rect.minX(), rect.width()),
            clamp(rect.maxY() - safe.maxY(), rect.height()), clamp(rect.maxX() - safe.maxX(), rect.width())};
}

}  // namespace

cg::EdgeInsets View::safeAreaInsets() const {
    Window* window = windowRaw();
    if (!window) return {};
    cg::EdgeInsets windowInsets = window->windowSafeAreaInsets();
    if (window == this) return windowInsets;
    cg::Rect safe = windowInsets.insetRect(window->bounds());
    cg::Rect mine = convertRectToView(bounds(), window);
    return overlap(mine, safe);
}

cg::Rect View::safeAreaLayoutFrame() const { return safeAreaInsets().insetRect(bounds()); }

const ns::Ref<LayoutGuide>& View::safeAreaLayoutGuide() {
    if (!safeAreaGuide_) {
        safeAreaGuide_ = std::make_shared<LayoutGuide>();
        safeAreaGuide_->owningView_ = ref<View>();
        safeAreaGuide_->safeArea_ = true;
        safeAreaGuide_->identifier_ = "UIViewSafeAreaLayoutGuide";
    }
    return safeAreaGuide_;
}

void View::safeAreaChangedInSubtree() {
    safeAreaInsetsDidChange();
    setNeedsLayout();
    for (const auto& sub : std::vector<ns::Ref<View>>(subviews_)) sub->safeAreaChangedInSubtree();
}

// ---- The solver ----

namespace {

enum Slot { MinSlot = 0, MaxSlot = 1, CenterSlot = 2, SizeSlot = 3 };

struct AxisSlot {
    int axis;  // 0 horizontal, 1 vertical
    Slot slot;
};

AxisSlot slotOf(LayoutAttribute a) {
    switch (a) {
        case LayoutAttribute::Left:
        case LayoutAttribute::Leading: return {0, MinSlot};
        case LayoutAttribute::Right:
        case LayoutAttribute::Trailing: return {0, MaxSlot};
        case LayoutAttribute::CenterX: return {0, CenterSlot};
        case LayoutAttribute::Width: return {0, SizeSlot};
        case LayoutAttribute::Top:
        case LayoutAttribute::FirstBaseline: return {1, MinSlot};
        case LayoutAttribute::Bottom:
        case LayoutAttribute::LastBaseline: return {1, MaxSlot};
        case LayoutAttribute::CenterY: return {1, CenterSlot};
        case LayoutAttribute::Height: return {1, SizeSlot};
        default: return {0, SizeSlot};
    }
}

double slotValue(const cg::Rect& r, AxisSlot s) {
    if (s.axis == 0) {
        switch (s.slot) {
            case MinSlot: return r.minX();
            case MaxSlot: return r.maxX();
            case CenterSlot: return r.midX();
            case SizeSlot: return r.width();
        }
    }
    switch (s.slot) {
        case MinSlot: return r.minY();
        case MaxSlot: return r.maxY();
        case CenterSlot: return r.midY();
        case SizeSlot: return r.height();
    }
    return 0;
}

struct Candidate {
    Slot slot;
    LayoutRelation relation;
    double value;
    float priority;
};

class ConstraintSolver {
public:
    explicit ConstraintSolver(View& container) : container_(container) {}

    void run() {
        collect();
        if (unknown_.empty()) return;
        std::vector<View*> pending = unknown_;
        while (!pending.empty()) {
            auto ready = std::find_if(pending.begin(), pending.end(), [&](View* v) { return !waitsOnOthers(v); });
            // A cycle between siblings: take the first and let the rest follow.
            if (ready == pending.end()) ready = pending.begin();
            View* view = *ready;
            pending.erase(ready);
            resolve(*view);
            resolved_.push_back(view);
        }
    }

private:
    bool isUnknown(const View* v) const { return std::find(unknown_.begin(), unknown_.end(), v) != unknown_.end(); }
    bool isResolved(const View* v) const {
        return std::find(resolved_.begin(), resolved_.end(), v) != resolved_.end();
    }
    // Placed already, or never placed by this pass.
    bool isKnown(const ns::Id& item) const {
        auto v = ns::cast<View>(item);
        return !v || !isUnknown(v.get()) || isResolved(v.get());
    }

    void addUnique(std::vector<ns::Ref<LayoutConstraint>>& out, const ns::Ref<LayoutConstraint>& c) {
        if (std::find(out.begin(), out.end(), c) == out.end()) out.push_back(c);
    }

    void collect() {
        std::vector<ns::Ref<LayoutConstraint>> all;
        for (const auto& c : container_.constraints()) addUnique(all, c);
        for (auto v = container_.superview(); v; v = v->superview()) {
            for (const auto& c : v->constraints()) addUnique(all, c);
        }
        for (const auto& sub : container_.subviews()) {
            for (const auto& c : sub->constraints()) addUnique(all, c);
        }
        for (const auto& sub : container_.subviews()) {
            if (sub->translatesAutoresizingMaskIntoConstraints()) continue;
            bool involved = false;
            for (const auto& c : all) {
                if (c->isActive() && (c->firstItem().get() == sub.get() || c->secondItem().get() == sub.get())) {
                    involved = true;
                    constraints_.push_back(c);
                }
            }
            if (involved) unknown_.push_back(sub.get());
        }
        std::vector<ns::Ref<LayoutConstraint>> unique;
        for (const auto& c : constraints_) addUnique(unique, c);
        constraints_ = std::move(unique);
    }

    // A view waits while a constraint that places it (it is the first item)
    // refers to a sibling not yet placed; constraints naming it second are
    // used when their first item is known.
    bool waitsOnOthers(const View* view) const {
        for (const auto& c : constraints_) {
            auto a = c->firstItem();
            auto b = c->secondItem();
            if (a.get() == view && b && b.get() != view && !isKnown(b)) return true;
        }
        return false;
    }

    // The item's rect in the container's space.
    cg::Rect rectOf(const ns::Id& item) const {
        if (item.get() == &container_) return container_.bounds();
        if (auto view = ns::cast<View>(item)) {
            if (view->superview().get() == &container_) return view->frame();
            return view->convertRectToView(view->bounds(), &container_);
        }
        if (auto guide = ns::cast<LayoutGuide>(item)) {
            auto owner = guide->owningView();
            if (!owner) return {};
            return owner->convertRectToView(guide->layoutFrame(), &container_);
        }
        return {};
    }

    void resolve(View& view) {
        std::vector<Candidate> axes[2];
        for (const auto& c : constraints_) {
            auto a = c->firstItem();
            auto b = c->secondItem();
            if (a.get() == &view && (!b || b.get() != &view) && (!b || isKnown(b))) {
                AxisSlot s = slotOf(c->firstAttribute());
                double other = b ? slotValue(rectOf(b), slotOf(c->secondAttribute())) : 0;
                double value = b ? other * c->multiplier() + c->constant() : c->constant();
                axes[s.axis].push_back({s.slot, c->relation(), value, c->priority()});
            } else if (b.get() == &view && a && a.get() != &view && isKnown(a) && c->multiplier() != 0) {
                AxisSlot s = slotOf(c->secondAttribute());
                double first = slotValue(rectOf(a), slotOf(c->firstAttribute()));
                double value = (first - c->constant()) / c->multiplier();
                LayoutRelation rel = c->relation();
                // a >= m b + c means b <= (a - c) / m for positive m.
                if (rel != LayoutRelation::Equal && c->multiplier() > 0) {
                    rel = rel == LayoutRelation::GreaterThanOrEqual ? LayoutRelation::LessThanOrEqual
                                                                    : LayoutRelation::GreaterThanOrEqual;
                }
                axes[s.axis].push_back({s.slot, rel, value, c->priority()});
            }
        }
        cg::Rect current = view.frame();
        cg::Size intrinsic = view.intrinsicContentSize();
        double origin[2], size[2];
        for (int axis = 0; axis < 2; ++axis) {
            double currentMin = axis == 0 ? current.minX() : current.minY();
            double currentSize = axis == 0 ? current.width() : current.height();
            double intrinsicSize = axis == 0 ? intrinsic.width : intrinsic.height;
            solveAxis(axes[axis], currentMin, currentSize, intrinsicSize, origin[axis], size[axis]);
        }
        cg::Rect frame(origin[0], origin[1], std::max(0.0, size[0]), std::max(0.0, size[1]));
        cg::Point anchor = view.layer()->anchorPoint();
        view.setBounds({view.bounds().origin, frame.size});
        view.setCenter({frame.minX() + anchor.x * frame.width(), frame.minY() + anchor.y * frame.height()});
    }

    static void solveAxis(std::vector<Candidate>& candidates, double currentMin, double currentSize,
                          double intrinsicSize, double& outMin, double& outSize) {
        std::optional<double> fixed[4];
        float fixedPriority[4] = {0, 0, 0, 0};
        for (const auto& c : candidates) {
            if (c.relation != LayoutRelation::Equal) continue;
            if (!fixed[c.slot] || c.priority > fixedPriority[c.slot]) {
                fixed[c.slot] = c.value;
                fixedPriority[c.slot] = c.priority;
            }
        }
        double size;
        if (fixed[SizeSlot]) size = *fixed[SizeSlot];
        else if (fixed[MinSlot] && fixed[MaxSlot]) size = *fixed[MaxSlot] - *fixed[MinSlot];
        else if (fixed[MinSlot] && fixed[CenterSlot]) size = 2 * (*fixed[CenterSlot] - *fixed[MinSlot]);
        else if (fixed[MaxSlot] && fixed[CenterSlot]) size = 2 * (*fixed[MaxSlot] - *fixed[CenterSlot]);
        else if (intrinsicSize >= 0) size = intrinsicSize;
        else size = currentSize;

        double min;
        if (fixed[MinSlot]) min = *fixed[MinSlot];
        else if (fixed[MaxSlot]) min = *fixed[MaxSlot] - size;
        else if (fixed[CenterSlot]) min = *fixed[CenterSlot] - size / 2;
        else min = currentMin;

        std::stable_sort(candidates.begin(), candidates.end(),
                         [](const Candidate& a, const Candidate& b) { return a.priority < b.priority; });
        for (const auto& c : candidates) {
            if (c.relation == LayoutRelation::Equal) continue;
            bool atLeast = c.relation == LayoutRelation::GreaterThanOrEqual;
            auto violates = [&](double v) { return atLeast ? v < c.value : v > c.value; };
            switch (c.slot) {
                case SizeSlot:
                    if (violates(size)) {
                        if (fixed[MaxSlot] && !fixed[MinSlot]) min -= c.value - size;
                        else if (fixed[CenterSlot] && !fixed[MinSlot]) min -= (c.value - size) / 2;
                        size = c.value;
                    }
                    break;
                case MinSlot:
                    if (violates(min)) {
                        if (fixed[MaxSlot] && !fixed[SizeSlot]) size -= c.value - min;
                        min = c.value;
                    }
                    break;
                case MaxSlot:
                    if (violates(min + size)) {
                        if (fixed[MinSlot] && !fixed[SizeSlot]) size = c.value - min;
                        else min = c.value - size;
                    }
                    break;
                case CenterSlot:
                    if (violates(min + size / 2)) min = c.value - size / 2;
                    break;
            }
        }
        outMin = min;
        outSize = size;
    }

    View& container_;
    std::vector<View*> unknown_;
    std::vector<View*> resolved_;
    std::vector<ns::Ref<LayoutConstraint>> constraints_;
};

}  // namespace

void View::layoutSubviews() {
    if (subviews_.empty()) return;
    ConstraintSolver(*this).run();
}

}  // namespace ui
