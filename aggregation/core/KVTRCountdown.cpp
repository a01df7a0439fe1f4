#include "aggregation/core/KVTRCountdown.h"

#include <cmath>
#include <cstdint>

#include "platform/dispatch/Queue.h"
#include "platform/dispatch/TimerSource.h"
#include "platform/foundation/Format.h"

// One running countdown. The tick only wakes the main queue, where the count
// is read, reported and lowered: keeping it on one queue means a busy main
// queue can delay a report but never repeat or skip a value.
class KVTRCountdownTimer : public std::enable_shared_from_this<KVTRCountdownTimer> {
public:
    KVTRCountdownTimer(double time, KVTRCountdown::Progress progress, KVTRCountdown::Finish finish)
        : remaining_(time), progress_(std::move(progress)), finish_(std::move(finish)) {}

    void start() {
        source_ = dispatch::TimerSource::create(dispatch::globalQueue(dispatch::QueuePriority::Default));
        source_->setTimer(0, 1.0, 0);
        // The handler keeps this countdown alive until the source is
        // cancelled, registered or not.
        source_->setEventHandler(
            [self = shared_from_this()] { dispatch::mainQueue()->async([self] { self->tickOnMain(); }); });
        source_->resume();
    }

    // Main queue.
    void cancel() {
        if (done_) return;
        done_ = true;
        source_->cancel();
    }

private:
    void tickOnMain() {
        if (done_) return;
        if (remaining_ <= 0) {
            done_ = true;
            source_->cancel();
            if (finish_) finish_();
            return;
        }
        if (progress_) progress_(remaining_);
        remaining_ -= 1.0;
    }

    std::shared_ptr<dispatch::TimerSource> source_;
    // Main queue only, from here on.
    double remaining_;
    bool done_ = false;
    KVTRCountdown::Progress progress_;
    KVTRCountdown::Finish finish_;
};

RT_DEFINE_CLASS(KVTRCountdown, ns::Object, "KVTRCountdown")

namespace {

bool isRegistrable(const KVTRCountdown::Key& key) {
    return key && !key->empty();
}

// Whole seconds toward zero; negative ones clamp to 0 and the huge ones stay
// within the integer.
int64_t wholeSeconds(double time) {
    if (!(time > 0)) return 0;
    if (time >= 9.0e18) return int64_t(9.0e18);
    return int64_t(std::trunc(time));
}

}  // namespace

KVTRCountdown::KVTRCountdown() = default;
KVTRCountdown::~KVTRCountdown() = default;

ns::Ref<KVTRCountdown> KVTRCountdown::shareInstance() {
    static const ns::Ref<KVTRCountdown> instance = std::make_shared<KVTRCountdown>();
    return instance;
}

void KVTRCountdown::countdown(double time, Progress progress, Finish finish, Key timeKey) {
    auto timer = std::make_shared<KVTRCountdownTimer>(time, std::move(progress), std::move(finish));
    // A replaced countdown is only forgotten, never stopped: it still runs
    // to its own finish.
    if (isRegistrable(timeKey)) timerDictionary_.insert_or_assign(std::string(*timeKey), timer);
    timer->start();
}

bool KVTRCountdown::isHasRunTimer(Key timeKey) const {
    if (timerDictionary_.empty()) return false;
    const std::string_view key = timeKey ? *timeKey : std::string_view(defaultTimeKey_);
    return timerDictionary_.find(key) != timerDictionary_.end();
}

void KVTRCountdown::cancelTimer(Key timeKey) {
    if (!isRegistrable(timeKey)) return;
    auto entry = timerDictionary_.find(*timeKey);
    if (entry == timerDictionary_.end()) return;
    entry->second->cancel();
    timerDictionary_.erase(entry);
}

ns::Ref<ns::String> KVTRCountdown::createTimeStingWithTime(double time) const {
    const int64_t t = wholeSeconds(time);
    return ns::String::withFormat("%02lld:%02lld:%02lld", (long long)(t / 3600), (long long)(t % 3600 / 60),
                                  (long long)(t % 60));
}

ns::Ref<ns::String> KVTRCountdown::createMMSS(double time) const {
    const int64_t t = wholeSeconds(time);
    return ns::String::withFormat("%02lld:%02lld", (long long)(t / 60), (long long)(t % 60));
}
