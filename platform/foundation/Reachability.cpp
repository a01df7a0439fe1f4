#include "platform/foundation/Reachability.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/foundation/ReachabilityWatcher.h"

namespace ns {

RT_DEFINE_CLASS(Reachability, Object, "SCNetworkReachability")

namespace {

// Never destroyed: the watcher thread may still look at it while the process
// exits.
struct Registry {
    std::mutex lock;
    std::vector<Weak<Reachability>> scheduled;
    std::shared_ptr<ReachabilitySource> testSource;
};

Registry& registry() {
    static Registry* instance = new Registry;
    return *instance;
}

std::vector<Ref<Reachability>> scheduledNow() {
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    std::vector<Ref<Reachability>> out;
    for (const auto& weak : r.scheduled)
        if (auto strong = weak.lock()) out.push_back(std::move(strong));
    return out;
}

}  // namespace

// ---- ReachabilityTarget ----

bool ReachabilityTarget::isZeroAddress() const {
    if (!isAddress()) return false;
    if (address.ss_family == AF_INET)
        return reinterpret_cast<const sockaddr_in&>(address).sin_addr.s_addr == htonl(INADDR_ANY);
    if (address.ss_family == AF_INET6)
        return IN6_IS_ADDR_UNSPECIFIED(&reinterpret_cast<const sockaddr_in6&>(address).sin6_addr);
    return false;
}

std::string ReachabilityTarget::text() const {
    if (!isAddress()) return hostName;
    char buffer[INET6_ADDRSTRLEN] = "";
    if (address.ss_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(address).sin_addr, buffer, sizeof buffer);
    else if (address.ss_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(address).sin6_addr, buffer, sizeof buffer);
    return buffer;
}

// ---- Reachability ----

Ref<Reachability> Reachability::createWithName(std::string_view hostName) {
    if (hostName.empty()) return nullptr;
    auto reachability = std::make_shared<Reachability>();
    reachability->target_.hostName = std::string(hostName);
    return reachability;
}

Ref<Reachability> Reachability::createWithAddress(const sockaddr* address) {
    if (!address) return nullptr;
    auto reachability = std::make_shared<Reachability>();
    if (address->sa_family == AF_INET) std::memcpy(&reachability->target_.address, address, sizeof(sockaddr_in));
    else if (address->sa_family == AF_INET6) std::memcpy(&reachability->target_.address, address, sizeof(sockaddr_in6));
    else return nullptr;
    return reachability;
}

Reachability::~Reachability() {
    // Expired entries are swept here, so the watcher stops once the last
    // scheduled reachability is gone without being unscheduled.
    {
        Registry& r = registry();
        std::lock_guard guard(r.lock);
        std::erase_if(r.scheduled, [](const Weak<Reachability>& weak) { return weak.expired(); });
    }
    detail::ReachabilityWatcher::wake();
}

bool Reachability::getFlags(ReachabilityFlags* flags) const {
    if (!flags) return false;
    *flags = currentSource()->flagsFor(target_);
    return true;
}

bool Reachability::setCallback(Callback callback) {
    std::lock_guard guard(lock_);
    callback_ = std::move(callback);
    return true;
}

bool Reachability::scheduleWithRunLoop(dispatch::RunLoop& runLoop, dispatch::RunLoopMode mode) {
    {
        std::lock_guard guard(lock_);
        auto current = runLoop_.lock();
        if (queue_ || (current && current.get() != &runLoop)) return false;
        bool wasScheduled = current != nullptr;
        runLoop_ = runLoop.shared_from_this();
        modes_ |= dispatch::detail::modeMask(mode);
        ++generation_;
        if (wasScheduled) return true;
    }
    becameScheduled();
    return true;
}

bool Reachability::unscheduleFromRunLoop(dispatch::RunLoop& runLoop, dispatch::RunLoopMode mode) {
    {
        std::lock_guard guard(lock_);
        auto current = runLoop_.lock();
        if (!current || current.get() != &runLoop) return false;
        modes_ &= ~dispatch::detail::modeMask(mode);
        ++generation_;
        if (modes_ != 0) return true;
        runLoop_.reset();
    }
    becameUnscheduled();
    return true;
}

bool Reachability::setDispatchQueue(dispatch::QueueRef queue) {
    bool was = false, now = false;
    {
        std::lock_guard guard(lock_);
        if (runLoop_.lock()) return false;
        was = queue_ != nullptr;
        queue_ = std::move(queue);
        now = queue_ != nullptr;
        ++generation_;
    }
    if (now && !was) becameScheduled();
    if (was && !now) becameUnscheduled();
    return true;
}

void Reachability::becameScheduled() {
    std::shared_ptr<ReachabilitySource> source;
    {
        Registry& r = registry();
        std::lock_guard guard(r.lock);
        r.scheduled.push_back(ref<Reachability>());
        source = r.testSource;
    }
    if (source && source->announcesChanges()) {
        recheck(false);
    } else {
        // The first reading may wait on the resolver: the watcher takes it.
        detail::ReachabilityWatcher::ensureRunning();
    }
}

void Reachability::becameUnscheduled() {
    {
        std::lock_guard guard(lock_);
        lastFlags_.reset();
    }
    {
        Registry& r = registry();
        std::lock_guard guard(r.lock);
        std::erase_if(r.scheduled, [this](const Weak<Reachability>& weak) {
            auto strong = weak.lock();
            return !strong || strong.get() == this;
        });
    }
    // Lets an idle watcher see that nobody is left and end.
    detail::ReachabilityWatcher::wake();
}

void Reachability::recheck(bool always) {
    ReachabilityFlags flags = currentSource()->flagsFor(target_);
    {
        std::lock_guard guard(lock_);
        if (!isScheduledLocked()) return;
        bool first = !lastFlags_.has_value();
        bool changed = !first && *lastFlags_ != flags;
        lastFlags_ = flags;
        if (!always && !changed) return;
    }
    deliver(flags);
}

void Reachability::deliver(ReachabilityFlags flags) {
    std::shared_ptr<dispatch::RunLoop> runLoop;
    dispatch::QueueRef queue;
    unsigned modes = 0;
    std::uint64_t generation = 0;
    {
        std::lock_guard guard(lock_);
        runLoop = runLoop_.lock();
        queue = queue_;
        modes = modes_;
        generation = generation_;
    }
    Weak<Reachability> weak = ref<Reachability>();
    auto block = [weak, generation, flags] {
        auto self = weak.lock();
        if (!self) return;
        Callback callback;
        {
            std::lock_guard guard(self->lock_);
            if (self->generation_ != generation || !self->isScheduledLocked()) return;
            callback = self->callback_;
        }
        if (callback) callback(flags);
    };
    // The mode values are bit masks, so one mode value names every mode
    // the reachability was scheduled in.
    if (runLoop) runLoop->performBlock(std::move(block), {static_cast<dispatch::RunLoopMode>(modes)});
    else if (queue) queue->async(std::move(block));
}

void Reachability::setSourceForTesting(std::shared_ptr<ReachabilitySource> source) {
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    r.testSource = std::move(source);
}

std::shared_ptr<ReachabilitySource> Reachability::currentSource() {
    {
        Registry& r = registry();
        std::lock_guard guard(r.lock);
        if (r.testSource) return r.testSource;
    }
    return systemReachabilitySource();
}

void Reachability::recheckScheduled(bool always) {
    for (const auto& reachability : scheduledNow()) reachability->recheck(always);
}

bool Reachability::hasScheduled() {
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    std::erase_if(r.scheduled, [](const Weak<Reachability>& weak) { return weak.expired(); });
    return !r.scheduled.empty();
}

std::string Reachability::description() const {
    return "<SCNetworkReachability " + target_.text() + ">";
}

}  // namespace ns
