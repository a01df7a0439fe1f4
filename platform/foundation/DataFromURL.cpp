// The blocking read of a URL's bytes: a file URL's regular file is read from
// disk (a device or a FIFO gives nil at once), any other one is fetched with a GET on a transport of its own and the caller's thread
// waits for the whole body.
//
// The read is held to what a session's data task is held to: it follows
// redirects as a data task with no delegate does, the reply in memory is
// bounded like one of the default configuration (counted after content
// decoding, so a small compressed reply cannot inflate without end), the
// server must pass the default trust evaluation, and the wait is announced
// to the thread pool. Beyond that, the limits of BlockingRead.h bound how
// long a read takes, how many wait at once and what they hold together; a
// file's read counts among them as any other.

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "platform/foundation/BlockingRead.h"
#include "platform/foundation/CurlTransport.h"
#include "platform/foundation/FileContents.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/ServerTrust.h"
#include "platform/foundation/String.h"
#include "platform/foundation/ReplyBuffer.h"
#include "platform/foundation/ReplyBudget.h"
#include "platform/foundation/URLRedirects.h"
#include "platform/foundation/URLSessionTaskLoaderSupport.h"

namespace ns {

namespace detail {

namespace {

using SteadyClock = std::chrono::steady_clock;

// The reads in progress, whatever each one's limits.
std::atomic<int> readsInProgress{0};

// Adds `amount` to `total` unless the sum would pass `limit`.
bool addWithin(std::atomic<int>& total, int amount, int limit) {
    int now = total.load();
    do {
        if (amount > limit || now > limit - amount) return false;
    } while (!total.compare_exchange_weak(now, now + amount));
    return true;
}

std::string allReadsFullFailure(const BlockingReadLimits& limits) {
    return format("the blocking reads in progress would hold more than %llu bytes together",
                  (unsigned long long)limits.replies->limit());
}

SteadyClock::time_point now(const BlockingReadLimits& limits) { return limits.clock ? limits.clock() : SteadyClock::now(); }

double secondsUntil(const BlockingReadLimits& limits, SteadyClock::time_point deadline) {
    return std::chrono::duration<double>(deadline - now(limits)).count();
}

// How one GET of a read ended: the body, where a redirect leads, or why
// neither.
struct AttemptOutcome {
    Ref<Data> data;
    std::optional<std::string> location;
    // The redirect was followed before its own body ended.
    bool redirectBodyCut = false;
    int status = 0;
    std::string failure;
};

class Attempt : public CurlTransferClient {
public:
    Attempt(std::string host, const BlockingReadLimits& limits, SteadyClock::time_point deadline)
        : host_(std::move(host)), limits_(limits), deadline_(deadline) {}

    void transferReceivedHead(int status, std::string, std::vector<HTTPHeaderFields::Field> headers) override {
        status_ = status;
        if (!isRedirectStatus(status)) return;
        for (auto& [name, value] : headers) {
            if (HTTPHeaderFields::namesEqual(name, "Location") && !value.empty()) {
                location_ = std::move(value);
                return;
            }
        }
    }
    bool transferReceivedBody(const char* bytes, size_t length) override {
        // A redirect's own body is of no use: let it pass, and past
        // MostRedirectBodyBytes follow the redirect without reading on.
        if (location_) return redirectBody_.pass(length);
        if (body_.size() + length > limits_.bytesPerRead) {
            failure_ = format("its reply is longer than %llu bytes", (unsigned long long)limits_.bytesPerRead);
            releaseBody();
            return false;
        }
        if (!share_.growToOrRelease(body_.size() + length)) {
            failure_ = allReadsFullFailure(limits_);
            releaseBody();
            return false;
        }
        body_.append(bytes, length);
        return true;
    }
    void transferSentBody(int64_t) override {}
    int64_t transferReadBody(char*, size_t) override { return 0; }
    bool transferShouldTrustServer(std::vector<sec::CertificateRef> chain) override {
        auto trust = serverTrust(std::move(chain), host_);
        return trust && passesDefaultEvaluation(*trust, {});
    }
    void transferFinished(const CurlOutcome& outcome) override {
        AttemptOutcome result;
        result.status = status_;
        if (!failure_.empty()) {
            result.failure = failure_;
        } else if (outcome.trustRejected) {
            result.failure = "its server is not trusted";
        } else if (outcome.timedOut) {
            result.failure = secondsUntil(limits_, deadline_) <= 0
                                 ? format("it took longer than %g seconds in all", limits_.totalSeconds)
                                 : std::string("its host stopped answering");
        } else if (outcome.curlCode != 0 && !redirectBody_.cut()) {
            result.failure = outcome.message;
        } else if (location_) {
            result.location = std::move(location_);
            result.redirectBodyCut = redirectBody_.cut();
        } else if (status_ < 200 || status_ >= 300) {
            result.failure = format("status %d", status_);
        } else {
            // Joined once: at most one of the reply's blocks is held twice.
            // This runs on the transport's worker: a whole that cannot be
            // had fails the read, not the process.
            try {
                result.data = Data::make(body_.take());
            } catch (const std::bad_alloc&) {
                result.failure = format("no memory left to join its reply of %zu bytes", body_.size());
            }
        }
        releaseBody();
        done_.set_value(std::move(result));
    }

    std::future<AttemptOutcome> outcome() { return done_.get_future(); }

private:
    void releaseBody() {
        body_.release();
        share_.release();
    }

    std::string host_;
    const BlockingReadLimits limits_;
    const SteadyClock::time_point deadline_;
    int status_ = 0;
    std::optional<std::string> location_;
    RedirectBody redirectBody_;
    std::string failure_;
    ReplyBuffer body_;
    ReplyShare share_{*limits_.replies};
    std::promise<AttemptOutcome> done_;
};

bool isWebURL(const URL& url) {
    const std::string scheme = loading::schemeOf(url);
    return scheme == "http" || scheme == "https";
}

// The bytes of a file URL's regular file, under the read's bounds, or nil
// and why.
Ref<Data> readFile(const URL& url, const BlockingReadLimits& limits, std::string& failure) {
    auto path = url.path();
    if (!path) {
        failure = "it names no file";
        return nullptr;
    }
    // Held only while the bytes are read: the caller owns them after.
    ReplyShare share(*limits.replies);
    bool full = false;
    FileReadFailure why;
    auto data = readRegularFile(path->utf8(), limits.bytesPerRead, [&](uint64_t size) {
        full = !share.growToOrRelease(size);
        return !full;
    }, why);
    failure = full ? allReadsFullFailure(limits) : std::move(why.reason);
    return data;
}

// The body at `url` after any redirects, or nil and why.
Ref<Data> readFollowingRedirects(Ref<URL> url, const BlockingReadLimits& limits, std::string& failure) {
    const auto deadline = now(limits) + std::chrono::duration_cast<SteadyClock::duration>(
                                            std::chrono::duration<double>(limits.totalSeconds));
    // A transport of its own, kept across redirects: its worker ends with
    // this read.
    CurlTransport transport(1);
    for (int redirects = 0;; ++redirects) {
        if (!isWebURL(*url)) {
            failure = "it leads to " + url->absoluteString()->utf8() + ", which is not http or https";
            return nullptr;
        }
        const double left = secondsUntil(limits, deadline);
        if (left <= 0) {
            failure = format("it took longer than %g seconds in all", limits.totalSeconds);
            return nullptr;
        }
        auto host = url->host();
        auto attempt = std::make_shared<Attempt>(host ? host->utf8() : std::string(), limits, deadline);
        auto pending = attempt->outcome();
        CurlTransferSpec transfer;
        transfer.url = url->absoluteString()->utf8();
        transfer.totalTimeout = left;
        transfer.idleTimeout = limits.idleSeconds;
        transport.post([&transport, transfer, attempt]() mutable { transport.start(std::move(transfer), attempt); });
        AttemptOutcome outcome = pending.get();
        if (!outcome.location) {
            failure = std::move(outcome.failure);
            return outcome.data;
        }
        if (outcome.redirectBodyCut)
            log("Data: the blocking read of %s follows its redirect before the redirect's body ends: past %llu bytes "
                "it is not read",
                transfer.url, (unsigned long long)MostRedirectBodyBytes);
        Ref<URL> target = URL::make(*outcome.location, url);
        if (!target) {
            // As a data task does: the redirect itself is the final reply.
            failure = format("status %d", outcome.status);
            return nullptr;
        }
        if (redirects == maxRedirects) {
            failure = format("it redirects more than %d times", maxRedirects);
            return nullptr;
        }
        url = std::move(target);
    }
}

}  // namespace

ReplyBudget& blockingReads() {
    static auto* budget = new ReplyBudget(BytesOfAllBlockingReads);  // outlives the transports at exit
    return *budget;
}

Ref<Data> blockingRead(const Ref<URL>& url, const BlockingReadLimits& limits) {
    auto address = url ? url->absoluteString() : nullptr;
    if (!address) return nullptr;
    if (!addWithin(readsInProgress, 1, limits.concurrentReads)) {
        log("Data: no contents of %s: %d blocking reads already wait, the most that may", address->utf8(),
            limits.concurrentReads);
        return nullptr;
    }
    struct Waiting {
        Waiting() { dispatch::detail::ThreadPool::willBlock(); }
        ~Waiting() {
            dispatch::detail::ThreadPool::didUnblock();
            --readsInProgress;
        }
    };
    std::string failure;
    Ref<Data> data;
    {
        Waiting waiting;
        data = url->isFileURL() ? readFile(*url, limits, failure) : readFollowingRedirects(url, limits, failure);
    }
    if (!data) log("Data: no contents of %s: %s", address->utf8(), failure);
    return data;
}

}  // namespace detail

Ref<Data> Data::withContentsOfURL(const Ref<URL>& url) {
    if (!url) return nullptr;
    return detail::blockingRead(url, {});
}

}  // namespace ns
