#pragma once
// Stands in for the host's network while it exists: every reachability reads
// its flags from here, and changes are announced when the test says so. It
// starts with every target reachable (ns::ReachabilityFlagsReachable).
//
// Callbacks go through the run loop or queue each reachability is scheduled
// on, as with the real source; run the task environment to see them.

#include <map>
#include <memory>
#include <string>

#include "platform/foundation/ReachabilitySource.h"

namespace testing {

class FakeReachability {
public:
    FakeReachability();
    ~FakeReachability();
    FakeReachability(const FakeReachability&) = delete;
    FakeReachability& operator=(const FakeReachability&) = delete;

    // For every target without flags of its own. Scheduled reachabilities
    // whose flags change call back.
    void setFlags(ns::ReachabilityFlags flags);
    // For one host name or numeric address ("0.0.0.0" is the network at large).
    void setFlagsForHost(const std::string& host, ns::ReachabilityFlags flags);
    // As if the system announced a change that changed nothing: every
    // scheduled reachability calls back with its flags.
    void fireChange();

    // How many times flags were read, by getFlags() or a recheck.
    int readCount() const;

private:
    class Source;
    std::shared_ptr<Source> source_;
};

}  // namespace testing
