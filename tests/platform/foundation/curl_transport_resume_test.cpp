// A transfer resumed from inside one of curl's callbacks, whose client
// refuses what curl held while it was paused: it ends with curl's write
// error as soon as curl's call returns, within the round, though its server
// stalls and curl itself would wait for more.

#include <gtest/gtest.h>

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/foundation/CurlTransport.h"
#include "platform/testing/SilentServer.h"

namespace {

using ns::detail::CurlOutcome;
using ns::detail::CurlTransferClient;
using ns::detail::CurlTransferSpec;
using ns::detail::CurlTransport;

// Half of a body of ten bytes, then nothing: curl reads it with the head.
const char* const stallingReply = "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nheld!";

class Client : public CurlTransferClient {
public:
    Client(CurlTransport& transport, bool pauseOnHead, bool refuseBody)
        : transport_(transport), pauseOnHead_(pauseOnHead), refuseBody_(refuseBody) {}

    // Run once, inside the first call with body bytes.
    std::function<void()> onBody;

    void transferReceivedHead(int, std::string, std::vector<ns::HTTPHeaderFields::Field>) override {
        if (!pauseOnHead_) return;
        transport_.setPaused(id, true);
        paused = true;
    }
    bool transferReceivedBody(const char*, size_t) override {
        if (auto run = std::exchange(onBody, nullptr)) run();
        return !refuseBody_;
    }
    void transferSentBody(int64_t) override {}
    int64_t transferReadBody(char*, size_t) override { return 0; }
    bool transferShouldTrustServer(std::vector<sec::CertificateRef>) override { return false; }
    void transferFinished(const CurlOutcome& outcome) override {
        code = outcome.curlCode;
        finished = true;
    }

    // The worker's own bookkeeping, read by the test once the worker is done
    // with it (flags below, or after the worker ran a command for the test).
    uint64_t id = 0;
    std::atomic<bool> paused{false};
    std::atomic<bool> finished{false};
    std::atomic<int> code{-1};

private:
    CurlTransport& transport_;
    bool pauseOnHead_;
    bool refuseBody_;
};

std::shared_ptr<Client> makeClient(CurlTransport& transport, bool pauseOnHead, bool refuseBody) {
    return std::make_shared<Client>(transport, pauseOnHead, refuseBody);
}

// Worker thread: starts `client`'s transfer of `url`.
void start(CurlTransport& transport, const std::shared_ptr<Client>& client, const std::string& url) {
    CurlTransferSpec spec;
    spec.url = url;
    client->id = transport.start(std::move(spec), client);
}

// Real time, bounded: for work on the transport's worker.
bool waitFor(const std::atomic<bool>& flag) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!flag.load()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

TEST(CurlTransportResumeTest, ResumedInsideAnotherTransfersCallbackEndsWithinTheRound) {
    testing::SilentServer heldHost(stallingReply);
    testing::SilentServer otherHost("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
    // Set on the worker: B's callback resumed A; at the end of that round,
    // whether A had ended.
    std::atomic<bool> resumed{false}, checked{false}, endedInTheRound{false};
    std::shared_ptr<Client> held;
    CurlTransport transport(4, [&] {
        if (resumed && !checked) {
            endedInTheRound = held->finished.load();
            checked = true;
        }
    });
    held = makeClient(transport, true, true);
    auto other = makeClient(transport, false, false);
    other->onBody = [&] {
        transport.setPaused(held->id, false);
        resumed = true;
    };

    transport.post([&] { start(transport, held, heldHost.url("/held")); });
    ASSERT_TRUE(waitFor(held->paused));
    transport.post([&] { start(transport, other, otherHost.url("/other")); });
    ASSERT_TRUE(waitFor(checked));

    EXPECT_TRUE(endedInTheRound) << "the refused transfer was still running when the round ended";
    EXPECT_TRUE(held->finished);
    EXPECT_EQ(held->code, CURLE_WRITE_ERROR);
}

TEST(CurlTransportResumeTest, ResumedInsideAResumingTransfersCallbackEndsAsTheResumeReturns) {
    testing::SilentServer heldHost(stallingReply);
    testing::SilentServer outerHost(stallingReply);
    CurlTransport transport(4);
    auto held = makeClient(transport, true, true);
    // Takes what it held as it resumes, and resumes the other from there.
    auto outer = makeClient(transport, true, false);
    outer->onBody = [&] { transport.setPaused(held->id, false); };

    transport.post([&] { start(transport, held, heldHost.url("/held")); });
    transport.post([&] { start(transport, outer, outerHost.url("/outer")); });
    ASSERT_TRUE(waitFor(held->paused));
    ASSERT_TRUE(waitFor(outer->paused));

    std::promise<bool> endedOnReturn;
    transport.post([&] {
        transport.setPaused(outer->id, false);
        endedOnReturn.set_value(held->finished.load());
    });
    auto answer = endedOnReturn.get_future();
    ASSERT_EQ(answer.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_TRUE(answer.get()) << "the refused transfer was still running when the resume returned";
    EXPECT_EQ(held->code, CURLE_WRITE_ERROR);
    EXPECT_FALSE(outer->finished) << "the one that took its bytes waits for the rest";
}

}  // namespace
