#pragma once
// The background thread that listens to the kernel's routing socket for
// interface, address and route changes and then has every scheduled
// reachability read its flags again. It runs while any reachability is
// scheduled and ends by itself when none is left.

namespace ns::detail {

class ReachabilityWatcher {
public:
    // Starts the thread when it is not running, and has it read the flags
    // of every scheduled reachability (quietly recording first readings).
    static void ensureRunning();
    // Has a running thread look again whether it is still needed.
    static void wake();
};

}  // namespace ns::detail
