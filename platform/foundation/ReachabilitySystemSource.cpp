#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "platform/foundation/ReachabilitySource.h"

namespace ns {
namespace {

bool isLoopback(const sockaddr* address) {
    if (address->sa_family == AF_INET)
        return (ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr) >> 24) == 127;
    if (address->sa_family == AF_INET6) {
        const in6_addr& a = reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr;
        return IN6_IS_ADDR_LOOPBACK(&a) ||
               (IN6_IS_ADDR_V4MAPPED(&a) && a.s6_addr[12] == 127);
    }
    return false;
}

// True when `address` is in the subnet of `interface`'s address; `equal`
// says whether it is that very address.
bool inSubnet(const sockaddr* address, const ifaddrs* interface, bool* equal) {
    const sockaddr* own = interface->ifa_addr;
    const sockaddr* mask = interface->ifa_netmask;
    if (!own || !mask || own->sa_family != address->sa_family) return false;
    const unsigned char *a, *b, *m;
    std::size_t length;
    if (address->sa_family == AF_INET) {
        a = reinterpret_cast<const unsigned char*>(&reinterpret_cast<const sockaddr_in*>(address)->sin_addr);
        b = reinterpret_cast<const unsigned char*>(&reinterpret_cast<const sockaddr_in*>(own)->sin_addr);
        m = reinterpret_cast<const unsigned char*>(&reinterpret_cast<const sockaddr_in*>(mask)->sin_addr);
        length = 4;
    } else if (address->sa_family == AF_INET6) {
        a = reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr.s6_addr;
        b = reinterpret_cast<const sockaddr_in6*>(own)->sin6_addr.s6_addr;
        m = reinterpret_cast<const sockaddr_in6*>(mask)->sin6_addr.s6_addr;
        length = 16;
    } else {
        return false;
    }
    *equal = std::memcmp(a, b, length) == 0;
    for (std::size_t i = 0; i < length; ++i)
        if ((a[i] & m[i]) != (b[i] & m[i])) return false;
    return true;
}

bool isUsable(const ifaddrs* interface) {
    return interface->ifa_addr && (interface->ifa_flags & IFF_UP) && (interface->ifa_flags & IFF_RUNNING);
}

// The network at large: some interface other than loopback is up with an
// address that can leave the host.
ReachabilityFlags networkFlags() {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return 0;
    bool reachable = false;
    for (const ifaddrs* i = list; i && !reachable; i = i->ifa_next) {
        if (!isUsable(i) || (i->ifa_flags & IFF_LOOPBACK)) continue;
        if (i->ifa_addr->sa_family == AF_INET) reachable = true;
        if (i->ifa_addr->sa_family == AF_INET6 &&
            !IN6_IS_ADDR_LINKLOCAL(&reinterpret_cast<const sockaddr_in6*>(i->ifa_addr)->sin6_addr))
            reachable = true;
    }
    ::freeifaddrs(list);
    return reachable ? ReachabilityFlagsReachable : 0;
}

// Asks the kernel for a route by connecting a datagram socket: nothing is
// sent, and it fails at once when there is no route.
bool hasRoute(const sockaddr* address) {
    sockaddr_storage target{};
    socklen_t length = 0;
    if (address->sa_family == AF_INET) {
        length = sizeof(sockaddr_in);
        std::memcpy(&target, address, length);
        auto& v4 = reinterpret_cast<sockaddr_in&>(target);
        if (v4.sin_port == 0) v4.sin_port = htons(9);
    } else {
        length = sizeof(sockaddr_in6);
        std::memcpy(&target, address, length);
        auto& v6 = reinterpret_cast<sockaddr_in6&>(target);
        if (v6.sin6_port == 0) v6.sin6_port = htons(9);
    }
    int fd = ::socket(address->sa_family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&target), length) == 0;
    ::close(fd);
    return ok;
}

ReachabilityFlags addressFlags(const sockaddr* address) {
    if (address->sa_family != AF_INET && address->sa_family != AF_INET6) return 0;
    constexpr ReachabilityFlags local =
        ReachabilityFlagsReachable | ReachabilityFlagsIsLocalAddress | ReachabilityFlagsIsDirect;
    if (isLoopback(address)) return local;

    bool own = false, direct = false;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) == 0) {
        for (const ifaddrs* i = list; i; i = i->ifa_next) {
            if (!isUsable(i)) continue;
            bool equal = false;
            if (inSubnet(address, i, &equal)) {
                direct = true;
                own = own || equal;
            }
        }
        ::freeifaddrs(list);
    }
    if (own) return local;
    if (!hasRoute(address)) return 0;
    return ReachabilityFlagsReachable | (direct ? ReachabilityFlagsIsDirect : 0);
}

ReachabilityFlags nameFlags(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* results = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &results) != 0) return 0;
    ReachabilityFlags flags = 0;
    for (const addrinfo* r = results; r && !(flags & ReachabilityFlagsReachable); r = r->ai_next)
        flags = addressFlags(r->ai_addr);
    ::freeaddrinfo(results);
    return flags;
}

class SystemSource final : public ReachabilitySource {
public:
    ReachabilityFlags flagsFor(const ReachabilityTarget& target) override {
        if (!target.isAddress()) return nameFlags(target.hostName);
        if (target.isZeroAddress()) return networkFlags();
        return addressFlags(reinterpret_cast<const sockaddr*>(&target.address));
    }
    bool announcesChanges() const override { return false; }
};

}  // namespace

std::shared_ptr<ReachabilitySource> systemReachabilitySource() {
    static std::shared_ptr<ReachabilitySource> source = std::make_shared<SystemSource>();
    return source;
}

}  // namespace ns
