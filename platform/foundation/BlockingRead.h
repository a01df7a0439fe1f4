#pragma once
// The limits of the blocking read behind Data::withContentsOfURL, and the
// read itself with limits of the caller's, for tests.
//
// Every read waits on the caller's thread, usually a pool worker, so reads
// of hosts that trickle or never answer must neither wait without end nor
// take every worker from the queues; and what they hold together is bounded,
// whatever their replies inflate to.
//
// Internal to URL loading.

#include <cstdint>

#include "platform/dispatch/ThreadPool.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/URLSessionConfiguration.h"

namespace ns::detail {

struct BlockingReadLimits {
    // Real seconds one read may take in all, redirects included, however
    // often its host sends a byte.
    double totalSeconds = 60;
    // Reads waiting at once, on any thread; one past them gives nil at once.
    // Leaves the pool's last workers to the queues' other work.
    int concurrentReads = dispatch::detail::ThreadPool::HardCap - 4;
    // Reply bytes one read may hold: a default session's bound.
    uint64_t bytesPerRead = URLSessionConfiguration::DefaultMaximumResponseDataLength;
    // Reply bytes all reads in progress may hold together.
    uint64_t bytesOfAllReads = 128ull << 20;
};

// Data::withContentsOfURL for a URL that is not a file's, under `limits`.
// The reads in progress are counted together whatever limits each was given.
Ref<Data> blockingRead(const Ref<URL>& url, const BlockingReadLimits& limits);

}  // namespace ns::detail
