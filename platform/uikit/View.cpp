#include "platform/uikit/View.h"

#include <algorithm>
#include <cstdio>

#include "platform/runtime/Exception.h"
#include "platform/uikit/Appearance.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/GestureRecognizer.h"
#include "platform/uikit/KeyValueObserving.h"
#include "platform/uikit/LayoutConstraint.h"
#include "platform/uikit/MotionEffect.h"
#include "platform/uikit/PlatformMetrics.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/UpdateCycle.h"
#include "platform/uikit/ViewControllerHost.h"
#include "platform/uikit/Window.h"

namespace ui {

namespace {

rt::Property doubleProperty(const char* name, double (View::*get)() const, void (View::*set)(double)) {
    rt::Property p;
    p.name = name;
    p.typeCode = "d";
    p.kind = rt::ValueKind::Double;
    p.attributes = std::string("Td,N,V_") + name;
    p.get = [get](const ns::Object& o) -> rt::Value { return (static_cast<const View&>(o).*get)(); };
    p.set = [set](ns::Object& o, const rt::Value& v) {
        if (auto d = std::get_if<double>(&v)) (static_cast<View&>(o).*set)(*d);
        else if (auto i = std::get_if<int64_t>(&v)) (static_cast<View&>(o).*set)(double(*i));
        else if (auto u = std::get_if<uint64_t>(&v)) (static_cast<View&>(o).*set)(double(*u));
        else if (auto b = std::get_if<bool>(&v)) (static_cast<View&>(o).*set)(*b ? 1 : 0);
        else return false;
        return true;
    };
    return p;
}

rt::Property boolProperty(const char* name, bool (View::*get)() const, void (View::*set)(bool)) {
    rt::Property p;
    p.name = name;
    p.typeCode = "B";
    p.kind = rt::ValueKind::Bool;
    p.attributes = std::string("TB,N,V_") + name;
    p.get = [get](const ns::Object& o) -> rt::Value { return (static_cast<const View&>(o).*get)(); };
    p.set = [set](ns::Object& o, const rt::Value& v) {
        if (auto b = std::get_if<bool>(&v)) (static_cast<View&>(o).*set)(*b);
        else if (auto i = std::get_if<int64_t>(&v)) (static_cast<View&>(o).*set)(*i != 0);
        else if (auto u = std::get_if<uint64_t>(&v)) (static_cast<View&>(o).*set)(*u != 0);
        else if (auto d = std::get_if<double>(&v)) (static_cast<View&>(o).*set)(*d != 0);
        else return false;
        return true;
    };
    return p;
}

rt::Property tagProperty() {
    rt::Property p;
    p.name = "tag";
    p.typeCode = "q";
    p.kind = rt::ValueKind::Signed;
    p.attributes = "Tq,N,V_tag";
    p.get = [](const ns::Object& o) -> rt::Value { return static_cast<const View&>(o).tag(); };
    p.set = [](ns::Object& o, const rt::Value& v) {
        if (auto i = std::get_if<int64_t>(&v)) static_cast<View&>(o).setTag(*i);
        else if (auto u = std::get_if<uint64_t>(&v)) static_cast<View&>(o).setTag(int64_t(*u));
        else if (auto d = std::get_if<double>(&v)) static_cast<View&>(o).setTag(int64_t(*d));
        else return false;
        return true;
    };
    return p;
}

}  // namespace

RT_DEFINE_CLASS(View, Responder, "UIView", tagProperty(), doubleProperty("alpha", &View::alpha, &View::setAlpha),
                boolProperty("hidden", &View::isHidden, &View::setHidden),
                boolProperty("userInteractionEnabled", &View::isUserInteractionEnabled,
                             &View::setUserInteractionEnabled),
                boolProperty("clipsToBounds", &View::clipsToBounds, &View::setClipsToBounds),
                boolProperty("opaque", &View::isOpaque, &View::setOpaque))

// ---- Making ----

View::View() : View(cg::Rect{}, Layer::make()) {}

View::View(const cg::Rect& frame) : View(frame, Layer::make()) {}

View::View(const cg::Rect& frame, ns::Ref<Layer> layer) : layer_(std::move(layer)) {
    if (!layer_) layer_ = Layer::make();
    layer_->view_ = this;
    layer_->setContentsScale(Screen::mainScreen()->scale());
    layer_->setFrame(frame);
    // Like the platform's, a new view waits for its first layout and display.
    layer_->needsDisplay_ = true;
    needsLayout_ = true;
}

View::~View() {
    if (layer_ && layer_->view_ == this) layer_->view_ = nullptr;
    for (const auto& sub : subviews_) {
        if (sub->superview_ == this) sub->superview_ = nullptr;
    }
    for (const auto& recognizer : gestureRecognizers_) {
        if (recognizer->view_ == this) recognizer->view_ = nullptr;
    }
    for (const auto& constraint : constraints_) {
        if (constraint->installedOn_ == this) {
            constraint->installedOn_ = nullptr;
            constraint->active_ = false;
        }
    }
}

ns::Ref<View> View::superview() const {
    return superview_ ? std::static_pointer_cast<View>(superview_->weak_from_this().lock()) : nullptr;
}

ns::Ref<View> View::make(const cg::Rect& frame) { return std::make_shared<View>(frame); }

// ---- Geometry ----

void View::setFrame(const cg::Rect& frame) {
    cg::Size old = bounds().size;
    cg::Rect before = this->frame();
    layer_->setFrame(frame);
    cg::Rect after = this->frame();
    if (before != after && ns::hasObservers(*this, "frame")) {
        ns::didChangeValue(*this, "frame", valueWithRect(before), valueWithRect(after));
    }
    if (bounds().size != old) sizeChanged(old);
}

void View::setBounds(const cg::Rect& bounds) {
    cg::Rect before = this->bounds();
    layer_->setBounds(bounds);
    cg::Rect after = this->bounds();
    if (before == after) return;
    if (ns::hasObservers(*this, "bounds")) {
        ns::didChangeValue(*this, "bounds", valueWithRect(before), valueWithRect(after));
    }
    if (after.size != before.size) sizeChanged(before.size);
}

void View::setCenter(cg::Point center) {
    cg::Point before = this->center();
    layer_->setPosition(center);
    if (before != center && ns::hasObservers(*this, "center")) {
        ns::didChangeValue(*this, "center", valueWithPoint(before), valueWithPoint(center));
    }
}

void View::setTransform(const cg::AffineTransform& transform) {
    cg::AffineTransform before = this->transform();
    layer_->setAffineTransform(transform);
    if (before != transform && ns::hasObservers(*this, "transform")) {
        ns::didChangeValue(*this, "transform", valueWithAffineTransform(before), valueWithAffineTransform(transform));
    }
}

void View::sizeChanged(cg::Size oldSize) {
    if (autoresizesSubviews_) resizeSubviews(oldSize);
    setNeedsLayout();
}

namespace {

// Shares `delta` among the flexible parts of one axis in proportion to their
// current lengths (equally when they are all zero), as the platform does.
void distribute(double delta, double lengths[3], const bool flexible[3], double out[3]) {
    double sum = 0;
    int count = 0;
    for (int i = 0; i < 3; ++i) {
        out[i] = 0;
        if (flexible[i]) {
            sum += lengths[i];
            ++count;
        }
    }
    if (count == 0) return;
    for (int i = 0; i < 3; ++i) {
        if (!flexible[i]) continue;
        out[i] = sum != 0 ? delta * lengths[i] / sum : delta / count;
    }
}

}  // namespace

void View::resizeSubviews(cg::Size oldSize) {
    cg::Size newSize = bounds().size;
    for (const auto& sub : std::vector<ns::Ref<View>>(subviews_)) {
        unsigned mask = sub->autoresizingMask_;
        if (mask == ViewAutoresizingNone || !sub->translatesAutoresizingMask_) continue;
        cg::Rect f = sub->frame();
        double xs[3] = {f.minX(), f.width(), oldSize.width - f.maxX()};
        bool xf[3] = {bool(mask & ViewAutoresizingFlexibleLeftMargin), bool(mask & ViewAutoresizingFlexibleWidth),
                      bool(mask & ViewAutoresizingFlexibleRightMargin)};
        double ys[3] = {f.minY(), f.height(), oldSize.height - f.maxY()};
        bool yf[3] = {bool(mask & ViewAutoresizingFlexibleTopMargin), bool(mask & ViewAutoresizingFlexibleHeight),
                      bool(mask & ViewAutoresizingFlexibleBottomMargin)};
        double dx[3], dy[3];
        distribute(newSize.width - oldSize.width, xs, xf, dx);
        distribute(newSize.height - oldSize.height, ys, yf, dy);
        sub->setFrame({f.minX() + dx[0], f.minY() + dy[0], f.width() + dx[1], f.height() + dy[1]});
    }
}

// ---- Appearance ----

void View::setAlpha(double alpha) {
    double before = this->alpha();
    layer_->setOpacity(alpha);
    if (before != alpha && ns::hasObservers(*this, "alpha")) {
        ns::didChangeValue(*this, "alpha", ns::Number::withDouble(before), ns::Number::withDouble(alpha));
    }
}

void View::setHidden(bool hidden) {
    if (isHidden() == hidden) return;
    layer_->setHidden(hidden);
    if (ns::hasObservers(*this, "hidden")) {
        ns::didChangeValue(*this, "hidden", ns::Number::withBool(!hidden), ns::Number::withBool(hidden));
    }
}

void View::setBackgroundColor(std::optional<cg::Color> color) {
    auto before = backgroundColor();
    layer_->setBackgroundColor(color);
    if (before != color && ns::hasObservers(*this, "backgroundColor")) {
        ns::didChangeValue(*this, "backgroundColor", before ? ns::Id(valueWithColor(*before)) : nullptr,
                           color ? ns::Id(valueWithColor(*color)) : nullptr);
    }
}

cg::Color View::tintColor() const {
    for (const View* v = this; v; v = v->superview_) {
        if (v->tintColor_) return *v->tintColor_;
    }
    return {DefaultTintRed, DefaultTintGreen, DefaultTintBlue, 1};
}

void View::setTintColor(std::optional<cg::Color> color) {
    if (tintColor_ == color) return;
    tintColor_ = color;
    tintChangedInSubtree();
}

void View::tintChangedInSubtree() {
    tintColorDidChange();
    for (const auto& sub : std::vector<ns::Ref<View>>(subviews_)) {
        if (!sub->tintColor_) sub->tintChangedInSubtree();
    }
}

// ---- Hierarchy ----

Window* View::windowRaw() const {
    for (const View* v = this; v; v = v->superview_) {
        if (v->isWindow()) return const_cast<Window*>(static_cast<const Window*>(v));
    }
    return nullptr;
}

ns::Ref<Window> View::window() const {
    Window* w = windowRaw();
    return w ? std::static_pointer_cast<Window>(w->self()) : nullptr;
}

void View::notifyWillMoveToWindow(Window* newWindow) {
    if (!newWindow) {
        auto first = firstResponder();
        if (first && first.get() == this) setFirstResponder(nullptr);
    }
    if (auto controller = owningController()) controller->rootViewWillMoveToWindow(newWindow);
    willMoveToWindow(newWindow);
    for (const auto& sub : std::vector<ns::Ref<View>>(subviews_)) sub->notifyWillMoveToWindow(newWindow);
}

void View::notifyDidMoveToWindow() {
    if (windowRaw()) {
        if (!appearanceApplied_) {
            appearanceApplied_ = true;
            AppearanceRegistry::apply(*this);
        }
        needsLayout_ = true;
        UpdateCycle::viewNeedsLayout(*this);
        if (layer_->needsDisplay()) UpdateCycle::layerNeedsDisplay(*layer_);
        safeAreaInsetsDidChange();
    }
    didMoveToWindow();
    for (const auto& sub : std::vector<ns::Ref<View>>(subviews_)) sub->notifyDidMoveToWindow();
    // After the subviews, so a controller hears of its children's moves first.
    if (auto controller = owningController()) controller->rootViewDidMoveToWindow();
}

void View::insertAt(const ns::Ref<View>& view, size_t index) {
    if (!view) ns::Exception::raise(ns::InvalidArgumentException, "addSubview: nil view");
    if (view.get() == this || isDescendantOfView(view.get())) {
        ns::Exception::raise(ns::InvalidArgumentException, "addSubview: can't add self as subview");
    }
    if (view->isWindow()) {
        ns::Exception::raise(ns::InvalidArgumentException, "addSubview: a window cannot be a subview");
    }
    ns::Ref<View> keep = view;
    View* oldSuper = view->superview_;
    if (oldSuper == this) {
        auto it = std::find(subviews_.begin(), subviews_.end(), view);
        size_t from = size_t(it - subviews_.begin());
        subviews_.erase(it);
        if (from < index && index > 0) --index;
        index = std::min(index, subviews_.size());
        subviews_.insert(subviews_.begin() + std::ptrdiff_t(index), keep);
    } else {
        Window* newWindow = windowRaw();
        Window* oldWindow = view->windowRaw();
        view->willMoveToSuperview(this);
        if (oldWindow != newWindow) view->notifyWillMoveToWindow(newWindow);
        if (oldSuper) {
            oldSuper->willRemoveSubview(view.get());
            oldSuper->detach(*view);
            oldSuper->setNeedsLayout();
        }
        index = std::min(index, subviews_.size());
        subviews_.insert(subviews_.begin() + std::ptrdiff_t(index), keep);
        keep->superview_ = this;
        if (oldWindow != newWindow) keep->notifyDidMoveToWindow();
        keep->didMoveToSuperview();
        didAddSubview(keep.get());
        keep->setNeedsLayout();
    }
    // The layer goes just below the layer of the next subview up, keeping
    // any standalone sublayers where they are.
    size_t pos = size_t(std::find(subviews_.begin(), subviews_.end(), keep) - subviews_.begin());
    ns::Ref<Layer> above = pos + 1 < subviews_.size() ? subviews_[pos + 1]->layer_ : nullptr;
    if (above && above->superlayer().get() == layer_.get()) {
        layer_->insertSublayerBelow(keep->layer_, above);
    } else {
        layer_->addSublayer(keep->layer_);
    }
    setNeedsLayout();
}

void View::detach(View& subview) {
    auto it = std::find_if(subviews_.begin(), subviews_.end(), [&](const auto& v) { return v.get() == &subview; });
    if (it == subviews_.end()) return;
    ns::Ref<View> keep = *it;
    subviews_.erase(it);
    keep->superview_ = nullptr;
    if (keep->layer_->superlayer().get() == layer_.get()) keep->layer_->removeFromSuperlayer();
}

void View::addSubview(const ns::Ref<View>& view) { insertAt(view, subviews_.size()); }

void View::insertSubview(const ns::Ref<View>& view, size_t index) { insertAt(view, index); }

void View::insertSubviewAbove(const ns::Ref<View>& view, const ns::Ref<View>& sibling) {
    auto it = std::find(subviews_.begin(), subviews_.end(), sibling);
    if (!sibling || it == subviews_.end()) return addSubview(view);
    size_t index = size_t(it - subviews_.begin()) + 1;
    insertAt(view, index);
}

void View::insertSubviewBelow(const ns::Ref<View>& view, const ns::Ref<View>& sibling) {
    auto it = std::find(subviews_.begin(), subviews_.end(), sibling);
    if (!sibling || it == subviews_.end()) return addSubview(view);
    insertAt(view, size_t(it - subviews_.begin()));
}

void View::bringSubviewToFront(const ns::Ref<View>& view) {
    if (!view || view->superview().get() != this) return;
    insertAt(view, subviews_.size());
}

void View::sendSubviewToBack(const ns::Ref<View>& view) {
    if (!view || view->superview().get() != this) return;
    insertAt(view, 0);
}

void View::exchangeSubview(size_t index1, size_t index2) {
    if (index1 >= subviews_.size() || index2 >= subviews_.size()) {
        ns::Exception::raise(ns::RangeException, "exchangeSubviewAtIndex: index beyond bounds");
    }
    if (index1 == index2) return;
    std::swap(subviews_[index1], subviews_[index2]);
    // Rebuild the order of the subviews' layers among the sublayers.
    auto a = subviews_[index1]->layer_;
    auto b = subviews_[index2]->layer_;
    const auto& subs = layer_->sublayers();
    auto ia = std::find(subs.begin(), subs.end(), a);
    auto ib = std::find(subs.begin(), subs.end(), b);
    if (ia != subs.end() && ib != subs.end()) {
        size_t pa = size_t(ia - subs.begin());
        size_t pb = size_t(ib - subs.begin());
        layer_->sublayers_[pa] = b;
        layer_->sublayers_[pb] = a;
    }
    setNeedsLayout();
}

void View::removeFromSuperview() {
    View* parent = superview_;
    if (!parent) return;
    auto keep = std::static_pointer_cast<View>(weak_from_this().lock());
    Window* oldWindow = windowRaw();
    parent->willRemoveSubview(this);
    willMoveToSuperview(nullptr);
    if (oldWindow) notifyWillMoveToWindow(nullptr);
    parent->detach(*this);
    parent->setNeedsLayout();
    if (oldWindow) notifyDidMoveToWindow();
    didMoveToSuperview();
}

bool View::isDescendantOfView(const View* view) const {
    if (!view) return false;
    for (const View* v = this; v; v = v->superview_) {
        if (v == view) return true;
    }
    return false;
}

ns::Ref<View> View::viewWithTag(int64_t tag) {
    if (tag_ == tag) return ref<View>();
    for (const auto& sub : subviews_) {
        if (auto found = sub->viewWithTag(tag)) return found;
    }
    return nullptr;
}

void View::willMoveToSuperview(View*) {}
void View::didMoveToSuperview() {}
void View::willMoveToWindow(Window*) {}
void View::didMoveToWindow() {}
void View::didAddSubview(View*) {}
void View::willRemoveSubview(View*) {}

// ---- Coordinates ----

namespace {

const Layer* targetLayer(const View& self, const View* view) {
    if (view) return view->layer().get();
    auto window = self.window();
    return window ? window->layer().get() : nullptr;
}

}  // namespace

cg::Point View::convertPointToView(cg::Point point, const View* view) const {
    return layer_->convertPointToLayer(point, targetLayer(*this, view));
}

cg::Point View::convertPointFromView(cg::Point point, const View* view) const {
    return layer_->convertPointFromLayer(point, targetLayer(*this, view));
}

cg::Rect View::convertRectToView(const cg::Rect& rect, const View* view) const {
    return layer_->convertRectToLayer(rect, targetLayer(*this, view));
}

cg::Rect View::convertRectFromView(const cg::Rect& rect, const View* view) const {
    return layer_->convertRectFromLayer(rect, targetLayer(*this, view));
}

// ---- Hit testing ----

ns::Ref<View> View::hitTest(cg::Point point, Event* event) {
    if (isHidden() || !userInteractionEnabled_ || alpha() < 0.01) return nullptr;
    if (!pointInside(point, event)) return nullptr;
    for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it) {
        ns::Ref<View> sub = *it;
        cg::Point local = sub->layer_->pointFromSuperlayer(point);
        if (auto hit = sub->hitTest(local, event)) return hit;
    }
    return ref<View>();
}

bool View::pointInside(cg::Point point, Event*) { return bounds().containsPoint(point); }

// ---- Drawing ----

void View::drawRect(const cg::Rect&) {}

void View::setNeedsDisplay() { layer_->setNeedsDisplay(); }

void View::setNeedsDisplayInRect(const cg::Rect&) { layer_->setNeedsDisplay(); }

// ---- Responders ----

ns::Ref<ViewControllerBase> View::owningController() const {
    if (auto controller = viewDelegate_.lock()) {
        if (controller->isViewLoaded() && controller->view().get() == this) return controller;
    }
    return nullptr;
}

ns::Ref<Responder> View::nextResponder() const {
    if (auto controller = owningController()) return controller;
    return superview();
}

bool View::becomeFirstResponder() {
    if (!windowRaw()) return false;
    return Responder::becomeFirstResponder();
}

bool View::endEditing(bool force) {
    auto first = std::dynamic_pointer_cast<View>(firstResponder());
    if (!first || !first->isDescendantOfView(this)) return true;
    if (!force) return first->resignFirstResponder();
    first->resignFirstResponderForcibly();
    return true;
}

void View::resignFirstResponderForcibly() {
    if (!resignFirstResponder() && isFirstResponder()) setFirstResponder(nullptr);
}

// ---- Gestures and motion ----

void View::addGestureRecognizer(const ns::Ref<GestureRecognizer>& recognizer) {
    if (!recognizer) return;
    if (recognizer->view_ && recognizer->view_ != this) recognizer->view_->removeGestureRecognizer(recognizer);
    if (std::find(gestureRecognizers_.begin(), gestureRecognizers_.end(), recognizer) != gestureRecognizers_.end()) {
        return;
    }
    gestureRecognizers_.push_back(recognizer);
    recognizer->attachToView(this);
}

bool View::gestureRecognizerShouldBegin(GestureRecognizer&) { return true; }

void View::removeGestureRecognizer(const ns::Ref<GestureRecognizer>& recognizer) {
    auto it = std::find(gestureRecognizers_.begin(), gestureRecognizers_.end(), recognizer);
    if (it == gestureRecognizers_.end()) return;
    gestureRecognizers_.erase(it);
    recognizer->attachToView(nullptr);
}

void View::addMotionEffect(const ns::Ref<MotionEffect>& effect) {
    if (!effect) return;
    if (std::find(motionEffects_.begin(), motionEffects_.end(), effect) == motionEffects_.end()) {
        motionEffects_.push_back(effect);
    }
}

void View::removeMotionEffect(const ns::Ref<MotionEffect>& effect) {
    motionEffects_.erase(std::remove(motionEffects_.begin(), motionEffects_.end(), effect), motionEffects_.end());
}

void View::setMotionEffects(std::vector<ns::Ref<MotionEffect>> effects) {
    motionEffects_.clear();
    for (auto& effect : effects) addMotionEffect(effect);
}

// ---- Description ----

std::string View::description() const {
    cg::Rect f = frame();
    char buf[256];
    int n = std::snprintf(buf, sizeof buf, "<%s: %p; frame = (%g %g; %g %g)", className().c_str(),
                          static_cast<const void*>(this), f.origin.x, f.origin.y, f.size.width, f.size.height);
    std::string out(buf, size_t(std::max(0, n)));
    if (!transform().isIdentity()) {
        cg::AffineTransform t = transform();
        std::snprintf(buf, sizeof buf, "; transform = [%g, %g, %g, %g, %g, %g]", t.a, t.b, t.c, t.d, t.tx, t.ty);
        out += buf;
    }
    if (alpha() != 1) {
        std::snprintf(buf, sizeof buf, "; alpha = %g", alpha());
        out += buf;
    }
    if (isHidden()) out += "; hidden = YES";
    if (tag_ != 0) out += "; tag = " + std::to_string(tag_);
    if (!userInteractionEnabled_) out += "; userInteractionEnabled = NO";
    return out + ">";
}

}  // namespace ui
