// The blocking read of a URL's bytes: a file URL is read from disk, any other
// one is fetched with a GET on a transport of its own and the caller's thread
// waits for the whole body.
//
// The read is held to what a session's data task is held to: the reply in
// memory is bounded like one of the default configuration (counted after
// content decoding, so a small compressed reply cannot inflate without end),
// the server must pass the default trust evaluation, and the wait is
// announced to the thread pool, so that reads of hosts that trickle or never
// answer do not take every worker from the queues (the pool's hard cap still
// bounds how many workers it starts for them).

#include <future>
#include <memory>
#include <string>

#include "platform/dispatch/ThreadPool.h"
#include "platform/foundation/CurlTransport.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/ServerTrust.h"
#include "platform/foundation/String.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/URLSessionConfiguration.h"
#include "platform/foundation/URLSessionReplyBuffer.h"

namespace ns {

namespace {

constexpr uint64_t ReplyBound = URLSessionConfiguration::DefaultMaximumResponseDataLength;

class WholeBody : public detail::CurlTransferClient {
public:
    explicit WholeBody(std::string host) : host_(std::move(host)) {}

    void transferReceivedHead(int status, std::string, std::vector<HTTPHeaderFields::Field>) override {
        status_ = status;
    }
    bool transferReceivedBody(const char* bytes, size_t length) override {
        if (body_.size() + length > ReplyBound) {
            tooLong_ = true;
            body_.release();
            return false;
        }
        body_.append(bytes, length);
        return true;
    }
    void transferSentBody(int64_t) override {}
    int64_t transferReadBody(char*, size_t) override { return 0; }
    bool transferShouldTrustServer(std::vector<sec::CertificateRef> chain) override {
        auto trust = detail::serverTrust(std::move(chain), host_);
        return trust && detail::passesDefaultEvaluation(*trust, {});
    }
    void transferFinished(const detail::CurlOutcome& outcome) override {
        Outcome result;
        if (tooLong_) {
            result.failure = format("its reply is longer than %llu bytes", (unsigned long long)ReplyBound);
        } else if (outcome.trustRejected) {
            result.failure = "its server is not trusted";
        } else if (outcome.curlCode != 0) {
            result.failure = outcome.message;
        } else if (status_ < 200 || status_ >= 300) {
            result.failure = format("status %d", status_);
        } else {
            // Joined once: at most one of the reply's blocks is held twice.
            result.data = Data::make(body_.take());
        }
        body_.release();
        done_.set_value(std::move(result));
    }

    struct Outcome {
        Ref<Data> data;
        std::string failure;
    };
    std::future<Outcome> result() { return done_.get_future(); }

private:
    std::string host_;
    int status_ = 0;
    bool tooLong_ = false;
    detail::ReplyBuffer body_;
    std::promise<Outcome> done_;
};

}  // namespace

Ref<Data> Data::withContentsOfURL(const Ref<URL>& url) {
    if (!url) return nullptr;
    if (url->isFileURL()) {
        auto path = url->path();
        return path ? withContentsOfFile(path->utf8()) : nullptr;
    }
    auto address = url->absoluteString();
    if (!address) return nullptr;
    auto host = url->host();
    auto client = std::make_shared<WholeBody>(host ? host->utf8() : std::string());
    auto pending = client->result();
    WholeBody::Outcome outcome;
    {
        // A transport of its own: its worker ends with this block.
        detail::CurlTransport transport(1);
        detail::CurlTransferSpec transfer;
        transfer.url = address->utf8();
        transport.post([&transport, transfer, client]() mutable { transport.start(std::move(transfer), client); });
        dispatch::detail::ThreadPool::willBlock();
        outcome = pending.get();
        dispatch::detail::ThreadPool::didUnblock();
    }
    if (!outcome.data) log("Data: no contents of %s: %s", address->utf8(), outcome.failure);
    return outcome.data;
}

}  // namespace ns
