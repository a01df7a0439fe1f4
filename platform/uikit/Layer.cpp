#include "platform/uikit/Layer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/RunLoopTimer.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/runtime/Exception.h"
#include "platform/uikit/AnimationBatch.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/GraphicsContext.h"
#include "platform/uikit/KeyValueObserving.h"
#include "platform/uikit/Transaction.h"
#include "platform/uikit/UpdateCycle.h"
#include "platform/uikit/View.h"

namespace ui {

RT_DEFINE_CLASS(Layer, ns::Object, "CALayer")

struct Layer::AnimationEntry {
    std::string key;
    ns::Ref<Animation> animation;
    uint64_t serial = 0;
    bool started = false;
    bool stopped = false;
    std::shared_ptr<dispatch::RunLoopTimer> startTimer;
    std::shared_ptr<dispatch::RunLoopTimer> endTimer;

    void invalidateTimers() {
        if (startTimer) startTimer->invalidate();
        if (endTimer) endTimer->invalidate();
        startTimer.reset();
        endTimer.reset();
    }
};

namespace {

ns::Id box(double v) { return ns::Number::withDouble(v); }
ns::Id box(cg::Point v) { return valueWithPoint(v); }
ns::Id box(cg::Size v) { return valueWithSize(v); }
ns::Id box(const cg::Rect& v) { return valueWithRect(v); }
ns::Id box(const Transform3D& v) { return valueWithTransform3D(v); }
ns::Id box(const std::optional<cg::Color>& v) { return v ? ns::Id(valueWithColor(*v)) : nullptr; }

bool same(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }
template <class T>
bool same(const T& a, const T& b) {
    return a == b;
}

void notifyStart(Animation& animation) {
    if (auto delegate = animation.delegate()) delegate->animationDidStart(animation);
}

void notifyStop(Animation& animation, bool finished) {
    if (auto delegate = animation.delegate()) delegate->animationDidStop(animation, finished);
    auto handlers = animation.stopHandlers();
    for (auto& handler : handlers) handler(finished);
}

std::shared_ptr<dispatch::RunLoopTimer> scheduleTimer(double delay, std::function<void()> fire) {
    auto timer = dispatch::RunLoopTimer::create(std::max(0.0, delay), false,
                                                [fire = std::move(fire)](dispatch::RunLoopTimer&) { fire(); });
    dispatch::RunLoop::main().addTimer(timer, dispatch::RunLoopMode::Common);
    return timer;
}

}  // namespace

Layer::Layer() = default;

Layer::~Layer() {
    for (auto& entry : animations_) {
        entry->invalidateTimers();
        if (entry->stopped) continue;
        entry->stopped = true;
        auto animation = entry->animation;
        detail::postToMainLoop([animation] { notifyStop(*animation, false); });
    }
}

// ---- Property changes ----

#define UI_LAYER_CHANGE_VALUE(Type, Param)                                                    \
    void Layer::changeValue(std::string_view key, Type& field, Param value) {                 \
        if (same(field, value)) return;                                                       \
        bool observed = ns::hasObservers(*this, key);                                         \
        bool act = view_ ? view_->shouldAnimateLayerChange(key)                                \
                         : (!superlayer_.expired() && !Transaction::disableActions());        \
        if (!observed && !act) {                                                              \
            field = value;                                                                    \
            return;                                                                           \
        }                                                                                     \
        ns::Id oldValue = box(field);                                                         \
        if (observed) ns::willChangeValueForKey(*this, key, oldValue);                        \
        field = value;                                                                        \
        ns::Id newValue = box(field);                                                         \
        if (act) actionForChange(key, oldValue, newValue);                                    \
        if (observed) ns::didChangeValueForKey(*this, key, newValue);                         \
    }

UI_LAYER_CHANGE_VALUE(double, double)
UI_LAYER_CHANGE_VALUE(cg::Point, cg::Point)
UI_LAYER_CHANGE_VALUE(cg::Size, cg::Size)
UI_LAYER_CHANGE_VALUE(cg::Rect, const cg::Rect&)
UI_LAYER_CHANGE_VALUE(Transform3D, const Transform3D&)
UI_LAYER_CHANGE_VALUE(std::optional<cg::Color>, const std::optional<cg::Color>&)

#undef UI_LAYER_CHANGE_VALUE

void Layer::announce(std::string_view key, const ns::Id& oldValue, const ns::Id& newValue) {
    ns::didChangeValue(*this, key, oldValue, newValue);
}

void Layer::actionForChange(std::string_view key, const ns::Id& oldValue, const ns::Id& newValue) {
    if (view_) {
        view_->recordLayerChange(*this, key, oldValue, newValue);
        return;
    }
    auto animation = BasicAnimation::animationWithKeyPath(std::string(key));
    animation->setFromValue(oldValue);
    animation->setToValue(newValue);
    animation->setDuration(Transaction::animationDuration());
    animation->setTimingFunction(Transaction::animationTimingFunction());
    addAnimation(animation, std::string(key));
}

// ---- Geometry ----

void Layer::setBounds(const cg::Rect& bounds) {
    cg::Size old = bounds_.size;
    changeValue("bounds", bounds_, bounds);
    if (old != bounds_.size) boundsDidChange();
}

void Layer::setPosition(cg::Point position) { changeValue("position", position_, position); }

void Layer::setAnchorPoint(cg::Point anchor) { changeValue("anchorPoint", anchorPoint_, anchor); }

void Layer::setZPosition(double z) { changeValue("zPosition", zPosition_, z); }

void Layer::setTransform(const Transform3D& transform) { changeValue("transform", transform_, transform); }

void Layer::setAffineTransform(const cg::AffineTransform& transform) {
    setTransform({transform, transform_.scaleZ});
}

cg::Point Layer::anchorInBounds() const {
    return {bounds_.origin.x + anchorPoint_.x * bounds_.size.width,
            bounds_.origin.y + anchorPoint_.y * bounds_.size.height};
}

cg::Rect Layer::frame() const {
    cg::Rect local(-anchorPoint_.x * bounds_.size.width, -anchorPoint_.y * bounds_.size.height, bounds_.size.width,
                   bounds_.size.height);
    cg::Rect r = transform_.isIdentity() ? local : transform_.affine.apply(local);
    return r.offsetBy(position_.x, position_.y);
}

void Layer::setFrame(const cg::Rect& frame) {
    cg::Rect f = frame.isNull() ? cg::Rect() : frame.standardized();
    setPosition({f.origin.x + anchorPoint_.x * f.size.width, f.origin.y + anchorPoint_.y * f.size.height});
    setBounds({bounds_.origin, f.size});
}

// ---- Appearance ----

void Layer::setOpacity(double opacity) { changeValue("opacity", opacity_, opacity); }

void Layer::setHidden(bool hidden) {
    if (hidden_ == hidden) return;
    hidden_ = hidden;
    if (ns::hasObservers(*this, "hidden")) {
        announce("hidden", ns::Number::withBool(!hidden), ns::Number::withBool(hidden));
    }
}

void Layer::setCornerRadius(double radius) { changeValue("cornerRadius", cornerRadius_, radius); }

void Layer::setMasksToBounds(bool on) { masksToBounds_ = on; }

void Layer::setBorderWidth(double width) { changeValue("borderWidth", borderWidth_, width); }

void Layer::setBorderColor(std::optional<cg::Color> color) { changeValue("borderColor", borderColor_, color); }

void Layer::setBackgroundColor(std::optional<cg::Color> color) {
    changeValue("backgroundColor", backgroundColor_, color);
}

void Layer::setShadowColor(std::optional<cg::Color> color) { changeValue("shadowColor", shadowColor_, color); }

void Layer::setShadowOpacity(double opacity) { changeValue("shadowOpacity", shadowOpacity_, opacity); }

void Layer::setShadowOffset(cg::Size offset) { changeValue("shadowOffset", shadowOffset_, offset); }

void Layer::setShadowRadius(double radius) { changeValue("shadowRadius", shadowRadius_, radius); }

void Layer::setShadowPath(std::optional<cg::BezierPath> path) { shadowPath_ = std::move(path); }

void Layer::setContents(ns::Ref<cg::Image> image) {
    if (contents_ == image) return;
    ns::Id old = contents_;
    contents_ = std::move(image);
    if (ns::hasObservers(*this, "contents")) announce("contents", old, contents_);
}

void Layer::setMask(ns::Ref<Layer> mask) {
    if (mask && mask.get() == this) ns::Exception::raise(ns::InvalidArgumentException, "setMask: a layer cannot mask itself");
    mask_ = std::move(mask);
}

// ---- Tree ----

void Layer::attach(const ns::Ref<Layer>& layer, size_t index) {
    if (!layer) ns::Exception::raise(ns::InvalidArgumentException, "addSublayer: nil layer");
    if (layer.get() == this || isDescendantOf(*layer)) {
        ns::Exception::raise(ns::InvalidArgumentException, "addSublayer: the layer would contain itself");
    }
    ns::Ref<Layer> keep = layer;
    if (auto old = layer->superlayer()) {
        if (old.get() == this) {
            auto it = std::find(sublayers_.begin(), sublayers_.end(), layer);
            size_t from = size_t(it - sublayers_.begin());
            sublayers_.erase(it);
            if (from < index && index > 0) --index;
        } else {
            old->detachSublayer(layer.get());
        }
    }
    index = std::min(index, sublayers_.size());
    sublayers_.insert(sublayers_.begin() + std::ptrdiff_t(index), keep);
    keep->superlayer_ = ref<Layer>();
    if (keep->needsDisplay_) UpdateCycle::layerNeedsDisplay(*keep);
}

void Layer::detachSublayer(const Layer* layer) {
    auto it = std::find_if(sublayers_.begin(), sublayers_.end(), [&](const auto& l) { return l.get() == layer; });
    if (it == sublayers_.end()) return;
    (*it)->superlayer_.reset();
    sublayers_.erase(it);
}

void Layer::addSublayer(const ns::Ref<Layer>& layer) { attach(layer, sublayers_.size()); }

void Layer::insertSublayer(const ns::Ref<Layer>& layer, size_t index) { attach(layer, index); }

void Layer::insertSublayerBelow(const ns::Ref<Layer>& layer, const ns::Ref<Layer>& sibling) {
    auto it = std::find(sublayers_.begin(), sublayers_.end(), sibling);
    if (!sibling || it == sublayers_.end()) {
        ns::Exception::raise(ns::InvalidArgumentException, "insertSublayer:below: the sibling is not a sublayer");
    }
    attach(layer, size_t(it - sublayers_.begin()));
}

void Layer::insertSublayerAbove(const ns::Ref<Layer>& layer, const ns::Ref<Layer>& sibling) {
    auto it = std::find(sublayers_.begin(), sublayers_.end(), sibling);
    if (!sibling || it == sublayers_.end()) {
        ns::Exception::raise(ns::InvalidArgumentException, "insertSublayer:above: the sibling is not a sublayer");
    }
    attach(layer, size_t(it - sublayers_.begin()) + 1);
}

void Layer::replaceSublayer(const ns::Ref<Layer>& old, const ns::Ref<Layer>& replacement) {
    auto it = std::find(sublayers_.begin(), sublayers_.end(), old);
    if (!old || it == sublayers_.end()) {
        ns::Exception::raise(ns::InvalidArgumentException, "replaceSublayer: the layer is not a sublayer");
    }
    size_t index = size_t(it - sublayers_.begin());
    old->removeFromSuperlayer();
    if (replacement) attach(replacement, index);
}

void Layer::removeFromSuperlayer() {
    if (auto parent = superlayer()) parent->detachSublayer(this);
}

bool Layer::isDescendantOf(const Layer& ancestor) const {
    for (auto p = superlayer(); p; p = p->superlayer()) {
        if (p.get() == &ancestor) return true;
    }
    return false;
}

const Layer* Layer::root() const {
    const Layer* layer = this;
    while (auto parent = layer->superlayer()) layer = parent.get();
    return layer;
}

bool Layer::isInWindow() const {
    const Layer* top = root();
    return top->view_ && top->view_->isWindow();
}

// ---- Coordinates ----

cg::Point Layer::pointToSuperlayer(cg::Point p) const {
    cg::Point a = anchorInBounds();
    cg::Point d{p.x - a.x, p.y - a.y};
    if (!transform_.isIdentity()) d = transform_.affine.apply(d);
    return {position_.x + d.x, position_.y + d.y};
}

cg::Point Layer::pointFromSuperlayer(cg::Point p) const {
    cg::Point d{p.x - position_.x, p.y - position_.y};
    if (!transform_.isIdentity()) d = transform_.affine.inverted().apply(d);
    cg::Point a = anchorInBounds();
    return {d.x + a.x, d.y + a.y};
}

// Each layer's own mapping, root included: a window's layer maps its space
// into screen space, so layers of different windows convert through it.
cg::Point Layer::toRoot(cg::Point p) const {
    for (const Layer* layer = this; layer;) {
        p = layer->pointToSuperlayer(p);
        auto parent = layer->superlayer();
        layer = parent.get();
    }
    return p;
}

cg::Point Layer::fromRoot(cg::Point p) const {
    std::vector<const Layer*> chain;
    for (const Layer* layer = this; layer;) {
        chain.push_back(layer);
        auto parent = layer->superlayer();
        layer = parent.get();
    }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) p = (*it)->pointFromSuperlayer(p);
    return p;
}

cg::Point Layer::convertPointToLayer(cg::Point point, const Layer* layer) const {
    if (layer == this) return point;
    const Layer* target = layer ? layer : root();
    return target->fromRoot(toRoot(point));
}

cg::Point Layer::convertPointFromLayer(cg::Point point, const Layer* layer) const {
    if (layer == this) return point;
    const Layer* source = layer ? layer : root();
    return fromRoot(source->toRoot(point));
}

namespace {

template <class Map>
cg::Rect mapRect(const cg::Rect& rect, const Map& map) {
    if (rect.isNull()) return rect;
    cg::Rect r = rect.standardized();
    cg::Point corners[4] = {{r.minX(), r.minY()}, {r.maxX(), r.minY()}, {r.minX(), r.maxY()}, {r.maxX(), r.maxY()}};
    double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    for (auto c : corners) {
        cg::Point m = map(c);
        minX = std::min(minX, m.x);
        minY = std::min(minY, m.y);
        maxX = std::max(maxX, m.x);
        maxY = std::max(maxY, m.y);
    }
    return {minX, minY, maxX - minX, maxY - minY};
}

}  // namespace

cg::Rect Layer::convertRectToLayer(const cg::Rect& rect, const Layer* layer) const {
    return mapRect(rect, [&](cg::Point p) { return convertPointToLayer(p, layer); });
}

cg::Rect Layer::convertRectFromLayer(const cg::Rect& rect, const Layer* layer) const {
    return mapRect(rect, [&](cg::Point p) { return convertPointFromLayer(p, layer); });
}

// ---- Display ----

void Layer::setNeedsDisplay() {
    needsDisplay_ = true;
    UpdateCycle::layerNeedsDisplay(*this);
}

void Layer::displayIfNeeded() {
    if (needsDisplay_ && isInWindow()) display();
}

void Layer::display() {
    needsDisplay_ = false;
    ++displayCount_;
    displayRecords_.clear();
    if (view_ && view_->displayLayer(*this)) return;
    cg::Size size = bounds_.size;
    // Nothing to draw into: no drawing, no contents.
    if (size.width <= 0 || size.height <= 0) {
        setContents(nullptr);
        return;
    }
    std::shared_ptr<cg::BitmapContext> context;
    if (view_) {
        detail::pushLazyContext(size, contentsScale_, bounds_.origin);
        view_->drawRect(bounds_);
        context = detail::popLazyContext();
    } else {
        context = cg::BitmapContext::create(size, contentsScale_, false);
        if (!context) return;
        context->translateCTM(-bounds_.origin.x, -bounds_.origin.y);
        graphicsPushContext(context);
        drawInContext(*context);
        graphicsPopContext();
    }
    if (!context) return;
    displayRecords_ = context->records();
    if (!displayRecords_.empty() && displayRecords_.front().kind == cg::DrawingRecord::Kind::TranslateCTM) {
        displayRecords_.erase(displayRecords_.begin());
    }
    setContents(context->makeImage());
}

void Layer::drawInContext(cg::BitmapContext&) {}

// ---- Animations ----

void Layer::addAnimation(const ns::Ref<Animation>& animation, std::string key) {
    if (!animation) ns::Exception::raise(ns::InvalidArgumentException, "addAnimation: nil animation");
    auto entry = std::make_shared<AnimationEntry>();
    entry->serial = nextAnimationSerial_++;
    if (key.empty()) key = "animation-" + std::to_string(entry->serial);
    removeAnimationForKey(key);
    entry->key = std::move(key);
    entry->animation = ns::cast<Animation>(animation->copy());
    Transaction::trackAnimation(*entry->animation);

    double now = mediaTime();
    double start = entry->animation->beginTime() > 0 ? entry->animation->beginTime() : now;
    double end = start + entry->animation->activeDuration();
    ns::Weak<Layer> weak = ref<Layer>();
    uint64_t serial = entry->serial;
    entry->startTimer = scheduleTimer(start - now, [weak, serial] {
        if (auto layer = weak.lock()) layer->animationStarted(serial);
    });
    if (std::isfinite(end)) {
        entry->endTimer = scheduleTimer(end - now, [weak, serial] {
            if (auto layer = weak.lock()) layer->animationEnded(serial);
        });
    }
    animations_.push_back(std::move(entry));
}

void Layer::animationStarted(uint64_t serial) {
    auto it = std::find_if(animations_.begin(), animations_.end(), [&](const auto& e) { return e->serial == serial; });
    if (it == animations_.end() || (*it)->started || (*it)->stopped) return;
    auto entry = *it;
    entry->started = true;
    entry->startTimer.reset();
    notifyStart(*entry->animation);
}

void Layer::animationEnded(uint64_t serial) {
    auto it = std::find_if(animations_.begin(), animations_.end(), [&](const auto& e) { return e->serial == serial; });
    if (it == animations_.end() || (*it)->stopped) return;
    auto entry = *it;
    if (!entry->started) animationStarted(serial);
    if (entry->stopped) return;
    entry->stopped = true;
    entry->invalidateTimers();
    if (entry->animation->isRemovedOnCompletion()) {
        animations_.erase(std::find(animations_.begin(), animations_.end(), entry));
    }
    notifyStop(*entry->animation, true);
}

void Layer::stopEntry(std::shared_ptr<AnimationEntry> entry, bool finished) {
    entry->invalidateTimers();
    if (entry->stopped) return;
    entry->stopped = true;
    auto animation = entry->animation;
    detail::postToMainLoop([animation, finished] { notifyStop(*animation, finished); });
}

ns::Ref<Animation> Layer::animationForKey(std::string_view key) const {
    for (const auto& entry : animations_) {
        if (entry->key == key) return entry->animation;
    }
    return nullptr;
}

void Layer::removeAnimationForKey(std::string_view key) {
    auto it = std::find_if(animations_.begin(), animations_.end(), [&](const auto& e) { return e->key == key; });
    if (it == animations_.end()) return;
    auto entry = *it;
    animations_.erase(it);
    stopEntry(entry, false);
}

void Layer::removeAllAnimations() {
    auto entries = std::move(animations_);
    animations_.clear();
    for (auto& entry : entries) stopEntry(entry, false);
}

std::vector<std::string> Layer::animationKeys() const {
    std::vector<std::string> keys;
    keys.reserve(animations_.size());
    for (const auto& entry : animations_) keys.push_back(entry->key);
    return keys;
}

std::string Layer::description() const {
    char buf[160];
    cg::Rect f = frame();
    std::snprintf(buf, sizeof buf, "<%s: %p; frame = %s>", className().c_str(), static_cast<const void*>(this),
                  cg::toString(f).c_str());
    return buf;
}

}  // namespace ui
