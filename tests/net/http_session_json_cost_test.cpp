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
#include "tests/platform/foundation/json_records.h"

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

    // The refusals the log told, naming their requests.
    static int told(const ns::LogCapture& log) {
        int lines = 0;
        for (const std::string& line : log.lines()) {
            if (line.find("HTTP client: task for http://") != std::string::npos &&
                line.find(" stopped: what its reply is parsed into would not fit: the replies of all tasks in "
                          "progress would hold more than 100663296 bytes together") != std::string::npos)
                ++lines;
        }
        return lines;
    }

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

// A host answering every request at once with one JSON body.
struct JSONHost {
    explicit JSONHost(const std::string& body)
        : bodyLength(body.size()),
          raw("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
              "\r\n\r\n" + body) {}
    uint64_t bodyLength;
    std::string raw;
    testing::SilentServer host;
};

// An 8 MiB array of zeros, answered together.
struct ZerosHost : JSONHost {
    ZerosHost() : JSONHost(zerosArray(8 * MiB)), elements((bodyLength - 1) / 2) {}
    uint64_t elements;
};

// Records as a game server lists them, ids varying, of about `bytes` bytes.
std::string records(uint64_t bytes) {
    std::string text = "[";
    for (uint64_t i = 0; text.size() < bytes; ++i) {
        if (i) text += ',';
        text += jsontest::record(i);
    }
    return text + "]";
}

// An array of about `bytes` bytes repeating `element`.
std::string arrayOf(const std::string& element, uint64_t bytes) {
    std::string text;
    text.reserve(bytes);
    text += "[" + element;
    while (text.size() + element.size() + 2 <= bytes) text += "," + element;
    return text + "]";
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

    // What `replies` requests to `host` at once came to, parsed once all
    // their bytes are held, and the process's growth from before the
    // replies to its peak.
    struct AtOnce {
        int parsed = 0, refused = 0, other = 0, told = 0;
        uint64_t elements = 0;
        uint64_t growth = 0;
    };
    AtOnce loadAtOnce(JSONHost& host, int replies) {
        manager = jsonManager(replies);
        auto serializer = std::make_shared<GatedJSONSerializer>(replies);
        manager->setResponseSerializer(serializer);
        // The test's thread waits on the server: completions are heard off it.
        manager->setCompletionQueue(dispatch::Queue::serial("test.http.json.completions"));
        Outcomes outcomes;
        ns::LogCapture log;
        const uint64_t before = testing::residentFromHere();
        for (int i = 0; i < replies; ++i) {
            manager->dataTaskWithRequest(ns::URLRequest::make(ns::URL::make(host.host.url("/list" + std::to_string(i)))),
                                         outcomes.handler())
                ->resume();
        }
        AtOnce result;
        if (!host.host.waitForConnections(replies, 30)) {
            ADD_FAILURE() << host.host.connectionCount() << " connections of " << replies;
            return result;
        }
        std::thread answering([&host] { host.host.answerAll(host.raw); });
        const bool arrived = serializer->waitForAll();
        answering.join();
        if (!arrived) {
            serializer->open();
            ADD_FAILURE() << "not every reply arrived";
            return result;
        }
        // From here the process's peak, over what it held before the replies.
        testing::ResidentPeak parsing = testing::peakFromHere();
        EXPECT_TRUE(parsing.started());
        serializer->open();
        env.runUntilIdle();
        const uint64_t peak = testing::residentPeakBytes();
        result = {outcomes.parsed, outcomes.refused, outcomes.other, Outcomes::told(log), outcomes.elements,
                  peak > before ? peak - before : 0};
        std::printf("%d replies of %llu bytes at once: %d loaded, %d refused\n", replies,
                    (unsigned long long)host.bodyLength, result.parsed, result.refused);
        EXPECT_EQ(ns::sessionReplies().held(), 0u) << "given back once the completions have run";
        return result;
    }

    // What one request to `host` came to, and the process's peak growth.
    AtOnce loadOne(JSONHost& host, bool removingNulls = false) {
        manager = jsonManager(1);
        auto serializer = SDPJSONResponseSerializer::serializer();
        serializer->setRemovesKeysWithNullValues(removingNulls);
        manager->setResponseSerializer(serializer);
        Outcomes outcomes;
        ns::LogCapture log;
        testing::ResidentPeak peak = testing::peakFromHere();
        EXPECT_TRUE(peak.started());
        manager->dataTaskWithRequest(ns::URLRequest::make(ns::URL::make(host.host.url("/list"))), outcomes.handler())
            ->resume();
        AtOnce result;
        if (!host.host.waitForConnections(1, 30)) {
            ADD_FAILURE() << "no connection";
            return result;
        }
        host.host.answerAll(host.raw);
        env.runUntilIdle();
        result = {outcomes.parsed, outcomes.refused, outcomes.other, Outcomes::told(log), outcomes.elements,
                  peak.growth()};
        EXPECT_EQ(ns::sessionReplies().held(), 0u) << "given back once the completion has run";
        manager->invalidateSessionCancelingTasks(true);
        env.runUntilIdle();
        manager = nullptr;
        return result;
    }
};

TEST_F(HTTPSessionJSONCostTest, AnArrayOfZerosCostsAFewTimesItsBytesOnceParsed) {
    ZerosHost zeros;
    const AtOnce one = loadOne(zeros);
    EXPECT_EQ(one.parsed, 1) << one.refused << " refused, " << one.other << " otherwise";
    EXPECT_EQ(one.elements, zeros.elements);
    // Twelve times its bytes: the reply, a slot per element, and what the
    // allocator keeps of them.
    testing::expectGrowthUnder(one.growth, 12 * 8 * MiB, "an 8 MiB array of zeros through the HTTP client");
}

TEST_F(HTTPSessionJSONCostTest, TenArraysAtOnceStayWithinTheBudgetAndThosePastItFailClearly) {
    constexpr int replies = 10;
    ZerosHost zeros;
    const AtOnce ten = loadAtOnce(zeros, replies);
    // How many load depends on when each parse runs against the others'
    // bytes; each either loads whole or is refused, saying why.
    EXPECT_EQ(ten.parsed + ten.refused, replies) << ten.other << " ended otherwise";
    if (ten.parsed > 0) {
        EXPECT_EQ(ten.elements, zeros.elements);
    }
    EXPECT_EQ(ten.told, ten.refused);
    // What all replies may hold, and 64 MiB for what the allocator keeps and
    // the replies on their way to their completions' notifications.
    testing::expectGrowthUnder(ten.growth, ns::BytesOfAllSessionReplies + 64 * MiB,
                               "ten 8 MiB arrays of zeros at once through the HTTP client, as they are parsed");
}

// Records cost a few times their bytes once read (SDPJSONResponseSerializer.h):
// one reply of 16 MB, twenty of 1 MB or ten of 2 MB parsed with all their
// bytes held at once, fit the budget with room.
TEST_F(HTTPSessionJSONCostTest, OrdinaryRecordsLoadOneLargeOrManyAtOnce) {
    {
        JSONHost large(records(16'000'000));
        const AtOnce one = loadOne(large);
        EXPECT_EQ(one.parsed, 1) << one.refused << " refused, " << one.other << " otherwise";
        EXPECT_GT(one.elements, 90'000u);
    }
    for (const auto& [replies, bytes] : {std::pair{20, 1'000'000}, std::pair{10, 2'000'000}}) {
        SCOPED_TRACE(std::to_string(replies) + " replies at once");
        JSONHost list(records(bytes));
        const AtOnce many = loadAtOnce(list, replies);
        EXPECT_EQ(many.parsed, replies) << many.refused << " refused, " << many.other << " otherwise";
        EXPECT_EQ(many.told, 0);
        manager->invalidateSessionCancelingTasks(true);
        env.runUntilIdle();
        manager = nullptr;
    }
}

// Dropping the keys that hold null copies what was read as the reader
// holds it: the copy of 8 MB of records costs a few times their bytes, as
// the read did, and is charged with the reply.
TEST_F(HTTPSessionJSONCostTest, RecordsLoadWithoutTheirNullsAtAFewTimesTheirBytes) {
    JSONHost list(records(8'000'000));
    const AtOnce one = loadOne(list, true);
    EXPECT_EQ(one.parsed, 1) << one.refused << " refused, " << one.other << " otherwise";
    // The reply, what it was read into, and the copy.
    testing::expectGrowthUnder(one.growth, 9 * 8 * MiB, "8 MB of records read without their nulls through the HTTP client");
}

// Shapes a hostile sender would pick, each 8 MiB: each loads within its
// bound or fails -1103 with a line naming its request; ten arrays of empty
// objects at once stay within what all replies may hold, and the allocator
// beside it.
TEST_F(HTTPSessionJSONCostTest, HostileShapesLoadWithinTheirBoundOrFailClearly) {
    for (const std::string element : {"{}", "[]", "\"\"", "0"}) {
        SCOPED_TRACE("an array of " + element);
        JSONHost hostile(arrayOf(element, 8 * MiB));
        const AtOnce one = loadOne(hostile);
        EXPECT_EQ(one.parsed + one.refused, 1) << one.other << " ended otherwise";
        EXPECT_EQ(one.told, one.refused);
        testing::expectGrowthUnder(one.growth, 160 * MiB, "an 8 MiB array of " + element + " through the HTTP client");
    }
    JSONHost empties(arrayOf("{}", 8 * MiB));
    const AtOnce ten = loadAtOnce(empties, 10);
    EXPECT_EQ(ten.parsed + ten.refused, 10) << ten.other << " ended otherwise";
    EXPECT_EQ(ten.told, ten.refused);
    testing::expectGrowthUnder(ten.growth, 320 * MiB, "ten 8 MiB arrays of empty objects at once through the HTTP client");
}

TEST_F(HTTPSessionJSONCostTest, AReplyWhoseParseWouldPassTheBudgetFailsClearlyAndKeepsItsBytesCounted) {
    ZerosHost zeros;
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
