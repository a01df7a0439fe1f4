#pragma once
// The aggregation SDK's shared one-second countdowns.
//
// A countdown ticks at once and then every second on the default global
// queue; each tick hops to the main queue, where it either reports the
// remaining time and lowers it by one, or - once nothing is left - cancels
// its timer and finishes. So 5 reports 5, 4, 3, 2, 1 and finishes a second
// after the last report; 0 or less finishes at the first tick.
//
// A countdown may be registered under a non-empty key. A later countdown
// with the same key takes the registry entry but does not stop the earlier
// one, which still runs to its own finish; finished countdowns stay
// registered until replaced or cancelled. Starts, cancels and registry
// queries belong on the main queue.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

class KVTRCountdownTimer;

class KVTRCountdown : public ns::Object {
    RT_DECLARE_CLASS(KVTRCountdown)
public:
    using Progress = std::function<void(double remaining)>;
    using Finish = std::function<void()>;
    // A key that is absent or empty registers nothing.
    using Key = std::optional<std::string_view>;

    KVTRCountdown();
    ~KVTRCountdown() override;

    // The one instance, made on first call from any thread.
    static ns::Ref<KVTRCountdown> shareInstance();

    void countdown(double time, Progress progress, Finish finish, Key timeKey);
    void countdown(double time, Progress progress, Finish finish) {
        countdown(time, std::move(progress), std::move(finish), std::nullopt);
    }
    // The other spellings of the same call.
    void time(double time, Progress timeDown, Finish finish, Key timeKey) {
        countdown(time, std::move(timeDown), std::move(finish), timeKey);
    }
    void time(double time, Progress timeDown, Finish finish) {
        countdown(time, std::move(timeDown), std::move(finish));
    }

    // YES when a countdown (running or finished) is registered under the
    // key; an absent key looks up defaultTimeKey.
    bool isHasRunTimer(Key timeKey) const;
    // Stops the countdown registered under a non-empty key - no further
    // progress or finish call - and forgets it; other keys do nothing.
    void cancelTimer(Key timeKey);

    const std::string& defaultTimeKey() const { return defaultTimeKey_; }
    void setDefaultTimeKey(std::string key) { defaultTimeKey_ = std::move(key); }

    // "hh:mm:ss" of the time truncated to whole seconds (hours may exceed
    // two digits); negative gives "00:00:00".
    ns::Ref<ns::String> createTimeStingWithTime(double time) const;
    // "mm:ss", minutes not reduced to hours (3700 gives "61:40"); negative
    // gives "00:00".
    ns::Ref<ns::String> createMMSS(double time) const;

private:
    std::map<std::string, std::shared_ptr<KVTRCountdownTimer>, std::less<>> timerDictionary_;
    std::string defaultTimeKey_ = "defaultTimeKey";
};
