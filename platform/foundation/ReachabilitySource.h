#pragma once
// Where reachability flags come from. The system's source reads the host's
// interfaces, resolver and routes, and hears of changes from the kernel; a
// test installs a fake one (testing::FakeReachability) instead.

#include <cstdint>
#include <memory>
#include <string>
#include <sys/socket.h>

namespace ns {

using ReachabilityFlags = std::uint32_t;

// The platform's flag bits.
inline constexpr ReachabilityFlags ReachabilityFlagsTransientConnection = 1u << 0;
inline constexpr ReachabilityFlags ReachabilityFlagsReachable = 1u << 1;
inline constexpr ReachabilityFlags ReachabilityFlagsConnectionRequired = 1u << 2;
inline constexpr ReachabilityFlags ReachabilityFlagsConnectionOnTraffic = 1u << 3;
inline constexpr ReachabilityFlags ReachabilityFlagsInterventionRequired = 1u << 4;
inline constexpr ReachabilityFlags ReachabilityFlagsConnectionOnDemand = 1u << 5;
inline constexpr ReachabilityFlags ReachabilityFlagsIsLocalAddress = 1u << 16;
inline constexpr ReachabilityFlags ReachabilityFlagsIsDirect = 1u << 17;
inline constexpr ReachabilityFlags ReachabilityFlagsIsWWAN = 1u << 18;

// A host name, or an IPv4/IPv6 address (the zero address standing for the
// network at large).
struct ReachabilityTarget {
    std::string hostName;  // empty for an address
    sockaddr_storage address{};

    bool isAddress() const { return hostName.empty(); }
    bool isZeroAddress() const;
    // The host name, or the address in numeric form ("0.0.0.0", "::1").
    std::string text() const;
};

class ReachabilitySource {
public:
    virtual ~ReachabilitySource() = default;
    // May block (a name lookup).
    virtual ReachabilityFlags flagsFor(const ReachabilityTarget& target) = 0;
    // True when it announces its own changes through
    // Reachability::recheckScheduled() and the flags are cheap to read; false
    // when a background watcher must listen and read them.
    virtual bool announcesChanges() const = 0;
};

// The host's own, shared for the process.
std::shared_ptr<ReachabilitySource> systemReachabilitySource();

}  // namespace ns
