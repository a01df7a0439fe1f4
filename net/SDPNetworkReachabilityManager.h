#pragma once
// Watches whether a host, an address or the network at large can be reached
// and through which kind of interface. Every report (on the main queue) sets
// the status, calls the status block and posts
// SDPNetworkingReachabilityDidChangeNotification, changed or not.

#include <cstdint>
#include <functional>
#include <mutex>
#include <string_view>
#include <sys/socket.h>

#include "platform/foundation/Reachability.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

enum SDPNetworkReachabilityStatus : int64_t {
    SDPNetworkReachabilityStatusUnknown = -1,
    SDPNetworkReachabilityStatusNotReachable = 0,
    SDPNetworkReachabilityStatusReachableViaWWAN = 1,
    SDPNetworkReachabilityStatusReachableViaWiFi = 2,
};

inline constexpr const char* SDPNetworkingReachabilityDidChangeNotification =
    "com.sdpkit.networking.reachability.change";
inline constexpr const char* SDPNetworkingReachabilityNotificationStatusItem =
    "SDPNetworkingReachabilityNotificationStatusItem";

// The status's English text looked up in the main bundle's "SDPNetworking"
// strings table; values outside 0...2 read as unknown.
ns::Ref<ns::String> SDPStringFromReachabilityStatus(int64_t status);
int64_t SDPNetworkReachabilityStatusForFlags(ns::ReachabilityFlags flags);

class SDPNetworkReachabilityManager : public ns::Object {
    RT_DECLARE_CLASS(SDPNetworkReachabilityManager)
public:
    using StatusBlock = std::function<void(int64_t status)>;

    // Made on first use, kept until exit.
    static ns::Ref<SDPNetworkReachabilityManager> sharedManager();
    // The IPv4 zero address: the network at large.
    static ns::Ref<SDPNetworkReachabilityManager> manager();
    static ns::Ref<SDPNetworkReachabilityManager> managerForDomain(std::string_view domain);
    static ns::Ref<SDPNetworkReachabilityManager> managerForAddress(const sockaddr* address);

    // There is no manager without a reachability: make one through the class
    // methods above.
    explicit SDPNetworkReachabilityManager(ns::Ref<ns::Reachability> reachability);
    ~SDPNetworkReachabilityManager() override;

    const ns::Ref<ns::Reachability>& networkReachability() const { return reachability_; }
    int64_t networkReachabilityStatus() const;
    bool isReachable() const;
    bool isReachableViaWWAN() const;
    bool isReachableViaWiFi() const;

    // Restarts when already monitoring: the callback goes on the main run
    // loop in the common modes, and the current flags are read once in the
    // background.
    void startMonitoring();
    // Nothing is reported after this returns; the status keeps its value.
    void stopMonitoring();

    void setReachabilityStatusChangeBlock(StatusBlock block);
    ns::Ref<ns::String> localizedNetworkReachabilityStatusString() const;

private:
    // On the calling thread; the rest happens on the main queue unless a
    // stop or restart came in between.
    void report(ns::ReachabilityFlags flags, uint64_t generation);
    void stopMonitoringLocked();

    ns::Ref<ns::Reachability> reachability_;
    mutable std::mutex lock_;
    int64_t status_ = SDPNetworkReachabilityStatusUnknown;
    StatusBlock statusBlock_;
    bool monitoring_ = false;
    // Bumped on every start and stop so that reports already on their way
    // from an earlier monitoring are dropped.
    uint64_t generation_ = 0;
};
