// View animation blocks: the changes a block makes to its views' layers are
// collected while it runs and turned into layer animations when it ends.

#include <cmath>
#include <numbers>
#include <set>
#include <string_view>

#include "platform/uikit/AnimationBatch.h"
#include "platform/uikit/AnimationRecorder.h"
#include "platform/uikit/View.h"

namespace ui {

namespace {

struct Change {
    ns::Weak<View> view;
    ns::Weak<Layer> layer;
    std::string key;
    ns::Id from;
    ns::Id to;
};

struct Context {
    ViewAnimationRecord::Kind kind = ViewAnimationRecord::Kind::Block;
    double duration = 0;
    double delay = 0;
    uint64_t options = 0;
    ViewAnimationCurve curve = ViewAnimationCurve::EaseInOut;
    double dampingRatio = 0;
    double initialVelocity = 0;
    bool disabled = false;  // performWithoutAnimation
    std::vector<Change> changes;
    View::Completion completion;
};

std::vector<Context>& stack() {
    static std::vector<Context> contexts;
    return contexts;
}

bool& enabled() {
    static bool on = true;
    return on;
}

bool isViewAnimatable(std::string_view key) {
    static const std::set<std::string_view> keys = {"position",        "bounds",      "opacity", "transform",
                                                    "backgroundColor", "cornerRadius"};
    return keys.count(key) != 0;
}

ViewAnimationCurve curveOf(uint64_t options) { return ViewAnimationCurve((options >> 16) & 3); }

const char* timingName(ViewAnimationCurve curve) {
    switch (curve) {
        case ViewAnimationCurve::EaseIn: return MediaTimingFunctionEaseIn;
        case ViewAnimationCurve::EaseOut: return MediaTimingFunctionEaseOut;
        case ViewAnimationCurve::Linear: return MediaTimingFunctionLinear;
        default: return MediaTimingFunctionEaseInEaseOut;
    }
}

// Nested blocks take the enclosing block's duration and curve unless they
// override them, as the platform's in-flight inheritance does.
void inherit(Context& context) {
    auto& contexts = stack();
    for (auto it = contexts.rbegin(); it != contexts.rend(); ++it) {
        if (it->disabled) continue;
        if (!(context.options & ViewAnimationOptionOverrideInheritedDuration)) context.duration = it->duration;
        if (!(context.options & ViewAnimationOptionOverrideInheritedCurve)) context.curve = it->curve;
        return;
    }
}

std::string freeKey(const Layer& layer, const std::string& key) {
    if (!layer.animationForKey(key)) return key;
    for (int n = 1;; ++n) {
        std::string candidate = key + "-" + std::to_string(n);
        if (!layer.animationForKey(candidate)) return candidate;
    }
}

ns::Ref<BasicAnimation> makeAnimation(const Context& context, const Change& change, double now) {
    ns::Ref<BasicAnimation> animation;
    if (context.kind == ViewAnimationRecord::Kind::Spring) {
        // The platform's mapping of a damping ratio and duration to a spring
        // of unit mass.
        auto spring = SpringAnimation::animationWithKeyPath(change.key);
        double omega = 2 * std::numbers::pi / context.duration;
        spring->setStiffness(omega * omega);
        spring->setDamping(4 * std::numbers::pi * context.dampingRatio / context.duration);
        spring->setInitialVelocity(context.initialVelocity);
        animation = spring;
    } else {
        animation = BasicAnimation::animationWithKeyPath(change.key);
    }
    animation->setFromValue(change.from);
    animation->setToValue(change.to);
    animation->setDuration(context.duration);
    animation->setTimingFunction(MediaTimingFunction::functionWithName(timingName(context.curve)));
    if (context.delay > 0) {
        animation->setBeginTime(now + context.delay);
        animation->setFillMode(FillModeBackwards);
    }
    if (context.options & ViewAnimationOptionRepeat) animation->setRepeatCount(RepeatForever);
    if (context.options & ViewAnimationOptionAutoreverse) animation->setAutoreverses(true);
    return animation;
}

void open(Context context) {
    if (context.kind != ViewAnimationRecord::Kind::BeginCommit) inherit(context);
    stack().push_back(std::move(context));
}

void close() {
    auto& contexts = stack();
    if (contexts.empty()) return;
    if (!contexts.back().disabled && (contexts.back().options & ViewAnimationOptionLayoutSubviews)) {
        // Layout caused by the block animates with it.
        std::vector<ns::Ref<View>> views;
        for (const auto& change : contexts.back().changes) {
            if (auto v = change.view.lock()) views.push_back(v);
        }
        for (const auto& v : views) v->layoutIfNeeded();
    }
    Context context = std::move(contexts.back());
    contexts.pop_back();
    if (context.disabled) return;

    auto batch = detail::AnimationBatch::make();
    double now = mediaTime();
    bool animate = enabled() && context.duration > 0;
    ViewAnimationRecord record;
    record.kind = context.kind;
    record.duration = context.duration;
    record.delay = context.delay;
    record.options = context.options;
    record.curve = context.curve;
    record.dampingRatio = context.dampingRatio;
    record.initialVelocity = context.initialVelocity;
    record.time = now;
    for (const auto& change : context.changes) {
        record.changes.push_back({change.view, change.key, change.from, change.to});
        auto layer = change.layer.lock();
        if (!animate || !layer) continue;
        auto animation = makeAnimation(context, change, now);
        batch->track(*animation);
        std::string key = change.key;
        if (!(context.options & ViewAnimationOptionBeginFromCurrentState)) key = freeKey(*layer, key);
        layer->addAnimation(animation, key);
    }
    if (enabled()) AnimationRecorder::shared().record(std::move(record));
    auto completion = std::move(context.completion);
    batch->seal([completion](bool finished) {
        if (completion) completion(finished);
    });
}

// Closes the block even when its body throws.
struct CloseOnExit {
    ~CloseOnExit() { close(); }
};

}  // namespace

bool View::shouldAnimateLayerChange(std::string_view key) const {
    auto& contexts = stack();
    if (contexts.empty() || contexts.back().disabled || !enabled()) return false;
    return isViewAnimatable(key) && !weak_from_this().expired();
}

void View::recordLayerChange(Layer& layer, std::string_view key, const ns::Id& from, const ns::Id& to) {
    auto& contexts = stack();
    if (contexts.empty()) return;
    auto& changes = contexts.back().changes;
    for (auto& change : changes) {
        if (change.layer.lock().get() == &layer && change.key == key) {
            change.to = to;
            return;
        }
    }
    auto weakView = std::static_pointer_cast<View>(weak_from_this().lock());
    changes.push_back({weakView, layer.ref<Layer>(), std::string(key), from, to});
}

void View::animate(double duration, double delay, uint64_t options, const Block& animations, Completion completion) {
    Context context;
    context.duration = duration;
    context.delay = delay;
    context.options = options;
    context.curve = curveOf(options);
    context.completion = std::move(completion);
    open(std::move(context));
    CloseOnExit closer;
    if (animations) animations();
}

void View::animate(double duration, const Block& animations, Completion completion) {
    animate(duration, 0, 0, animations, std::move(completion));
}

void View::animateWithSpring(double duration, double delay, double dampingRatio, double initialVelocity,
                             uint64_t options, const Block& animations, Completion completion) {
    Context context;
    context.kind = ViewAnimationRecord::Kind::Spring;
    context.duration = duration;
    context.delay = delay;
    context.options = options;
    context.curve = curveOf(options);
    context.dampingRatio = dampingRatio;
    context.initialVelocity = initialVelocity;
    context.completion = std::move(completion);
    open(std::move(context));
    CloseOnExit closer;
    if (animations) animations();
}

void View::performWithoutAnimation(const Block& changes) {
    Context context;
    context.disabled = true;
    stack().push_back(std::move(context));
    CloseOnExit closer;
    if (changes) changes();
}

bool View::areAnimationsEnabled() { return enabled(); }

void View::setAnimationsEnabled(bool on) { enabled() = on; }

void View::beginAnimations(std::string) {
    Context context;
    context.kind = ViewAnimationRecord::Kind::BeginCommit;
    context.duration = 0.2;
    open(std::move(context));
}

void View::commitAnimations() {
    auto& contexts = stack();
    if (contexts.empty() || contexts.back().kind != ViewAnimationRecord::Kind::BeginCommit) return;
    close();
}

namespace {

Context* bracket() {
    auto& contexts = stack();
    if (contexts.empty() || contexts.back().kind != ViewAnimationRecord::Kind::BeginCommit) return nullptr;
    return &contexts.back();
}

}  // namespace

void View::setAnimationDuration(double seconds) {
    if (auto c = bracket()) c->duration = seconds;
}

void View::setAnimationDelay(double seconds) {
    if (auto c = bracket()) c->delay = seconds;
}

void View::setAnimationCurve(ViewAnimationCurve curve) {
    if (auto c = bracket()) {
        c->curve = curve;
        c->options = (c->options & ~(uint64_t(3) << 16)) | (uint64_t(curve) << 16);
    }
}

void View::setAnimationBeginsFromCurrentState(bool on) {
    if (auto c = bracket()) {
        if (on) c->options |= ViewAnimationOptionBeginFromCurrentState;
        else c->options &= ~uint64_t(ViewAnimationOptionBeginFromCurrentState);
    }
}

}  // namespace ui
