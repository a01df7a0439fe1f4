#pragma once
// Whether a host, an address or the network at large can be reached, and how:
// flags in the platform's bits, read on demand, with a callback when they
// change once the reachability is scheduled on a run loop or a queue.
//
// Linux has no dial-up or cellular links, so the system source only ever
// reports Reachable, IsLocalAddress and IsDirect. Change notices come from
// the kernel's routing socket on a background thread, which reads the new
// flags there; the callback runs on the run loop (in the scheduled modes) or
// the queue it was given, and only while the reachability is still
// scheduled. Scheduling records the current flags without a callback.

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>

#include "platform/dispatch/Queue.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/RunLoopMode.h"
#include "platform/foundation/ReachabilitySource.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

class Reachability : public Object {
    RT_DECLARE_CLASS(Reachability)
public:
    using Callback = std::function<void(ReachabilityFlags flags)>;

    // nil for an empty name.
    static Ref<Reachability> createWithName(std::string_view hostName);
    // nil unless `address` is an IPv4 or IPv6 socket address.
    static Ref<Reachability> createWithAddress(const sockaddr* address);

    Reachability() = default;
    ~Reachability() override;

    const ReachabilityTarget& target() const { return target_; }

    // Reads the flags now from the current source. May block on a name lookup.
    bool getFlags(ReachabilityFlags* flags) const;

    // nil removes it.
    bool setCallback(Callback callback);
    // A reachability is scheduled on one run loop (in any of its modes) or one
    // queue at a time: scheduling elsewhere first fails.
    bool scheduleWithRunLoop(dispatch::RunLoop& runLoop, dispatch::RunLoopMode mode);
    bool unscheduleFromRunLoop(dispatch::RunLoop& runLoop, dispatch::RunLoopMode mode);
    // nil unschedules from the queue.
    bool setDispatchQueue(dispatch::QueueRef queue);

    // The fake's hook: nil restores the system's source.
    static void setSourceForTesting(std::shared_ptr<ReachabilitySource> source);
    static std::shared_ptr<ReachabilitySource> currentSource();
    // Reads the flags of every scheduled reachability again and calls back
    // those whose flags changed, or all of them when `always`. Runs on the
    // calling thread.
    static void recheckScheduled(bool always);
    // Whether any reachability is scheduled: the watcher runs while one is.
    static bool hasScheduled();

    std::string description() const override;

private:
    bool isScheduledLocked() const { return runLoop_.lock() != nullptr || queue_ != nullptr; }
    // Reads the flags; calls back when they differ from the last reading (or
    // `always`), records them quietly when there was none.
    void recheck(bool always);
    void deliver(ReachabilityFlags flags);
    void becameScheduled();
    void becameUnscheduled();

    ReachabilityTarget target_;
    mutable std::mutex lock_;
    Callback callback_;
    std::weak_ptr<dispatch::RunLoop> runLoop_;
    unsigned modes_ = 0;
    dispatch::QueueRef queue_;
    // Bumped on every schedule change, so a callback already on its way to
    // a loop or queue does not run after an unschedule.
    std::uint64_t generation_ = 0;
    std::optional<ReachabilityFlags> lastFlags_;
};

}  // namespace ns
