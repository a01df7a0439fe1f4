#include "platform/foundation/Progress.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "platform/runtime/Exception.h"

namespace ns {

RT_DEFINE_CLASS(Progress, Object, "NSProgress")

struct Progress::Observation : Object {
    Key key;
    Observer callback;
    // Cleared on removal, so a delivery already under way skips it.
    std::atomic<bool> active{true};
};

Ref<Progress> Progress::progressWithTotalUnitCount(int64_t totalUnitCount) {
    auto progress = std::make_shared<Progress>();
    progress->total_ = totalUnitCount;
    return progress;
}

Ref<Progress> Progress::progressWithTotalUnitCount(int64_t totalUnitCount, const Ref<Progress>& parent,
                                                   int64_t pendingUnitCount) {
    auto progress = progressWithTotalUnitCount(totalUnitCount);
    if (parent) parent->addChild(progress, pendingUnitCount);
    return progress;
}

int64_t Progress::totalUnitCount() const {
    std::lock_guard lock(lock_);
    return total_;
}

void Progress::setTotalUnitCount(int64_t units) {
    {
        std::lock_guard lock(lock_);
        if (total_ == units) return;
        total_ = units;
    }
    notify(Key::TotalUnitCount);
    fractionMayHaveChanged();
}

int64_t Progress::completedUnitCount() const {
    std::lock_guard lock(lock_);
    return completed_;
}

void Progress::setCompletedUnitCount(int64_t units) {
    {
        std::lock_guard lock(lock_);
        if (completed_ == units) return;
        completed_ = units;
    }
    notify(Key::CompletedUnitCount);
    fractionMayHaveChanged();
}

double Progress::fractionCompleted() const {
    int64_t total, completed;
    std::vector<Child> children;
    {
        std::lock_guard lock(lock_);
        total = total_;
        completed = completed_;
        children = children_;
    }
    if (total <= 0) return 0;
    double units = double(std::max<int64_t>(completed, 0));
    for (const Child& child : children) {
        units += std::clamp(child.progress->fractionCompleted(), 0.0, 1.0) * double(child.pendingUnitCount);
    }
    return units / double(total);
}

bool Progress::isIndeterminate() const {
    std::lock_guard lock(lock_);
    return total_ < 0 || completed_ < 0;
}

bool Progress::isFinished() const {
    std::lock_guard lock(lock_);
    return total_ > 0 && completed_ >= total_;
}

std::string Progress::localizedDescription() const {
    // Rounded half to even, as numbers are shown.
    return std::to_string(int64_t(std::nearbyint(fractionCompleted() * 100))) + "% completed";
}

void Progress::addChild(const Ref<Progress>& child, int64_t pendingUnitCount) {
    if (!child) Exception::raise(InvalidArgumentException, "-[NSProgress addChild:withPendingUnitCount:]: child is nil");
    {
        std::lock_guard lock(child->lock_);
        if (child->hasParent_) {
            Exception::raise(InvalidArgumentException,
                             "-[NSProgress addChild:withPendingUnitCount:]: the child already has a parent");
        }
        child->hasParent_ = true;
        child->parent_ = std::static_pointer_cast<Progress>(weak_from_this().lock());
    }
    bool cancelled, paused;
    {
        std::lock_guard lock(lock_);
        children_.push_back({child, pendingUnitCount});
        cancelled = cancelled_;
        paused = paused_;
    }
    if (cancelled) child->cancel();
    if (paused) child->pause();
    childMayHaveChanged(child.get());
}

bool Progress::isCancellable() const {
    std::lock_guard lock(lock_);
    return cancellable_;
}

void Progress::setCancellable(bool cancellable) {
    std::lock_guard lock(lock_);
    cancellable_ = cancellable;
}

bool Progress::isPausable() const {
    std::lock_guard lock(lock_);
    return pausable_;
}

void Progress::setPausable(bool pausable) {
    std::lock_guard lock(lock_);
    pausable_ = pausable;
}

bool Progress::isCancelled() const {
    std::lock_guard lock(lock_);
    return cancelled_;
}

bool Progress::isPaused() const {
    std::lock_guard lock(lock_);
    return paused_;
}

void Progress::setCancellationHandler(Handler handler) {
    bool runNow;
    {
        std::lock_guard lock(lock_);
        cancellationHandler_ = handler;
        runNow = cancelled_;
    }
    if (runNow && handler) handler();
}

void Progress::setPausingHandler(Handler handler) {
    bool runNow;
    {
        std::lock_guard lock(lock_);
        pausingHandler_ = handler;
        runNow = paused_;
    }
    if (runNow && handler) handler();
}

void Progress::setResumingHandler(Handler handler) {
    std::lock_guard lock(lock_);
    resumingHandler_ = std::move(handler);
}

void Progress::cancel() {
    Handler handler;
    std::vector<Child> children;
    {
        std::lock_guard lock(lock_);
        if (cancelled_) return;
        cancelled_ = true;
        handler = cancellationHandler_;
        children = children_;
    }
    notify(Key::Cancelled);
    if (handler) handler();
    for (const Child& child : children) child.progress->cancel();
}

void Progress::pause() {
    Handler handler;
    std::vector<Child> children;
    {
        std::lock_guard lock(lock_);
        if (paused_) return;
        paused_ = true;
        handler = pausingHandler_;
        children = children_;
    }
    notify(Key::Paused);
    if (handler) handler();
    for (const Child& child : children) child.progress->pause();
}

void Progress::resume() {
    Handler handler;
    std::vector<Child> children;
    {
        std::lock_guard lock(lock_);
        if (!paused_) return;
        paused_ = false;
        handler = resumingHandler_;
        children = children_;
    }
    notify(Key::Paused);
    if (handler) handler();
    for (const Child& child : children) child.progress->resume();
}

Id Progress::addObserver(std::string_view key, Observer observer) {
    auto observation = std::make_shared<Observation>();
    if (key == "fractionCompleted") observation->key = Key::FractionCompleted;
    else if (key == "completedUnitCount") observation->key = Key::CompletedUnitCount;
    else if (key == "totalUnitCount") observation->key = Key::TotalUnitCount;
    else if (key == "cancelled") observation->key = Key::Cancelled;
    else if (key == "paused") observation->key = Key::Paused;
    else Exception::raise(InvalidArgumentException, "NSProgress: no observable key \"" + std::string(key) + "\"");
    observation->callback = std::move(observer);
    std::lock_guard lock(lock_);
    observers_.push_back(observation);
    return observation;
}

void Progress::removeObserver(const Id& token) {
    auto observation = std::dynamic_pointer_cast<Observation>(token);
    if (!observation) return;
    observation->active = false;
    std::lock_guard lock(lock_);
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observation), observers_.end());
}

void Progress::notify(Key key) {
    std::vector<Ref<Observation>> matching;
    {
        std::lock_guard lock(lock_);
        for (const auto& o : observers_) {
            if (o->key == key) matching.push_back(o);
        }
    }
    for (const auto& o : matching) {
        if (o->active && o->callback) o->callback(*this);
    }
}

void Progress::fractionMayHaveChanged() {
    double fraction = fractionCompleted();
    Ref<Progress> parent;
    {
        std::lock_guard lock(lock_);
        if (fraction == lastFraction_) return;
        lastFraction_ = fraction;
        parent = parent_.lock();
    }
    notify(Key::FractionCompleted);
    if (parent) parent->childMayHaveChanged(this);
}

void Progress::childMayHaveChanged(Progress* child) {
    if (child->isFinished()) {
        bool handedOver = false;
        {
            std::lock_guard lock(lock_);
            auto it = std::find_if(children_.begin(), children_.end(),
                                   [&](const Child& c) { return c.progress.get() == child; });
            if (it != children_.end()) {
                completed_ += it->pendingUnitCount;
                children_.erase(it);
                handedOver = true;
            }
        }
        if (handedOver) notify(Key::CompletedUnitCount);
    }
    fractionMayHaveChanged();
}

}  // namespace ns
