#pragma once
// The limits of the blocking read behind Data::withContentsOfURL, and the
// read itself with limits of the caller's, for tests.
//
// Every read waits on the caller's thread, usually a pool worker, so reads
// of hosts that trickle or never answer must neither wait without end nor
// take every worker from the queues; and what they hold together is bounded,
// whatever their replies inflate to.
//
// Data::withContentsOfURL reads under the limits below; tests read under
// limits of their own through blockingRead(), and watch blockingReads().

#include <chrono>
#include <cstdint>
#include <functional>

#include "platform/dispatch/ThreadPool.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/ReplyBudget.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/URLSessionConfiguration.h"

namespace ns::detail {

// What the blocking reads of the app hold together.
ReplyBudget& blockingReads();
constexpr uint64_t BytesOfAllBlockingReads = 128ull << 20;

struct BlockingReadLimits {
    // Real seconds one read may take in all, redirects included, however
    // often its host sends a byte.
    double totalSeconds = 60;
    // Real seconds a read's host may send nothing before the read leaves
    // it ("its host stopped answering"). The read's own, whatever a
    // transport's default: by default its whole time, so a host that never
    // answers is left when the read's time is up, and not before.
    double idleSeconds = 60;
    // Reads waiting at once, on any thread; one past them gives nil at once.
    // Leaves the pool's last workers to the queues' other work.
    int concurrentReads = dispatch::detail::ThreadPool::HardCap - 4;
    // Reply bytes one read may hold: a default session's bound.
    uint64_t bytesPerRead = URLSessionConfiguration::DefaultMaximumResponseDataLength;
    // What the reads in progress hold together, within its limit. Not
    // owned: blockingReads() lives as long as the process, and a test's own
    // outlives its reads.
    ReplyBudget* replies = &blockingReads();
    // What the read's time in all is judged on; the steady clock when
    // unset. Tests move it; the transfers' own time-outs stay on real time.
    std::function<std::chrono::steady_clock::time_point()> clock;
};

// Data::withContentsOfURL for a URL that is not a file's, under `limits`.
// The reads in progress are counted together whatever limits each was given.
Ref<Data> blockingRead(const Ref<URL>& url, const BlockingReadLimits& limits);

}  // namespace ns::detail
