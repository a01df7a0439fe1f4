// The play-time countdown of players under the daily limit: one tick every
// 10 s from the start, a report every 90 ticks (15 minutes) while time is
// left, and at the first tick with no time left a last report and the
// game-over notice. The tick counts live with the timer's handler.

#include "channel/NSObject+TVLoginAPI.h"
#include "channel/usercenter/TVGameOverView.h"
#include "channel/usercenter/VRQHelperBtn.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Text.h"

namespace {

struct Countdown {
    double budget = 0;         // ticks left, not rounded; one less per tick
    double initialBudget = 0;  // never changes
    int k = 1;                 // the next report's number
};

// The integer value of a reply's text ("2" gives 2; no digits give 0).
int64_t integerOf(const ns::Id& value) { return ns::String::make(ns::textOf(value))->longLongValue(); }

void reportPlayTime() { dispatch::async(dispatch::mainQueue(), [] { TVLoginAPI::doUploadUserOlineTime(); }); }

}  // namespace

void VRQHelperBtn::startTimer() {
    // One account's limit never covers the next, and no report is doubled.
    if (timer_) {
        timer_->cancel();
        timer_.reset();
    }
    if (!loginData_ || !loginData_->isMustRZ) return;
    if (integerOf(loginData_->rzStatus) != 2) return;
    double limit = ns::String::make(ns::textOf(loginData_->lmitTime))->doubleValue();
    double remaining = limit / 1000.0 - ns::Date::now()->timeIntervalSince1970();
    if (remaining <= 0) {
        TVGameOverView::coverTopWindow();
        return;
    }
    loadTimerWithTotal(remaining);
}

void VRQHelperBtn::loadTimerWithTotal(double remainingSeconds) {
    auto state = std::make_shared<Countdown>();
    state->budget = state->initialBudget = remainingSeconds / kTickSeconds;
    auto source = dispatch::TimerSource::create(dispatch::globalQueue());
    timer_ = source;
    source->setTimer(0, kTickSeconds, 0);
    std::weak_ptr<dispatch::TimerSource> weakSource = source;
    ns::Weak<VRQHelperBtn> weakBall = ref<VRQHelperBtn>();
    // A source's handler never runs twice at once, so the state needs no lock.
    source->setEventHandler([state, weakSource, weakBall] {
        if (!weakBall.lock()) return;
        if (state->budget <= 0) {
            if (auto self = weakSource.lock()) self->cancel();
            // One main-queue task: the report goes out before the notice shows.
            dispatch::async(dispatch::mainQueue(), [] {
                TVLoginAPI::doUploadUserOlineTime();
                TVGameOverView::coverTopWindow();
            });
            return;
        }
        if (state->budget == state->initialBudget - static_cast<double>(state->k * kReportTicks)) {
            reportPlayTime();
            ++state->k;
        }
        state->budget -= 1;
    });
    source->resume();
}
