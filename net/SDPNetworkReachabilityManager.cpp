#include "net/SDPNetworkReachabilityManager.h"

#include <netinet/in.h>

#include <cstring>

#include "platform/dispatch/Queue.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Number.h"

RT_DEFINE_CLASS(SDPNetworkReachabilityManager, ns::Object, "SDPNetworkReachabilityManager")

ns::Ref<ns::String> SDPStringFromReachabilityStatus(int64_t status) {
    const char* text = "Unknown";
    switch (status) {
    case SDPNetworkReachabilityStatusNotReachable: text = "Not Reachable"; break;
    case SDPNetworkReachabilityStatusReachableViaWWAN: text = "Reachable via WWAN"; break;
    case SDPNetworkReachabilityStatusReachableViaWiFi: text = "Reachable via WiFi"; break;
    default: break;
    }
    return ns::Bundle::mainBundle()->localizedStringForKey(ns::String::make(text), ns::String::make(""),
                                                           ns::String::make("SDPNetworking"));
}

int64_t SDPNetworkReachabilityStatusForFlags(ns::ReachabilityFlags flags) {
    const bool reachable = (flags & ns::ReachabilityFlagsReachable) != 0;
    const bool needsConnection = (flags & ns::ReachabilityFlagsConnectionRequired) != 0;
    const bool connectsAutomatically =
        (flags & (ns::ReachabilityFlagsConnectionOnDemand | ns::ReachabilityFlagsConnectionOnTraffic)) != 0;
    const bool connectsWithoutUser =
        connectsAutomatically && (flags & ns::ReachabilityFlagsInterventionRequired) == 0;
    if (!reachable || (needsConnection && !connectsWithoutUser)) return SDPNetworkReachabilityStatusNotReachable;
    if (flags & ns::ReachabilityFlagsIsWWAN) return SDPNetworkReachabilityStatusReachableViaWWAN;
    return SDPNetworkReachabilityStatusReachableViaWiFi;
}

ns::Ref<SDPNetworkReachabilityManager> SDPNetworkReachabilityManager::sharedManager() {
    static const ns::Ref<SDPNetworkReachabilityManager> shared = manager();
    return shared;
}

ns::Ref<SDPNetworkReachabilityManager> SDPNetworkReachabilityManager::manager() {
    sockaddr_in zero;
    std::memset(&zero, 0, sizeof zero);
    zero.sin_family = AF_INET;
    return managerForAddress(reinterpret_cast<const sockaddr*>(&zero));
}

ns::Ref<SDPNetworkReachabilityManager> SDPNetworkReachabilityManager::managerForDomain(std::string_view domain) {
    auto reachability = ns::Reachability::createWithName(domain);
    return reachability ? std::make_shared<SDPNetworkReachabilityManager>(std::move(reachability)) : nullptr;
}

ns::Ref<SDPNetworkReachabilityManager> SDPNetworkReachabilityManager::managerForAddress(const sockaddr* address) {
    auto reachability = ns::Reachability::createWithAddress(address);
    return reachability ? std::make_shared<SDPNetworkReachabilityManager>(std::move(reachability)) : nullptr;
}

SDPNetworkReachabilityManager::SDPNetworkReachabilityManager(ns::Ref<ns::Reachability> reachability)
    : reachability_(std::move(reachability)) {}

SDPNetworkReachabilityManager::~SDPNetworkReachabilityManager() {
    std::lock_guard guard(lock_);
    stopMonitoringLocked();
}

int64_t SDPNetworkReachabilityManager::networkReachabilityStatus() const {
    std::lock_guard guard(lock_);
    return status_;
}

bool SDPNetworkReachabilityManager::isReachable() const {
    const int64_t status = networkReachabilityStatus();
    return status == SDPNetworkReachabilityStatusReachableViaWWAN || status == SDPNetworkReachabilityStatusReachableViaWiFi;
}

bool SDPNetworkReachabilityManager::isReachableViaWWAN() const {
    return networkReachabilityStatus() == SDPNetworkReachabilityStatusReachableViaWWAN;
}

bool SDPNetworkReachabilityManager::isReachableViaWiFi() const {
    return networkReachabilityStatus() == SDPNetworkReachabilityStatusReachableViaWiFi;
}

void SDPNetworkReachabilityManager::startMonitoring() {
    uint64_t generation;
    {
        std::lock_guard guard(lock_);
        stopMonitoringLocked();
        if (!reachability_) return;
        monitoring_ = true;
        generation = ++generation_;
    }
    ns::Weak<SDPNetworkReachabilityManager> weakSelf = ref<SDPNetworkReachabilityManager>();
    reachability_->setCallback([weakSelf, generation](ns::ReachabilityFlags flags) {
        if (auto self = weakSelf.lock()) self->report(flags, generation);
    });
    reachability_->scheduleWithRunLoop(dispatch::RunLoop::main(), dispatch::RunLoopMode::Common);

    auto reachability = reachability_;
    dispatch::globalQueue(dispatch::QueuePriority::Background)->async([weakSelf, reachability, generation] {
        ns::ReachabilityFlags flags = 0;
        if (!reachability->getFlags(&flags)) return;
        if (auto self = weakSelf.lock()) self->report(flags, generation);
    });
}

void SDPNetworkReachabilityManager::stopMonitoring() {
    std::lock_guard guard(lock_);
    stopMonitoringLocked();
}

void SDPNetworkReachabilityManager::stopMonitoringLocked() {
    ++generation_;
    if (!monitoring_ || !reachability_) return;
    monitoring_ = false;
    reachability_->unscheduleFromRunLoop(dispatch::RunLoop::main(), dispatch::RunLoopMode::Common);
    reachability_->setCallback(nullptr);
}

void SDPNetworkReachabilityManager::report(ns::ReachabilityFlags flags, uint64_t generation) {
    const int64_t status = SDPNetworkReachabilityStatusForFlags(flags);
    ns::Weak<SDPNetworkReachabilityManager> weakSelf = ref<SDPNetworkReachabilityManager>();
    dispatch::mainQueue()->async([weakSelf, status, generation] {
        auto self = weakSelf.lock();
        if (!self) return;
        StatusBlock block;
        {
            std::lock_guard guard(self->lock_);
            if (generation != self->generation_) return;
            self->status_ = status;
            block = self->statusBlock_;
        }
        if (block) block(status);
        ns::NotificationCenter::defaultCenter()->postNotificationName(
            SDPNetworkingReachabilityDidChangeNotification, nullptr,
            ns::Dictionary::make({{ns::String::make(SDPNetworkingReachabilityNotificationStatusItem),
                                   ns::Number::withLongLong(status)}}));
    });
}

void SDPNetworkReachabilityManager::setReachabilityStatusChangeBlock(StatusBlock block) {
    std::lock_guard guard(lock_);
    statusBlock_ = std::move(block);
}

ns::Ref<ns::String> SDPNetworkReachabilityManager::localizedNetworkReachabilityStatusString() const {
    return SDPStringFromReachabilityStatus(networkReachabilityStatus());
}
