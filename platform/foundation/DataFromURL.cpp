// The blocking read of a URL's bytes: a file URL is read from disk, any other
// one is fetched with a GET on a transport of its own and the caller's thread
// waits for the whole body.

#include <future>
#include <memory>
#include <string>

#include "platform/foundation/CurlTransport.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/String.h"
#include "platform/foundation/URL.h"

namespace ns {

namespace {

class WholeBody : public detail::CurlTransferClient {
public:
    void transferReceivedHead(int status, std::string, std::vector<HTTPHeaderFields::Field>) override {
        status_ = status;
    }
    bool transferReceivedBody(const char* bytes, size_t length) override {
        body_.append(bytes, length);
        return true;
    }
    void transferSentBody(int64_t) override {}
    int64_t transferReadBody(char*, size_t) override { return 0; }
    bool transferShouldTrustServer(std::vector<sec::CertificateRef>) override { return true; }
    void transferFinished(const detail::CurlOutcome& outcome) override {
        const bool ok = outcome.curlCode == 0 && status_ >= 200 && status_ < 300;
        done_.set_value(ok ? Data::withBytes(body_) : nullptr);
    }
    std::future<Ref<Data>> result() { return done_.get_future(); }

private:
    int status_ = 0;
    std::string body_;
    std::promise<Ref<Data>> done_;
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
    auto client = std::make_shared<WholeBody>();
    auto result = client->result();
    // A transport of its own: its worker ends with this call.
    detail::CurlTransport transport(1);
    detail::CurlTransferSpec transfer;
    transfer.url = address->utf8();
    transport.post([&transport, transfer, client]() mutable { transport.start(std::move(transfer), client); });
    return result.get();
}

}  // namespace ns
