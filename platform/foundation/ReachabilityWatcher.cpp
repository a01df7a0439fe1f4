#include "platform/foundation/ReachabilityWatcher.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <mutex>
#include <thread>

#include "platform/foundation/Reachability.h"

namespace ns::detail {
namespace {

struct WatcherState {
    std::mutex lock;
    bool running = false;
    int wakeFd = -1;
};

// Never destroyed: the detached thread may outlive static destruction.
WatcherState& watcher() {
    static WatcherState* state = new WatcherState;
    return *state;
}

int openRoutingSocket() {
    int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    if (fd < 0) return -1;
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_ROUTE;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// What the messages say does not matter: any change may change any target's
// flags, and reading them again is cheap.
bool drain(int fd) {
    bool any = false;
    char buffer[8192];
    while (true) {
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n > 0) any = true;
        // ENOBUFS: the kernel dropped messages because we were slow; that
        // still means something changed.
        else if (n < 0 && errno == ENOBUFS) any = true;
        else if (!(n < 0 && errno == EINTR)) return any;
    }
}

void run(int wakeFd) {
    // Without a routing socket (a sandbox that forbids it) the thread still
    // takes first readings; it just hears of no changes.
    int routing = openRoutingSocket();
    while (true) {
        pollfd fds[2] = {{wakeFd, POLLIN, 0}, {routing, POLLIN, 0}};
        if (::poll(fds, routing >= 0 ? 2 : 1, -1) < 0 && errno != EINTR) break;
        std::uint64_t count;
        while (::read(wakeFd, &count, sizeof count) > 0) {
        }
        if (routing >= 0 && drain(routing)) {
            // One change arrives as a burst of messages: let it settle so the
            // flags are read once, after it.
            while (::poll(&fds[1], 1, 100) > 0) drain(routing);
        }
        {
            WatcherState& state = watcher();
            std::lock_guard guard(state.lock);
            if (!Reachability::hasScheduled()) {
                state.running = false;
                state.wakeFd = -1;
                break;
            }
        }
        Reachability::recheckScheduled(false);
    }
    if (routing >= 0) ::close(routing);
    ::close(wakeFd);
}

}  // namespace

void ReachabilityWatcher::ensureRunning() {
    WatcherState& state = watcher();
    std::lock_guard guard(state.lock);
    if (!state.running) {
        int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (fd < 0) return;
        state.running = true;
        state.wakeFd = fd;
        std::thread(run, fd).detach();
    }
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t written = ::write(state.wakeFd, &one, sizeof one);
}

void ReachabilityWatcher::wake() {
    WatcherState& state = watcher();
    std::lock_guard guard(state.lock);
    if (!state.running) return;
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t written = ::write(state.wakeFd, &one, sizeof one);
}

}  // namespace ns::detail
