// What the HTTP client's JSON replies become once parsed: counted with the
// reply until its completion has run, within what all replies may hold
// together, the replies past it failing with a clear error; small replies
// load as before, whatever the budget holds.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "net/SDPJSONResponseSerializer.h"
#include "net/SDPURLSessionManager.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/ReplyBudget.h"
#include "platform/foundation/URLError.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/PeakBound.h"
#include "platform/testing/SilentServer.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/net/http_session_support.h"

namespace {

using testing::MiB;

// An array of zeros of about `bytes` bytes, "[0,0,...,0]".
std::string zerosArray(uint64_t bytes) {
    std::string text;
    text.reserve(bytes);
    text += "[0";
    while (text.size() + 3 <= bytes) text += ",0";
    text += "]";
    return text;
}

struct Outcomes {
    std::mutex lock;
    int parsed = 0;
    int refused = 0;
    int other = 0;
    uint64_t elements = 0;

    SDPURLSessionManager::CompletionHandler handler() {
        return [this](const ns::Ref<ns::URLResponse>&, const ns::Id& object, const ns::Ref<ns::Error>& error) {
            std::lock_guard guard(lock);
            if (auto array = ns::cast<ns::Array>(object); array && !error) {
                ++parsed;
                elements = array->count();
            } else if (error && error->domain() == ns::URLErrorDomain &&
                       error->code() == ns::URLErrorDataLengthExceedsMaximum) {
                ++refused;
            } else {
                ++other;
            }
        };
    }
};

class HTTPSessionJSONCostTest : public ::testing::Test {
protected:
    testing::TaskEnvironment env;
    ns::Ref<SDPURLSessionManager> manager;

    // A client reading JSON over as many connections to a host as there
    // are replies at once.
    ns::Ref<SDPURLSessionManager> jsonManager(int connections) {
        auto configuration = httptest::ephemeralConfiguration();
        configuration->setHTTPMaximumConnectionsPerHost(connections);
        auto made = SDPURLSessionManager::make(configuration);
        made->setResponseSerializer(SDPJSONResponseSerializer::serializer());
        return made;
    }
    ~HTTPSessionJSONCostTest() override {
        if (manager) manager->invalidateSessionCancelingTasks(true);
        env.runUntilIdle();
    }
};

// One reply or ten at once of an 8 MiB array of zeros, answered together.
struct ZerosHost {
    explicit ZerosHost(int replies) : replies(replies) {
        const std::string body = zerosArray(8 * MiB);
        elements = (body.size() - 1) / 2;
        raw = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
              "\r\n\r\n" + body;
    }
    int replies;
    uint64_t elements;
    std::string raw;
    testing::SilentServer host;
};

TEST_F(HTTPSessionJSONCostTest, AnArrayOfZerosCostsAFewTimesItsBytesOnceParsed) {
    ZerosHost zeros(1);
    manager = jsonManager(1);
    Outcomes outcomes;
    ns::LogCapture log;
    testing::ResidentPeak peak = testing::peakFromHere();
    ASSERT_TRUE(peak.started());
    manager->dataTaskWithRequest(ns::URLRequest::make(ns::URL::make(zeros.host.url("/zeros"))), outcomes.handler())
        ->resume();
    ASSERT_TRUE(zeros.host.waitForConnections(1, 30));
    zeros.host.answerAll(zeros.raw);
    env.runUntilIdle();
    const uint64_t growth = peak.growth();

    EXPECT_EQ(outcomes.parsed, 1) << outcomes.refused << " refused, " << outcomes.other << " otherwise";
    EXPECT_EQ(outcomes.elements, zeros.elements);
    EXPECT_EQ(ns::sessionReplies().held(), 0u) << "given back once the completion has run";
    // Twelve times its bytes: the reply, a slot per element in a container
    // that doubles as it grows, and what the allocator keeps of them.
    testing::expectGrowthUnder(growth, 12 * 8 * MiB, "an 8 MiB array of zeros through the HTTP client");
}

// Parses once every reply of the test has arrived, so that the parses run
// with all the bytes held, and what they cost is seen apart from how the
// bytes came (pieces the allocator keeps after they are let go are told by
// the delivery's own cases).
class GatedJSONSerializer : public SDPJSONResponseSerializer {
public:
    explicit GatedJSONSerializer(int replies) : replies_(replies) {}

    ns::Id responseObjectForResponse(const ns::Ref<ns::URLResponse>& response, const ns::Ref<ns::Data>& data,
                                     ns::Ref<ns::Error>* error) override {
        {
            std::unique_lock hold(lock_);
            ++arrived_;
            changed_.notify_all();
            changed_.wait(hold, [this] { return open_; });
        }
        return SDPJSONResponseSerializer::responseObjectForResponse(response, data, error);
    }
    bool waitForAll() {
        std::unique_lock hold(lock_);
        return changed_.wait_for(hold, std::chrono::seconds(60), [this] { return arrived_ == replies_; });
    }
    void open() {
        std::lock_guard guard(lock_);
        open_ = true;
        changed_.notify_all();
    }

private:
    const int replies_;
    std::mutex lock_;
    std::condition_variable changed_;
    int arrived_ = 0;
    bool open_ = false;
};

TEST_F(HTTPSessionJSONCostTest, TenArraysAtOnceStayWithinTheBudgetAndThosePastItFailClearly) {
    constexpr int replies = 10;
    ZerosHost zeros(replies);
    manager = jsonManager(replies);
    auto serializer = std::make_shared<GatedJSONSerializer>(replies);
    manager->setResponseSerializer(serializer);
    // The test's thread waits on the server: completions are heard off it.
    manager->setCompletionQueue(dispatch::Queue::serial("test.http.json.completions"));
    Outcomes outcomes;
    ns::LogCapture log;
    const uint64_t before = testing::residentFromHere();
    for (int i = 0; i < replies; ++i) {
        manager->dataTaskWithRequest(ns::URLRequest::make(ns::URL::make(zeros.host.url("/zeros" + std::to_string(i)))),
                                     outcomes.handler())
            ->resume();
    }
    ASSERT_TRUE(zeros.host.waitForConnections(replies, 30)) << zeros.host.connectionCount();
    std::thread answering([&zeros] { zeros.host.answerAll(zeros.raw); });
    const bool arrived = serializer->waitForAll();
    answering.join();
    if (!arrived) serializer->open();
    ASSERT_TRUE(arrived);
    EXPECT_EQ(ns::sessionReplies().held(), replies * (zeros.elements * 2 + 1));
    // From here the process's peak, over what it held before the replies.
    testing::ResidentPeak parsing = testing::peakFromHere();
    ASSERT_TRUE(parsing.started());
    serializer->open();
    env.runUntilIdle();
    const uint64_t peak = testing::residentPeakBytes();
    const uint64_t growth = peak > before ? peak - before : 0;

    // How many load depends on when each parse runs against the others'
    // bytes; each either loads whole or is refused, saying why.
    std::printf("ten 8 MiB arrays of zeros at once: %d loaded, %d refused\n", outcomes.parsed, outcomes.refused);
    EXPECT_EQ(outcomes.parsed + outcomes.refused, replies) << outcomes.other << " ended otherwise";
    if (outcomes.parsed > 0) {
        EXPECT_EQ(outcomes.elements, zeros.elements);
    }
    int told = 0;
    for (const std::string& line : log.lines()) {
        if (line.find("stopped: what its reply is parsed into would not fit: the replies of all tasks in progress "
                      "would hold more than 100663296 bytes together") != std::string::npos)
            ++told;
    }
    EXPECT_EQ(told, outcomes.refused);
    EXPECT_EQ(ns::sessionReplies().held(), 0u);
    // What all replies may hold, and 64 MiB for what the allocator keeps and
    // the replies on their way to their completions' notifications.
    testing::expectGrowthUnder(growth, ns::BytesOfAllSessionReplies + 64 * MiB,
                               "ten 8 MiB arrays of zeros at once through the HTTP client, as they are parsed");
}

TEST_F(HTTPSessionJSONCostTest, AReplyWhoseParseWouldPassTheBudgetFailsClearlyAndKeepsItsBytesCounted) {
    ZerosHost zeros(1);
    manager = jsonManager(1);
    // Room for the reply's bytes, not for what they are parsed into.
    ns::ReplyShare others(ns::sessionReplies());
    ASSERT_TRUE(others.growToOrRelease(ns::BytesOfAllSessionReplies - 16 * MiB));
    ns::LogCapture log;
    uint64_t heldInHandler = 0;
    ns::Ref<ns::Error> failure;
    ns::Id object;
    const std::string url = zeros.host.url("/zeros");
    manager->dataTaskWithRequest(ns::URLRequest::make(ns::URL::make(url)),
                                 [&](const ns::Ref<ns::URLResponse>&, const ns::Id& reply, const ns::Ref<ns::Error>& error) {
                                     heldInHandler = ns::sessionReplies().held();
                                     failure = error;
                                     object = reply;
                                 })
        ->resume();
    ASSERT_TRUE(zeros.host.waitForConnections(1, 30));
    zeros.host.answerAll(zeros.raw);
    env.runUntilIdle();

    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->domain(), ns::URLErrorDomain);
    EXPECT_EQ(failure->code(), ns::URLErrorDataLengthExceedsMaximum);
    EXPECT_FALSE(object);
    EXPECT_TRUE(log.contains("HTTP client: task for " + url +
                             " stopped: what its reply is parsed into would not fit: the replies of all tasks in "
                             "progress would hold more than 100663296 bytes together"));
    // Its bytes, still held for the handler, are still counted there; what
    // was parsed of them is not.
    EXPECT_EQ(heldInHandler, others.size() + zeros.raw.size() - zeros.raw.find("\r\n\r\n") - 4);
    EXPECT_EQ(ns::sessionReplies().held(), others.size());
}

TEST_F(HTTPSessionJSONCostTest, ASmallJSONReplyLoadsAsBeforeWhileOthersFillTheBudget) {
    testing::LoopbackServer server;
    const std::string body =
        R"({"code":"200","msg":"ok","data":{"uid":10001,"vip":0,"list":[{"id":1,"num":3},{"id":2,"num":0}],"ok":true}})";
    server.route("POST", "/api", testing::Reply::text(body, "application/json"));
    manager = jsonManager(2);
    ns::ReplyShare others(ns::sessionReplies());
    ASSERT_TRUE(others.growToOrRelease(ns::BytesOfAllSessionReplies));
    ns::Id reply;
    ns::Ref<ns::Error> failure;
    auto request = ns::MutableURLRequest::make(ns::URL::make(server.url("/api")));
    request->setHTTPMethod("POST");
    manager->dataTaskWithRequest(request, [&](const ns::Ref<ns::URLResponse>&, const ns::Id& object,
                                              const ns::Ref<ns::Error>& error) {
        reply = object;
        failure = error;
    })->resume();
    env.runUntilIdle();
    EXPECT_FALSE(failure);
    auto dictionary = ns::cast<ns::Dictionary>(reply);
    ASSERT_TRUE(dictionary);
    auto data = ns::cast<ns::Dictionary>(dictionary->objectForKey("data"));
    ASSERT_TRUE(data);
    EXPECT_EQ(ns::cast<ns::Number>(data->objectForKey("uid"))->longLongValue(), 10001);
    EXPECT_STREQ(ns::cast<ns::Number>(data->objectForKey("vip"))->objCType(), "q");
    EXPECT_STREQ(ns::cast<ns::Number>(data->objectForKey("ok"))->objCType(), "c");
    EXPECT_EQ(ns::sessionReplies().held(), others.size());
}

TEST(JSONResponseSerializerCost, TheCopyWithoutNullsIsChargedWithTheReply) {
    std::string text = "[";
    for (int i = 0; i < 2000; ++i) text += std::string(i ? "," : "") + "{\"id\":" + std::to_string(5000 + i) + ",\"gone\":null}";
    text += "]";
    const auto data = ns::Data::withBytes(text);
    const auto response = ns::HTTPURLResponse::make(ns::URL::make("http://example.invalid/list"), 200, "HTTP/1.1",
                                                    ns::Dictionary::make({{"Content-Type", ns::str("application/json")}}));
    auto serializer = SDPJSONResponseSerializer::serializer();
    // What the read alone is charged.
    uint64_t read = 0;
    {
        ns::ReplyBudget budget(64 * MiB);
        ns::ReplyShare share(budget);
        ns::ReplyCharge charge(share);
        ASSERT_TRUE(serializer->responseObjectForResponse(response, data, nullptr));
        read = share.size();
    }
    for (const bool mutableContainers : {false, true}) {
        SCOPED_TRACE(mutableContainers ? "mutable containers" : "immutable containers");
        auto copying = SDPJSONResponseSerializer::serializerWithReadingOptions(
            mutableContainers ? uint64_t(ns::JSONReadingMutableContainers) : uint64_t(0));
        copying->setRemovesKeysWithNullValues(true);
        {
            // Room for the read and for its copy: the copy is charged too.
            ns::ReplyBudget budget(64 * MiB);
            ns::ReplyShare share(budget);
            ns::ReplyCharge charge(share);
            auto list = ns::cast<ns::Array>(copying->responseObjectForResponse(response, data, nullptr));
            ASSERT_TRUE(list);
            ASSERT_EQ(list->count(), 2000u);
            EXPECT_FALSE(ns::cast<ns::Dictionary>(list->objectAtIndex(0))->objectForKey("gone"));
            EXPECT_GE(share.size(), read + 2000 * 2 * sizeof(ns::Id));
        }
        {
            // Room for the read only, a reply past its first MiB: no copy.
            ns::ReplyBudget budget(2 * MiB + MiB + read);
            ns::ReplyShare others(budget);
            ASSERT_TRUE(others.growToOrRelease(2 * MiB));
            ns::ReplyShare share(budget);
            ASSERT_TRUE(share.growToOrRelease(MiB));
            ns::ReplyCharge charge(share);
            EXPECT_FALSE(copying->responseObjectForResponse(response, data, nullptr));
            EXPECT_TRUE(charge.refused());
        }
    }
}

}  // namespace
