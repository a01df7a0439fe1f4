// The HTTP session manager against a loopback server: base URLs, the
// request of each call, exactly one success or failure per call on the main
// queue, requests that cannot be built, multipart posts, copying and
// archiving.

#include <gtest/gtest.h>

#include <algorithm>

#include "net/SDPHTTPSessionManager.h"
#include "net/SDPJSONResponseSerializer.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URLError.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/net/http_session_support.h"

namespace {

using httptest::EventLog;
using httptest::NotificationRecorder;
using testing::LoopbackServer;
using testing::RecordedRequest;
using testing::Reply;

// A subclass as the channel SDK makes one.
class FormTransport : public SDPHTTPSessionManager {};

class HTTPSessionManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        server.route("POST", "/user/list", Reply::text(R"({"z":"1","lists":[]})", "application/json"));
        server.route("GET", "/user/info", Reply::text(R"({"name":"ball"})", "application/json"));
        server.route("GET", "/page", Reply::text(R"({"page":1})", "text/html"));
        manager = SDPHTTPSessionManager::make(ns::URL::make(server.baseURL()), httptest::ephemeralConfiguration());
    }
    void TearDown() override {
        manager->invalidateSessionCancelingTasks(true);
        env.runUntilIdle();
    }

    SDPHTTPSessionManager::SuccessBlock success() {
        return [this](const ns::Ref<ns::URLSessionDataTask>& task, const ns::Id& object) {
            log.add("success", task);
            responseObject = object;
        };
    }
    SDPHTTPSessionManager::FailureBlock failure() {
        return [this](const ns::Ref<ns::URLSessionDataTask>& task, const ns::Ref<ns::Error>& failed) {
            log.add("failure", task);
            error = failed;
        };
    }

    static ns::Ref<ns::Dictionary> form(std::initializer_list<ns::Dictionary::Entry> entries) {
        return ns::Dictionary::make(entries);
    }

    testing::TaskEnvironment env;
    LoopbackServer server;
    ns::Ref<SDPHTTPSessionManager> manager;
    EventLog log;
    ns::Id responseObject;
    ns::Ref<ns::Error> error;
};

TEST(HTTPSessionManagerBaseURLTest, APathGainsExactlyOneTrailingSlash) {
    testing::TaskEnvironment env;
    auto baseOf = [](const char* text) {
        auto manager = SDPHTTPSessionManager::make(ns::URL::make(text), httptest::ephemeralConfiguration());
        auto base = manager->baseURL() ? manager->baseURL()->absoluteString()->utf8() : std::string("(nil)");
        manager->invalidateSessionCancelingTasks(true);
        return base;
    };
    EXPECT_EQ(baseOf("http://api.example.com/v1"), "http://api.example.com/v1/");
    EXPECT_EQ(baseOf("http://api.example.com/v1/"), "http://api.example.com/v1/");
    EXPECT_EQ(baseOf("http://api.example.com"), "http://api.example.com");
    env.runUntilIdle();
}

TEST(HTTPSessionManagerBaseURLTest, ManagerOfASubclassIsThatSubclassWithTheDefaultSerializers) {
    testing::TaskEnvironment env;
    auto transport = SDPHTTPSessionManager::manager<FormTransport>();
    EXPECT_FALSE(transport->baseURL());
    EXPECT_TRUE(transport->requestSerializer()->isMemberOf(SDPHTTPRequestSerializer::staticClass()));
    EXPECT_TRUE(ns::cast<SDPJSONResponseSerializer>(transport->responseSerializer()));
    EXPECT_FALSE(transport->session()->configuration()->isEphemeral());
    transport->invalidateSessionCancelingTasks(true);
    env.runUntilIdle();
}

TEST_F(HTTPSessionManagerTest, PostSendsAFormAndSucceedsOnceOnTheMainQueue) {
    NotificationRecorder recorder(log, {SDPNetworkingTaskDidCompleteNotification});
    auto task = manager->POST("user/list", form({{"page", ns::Number::withInt(2)}, {"uid", ns::String::make("a b&c")}}),
                              nullptr, success(), failure());
    ASSERT_TRUE(task);
    EXPECT_NE(task->state(), ns::URLSessionTaskStateSuspended);
    env.runUntilIdle();

    ASSERT_EQ(log.names(), (std::vector<std::string>{"success", SDPNetworkingTaskDidCompleteNotification}));
    EXPECT_TRUE(log.events()[0].onMainThread);
    EXPECT_EQ(log.events()[0].object, task);
    auto reply = ns::cast<ns::Dictionary>(responseObject);
    ASSERT_TRUE(reply);
    EXPECT_EQ(ns::textOf(reply->objectForKey("z")), "1");

    const RecordedRequest request = server.requests().back();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/user/list");
    EXPECT_EQ(request.body, "page=2&uid=a%20b%26c");
    EXPECT_EQ(request.header("Content-Type"), "application/x-www-form-urlencoded");
}

TEST_F(HTTPSessionManagerTest, GetPutsTheParametersInTheQuery) {
    manager->GET("/user/info", form({{"b", ns::Number::withInt(1)}, {"a", ns::String::make("x")}}), success(), failure());
    env.runUntilIdle();
    ASSERT_EQ(log.names(), std::vector<std::string>{"success"});
    EXPECT_EQ(server.requests().back().query, "a=x&b=1");
    EXPECT_TRUE(server.requests().back().body.empty());
}

TEST_F(HTTPSessionManagerTest, EachMethodSendsItsOwnVerb) {
    for (const char* method : {"PUT", "PATCH", "DELETE", "HEAD"}) {
        server.route(method, "/thing", Reply::text("{}", "application/json"));
    }
    int headSuccesses = 0;
    manager->PUT("thing", nullptr, success(), failure());
    manager->PATCH("thing", nullptr, success(), failure());
    manager->DELETE("thing", form({{"id", ns::Number::withInt(7)}}), success(), failure());
    manager->HEAD("thing", nullptr, [&](const ns::Ref<ns::URLSessionDataTask>& task) {
        EXPECT_TRUE(task);
        ++headSuccesses;
    }, failure());
    env.runUntilIdle();

    EXPECT_EQ(log.count("success"), 3);
    EXPECT_EQ(log.count("failure"), 0);
    EXPECT_EQ(headSuccesses, 1);
    std::vector<std::string> seen;
    for (const auto& request : server.requests()) seen.push_back(request.method + " " + request.query);
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{"DELETE id=7", "HEAD ", "PATCH ", "PUT "}));
}

TEST_F(HTTPSessionManagerTest, NotFoundWithJSONFailsWithTheStatusErrorAndTheTask) {
    server.route("GET", "/gone", [](const RecordedRequest&, Reply& reply) {
        reply = Reply::text(R"({"msg":"gone"})", "application/json");
        reply.status = 404;
    });
    auto task = manager->GET("gone", nullptr, success(), failure());
    env.runUntilIdle();

    ASSERT_EQ(log.names(), std::vector<std::string>{"failure"});
    EXPECT_EQ(log.events()[0].object, task);
    EXPECT_EQ(error->domain(), SDPURLResponseSerializationErrorDomain);
    EXPECT_EQ(error->code(), ns::URLErrorBadServerResponse);
}

TEST_F(HTTPSessionManagerTest, AReplyPastTheSessionsBoundFailsOnceWithDataLengthExceeded) {
    auto configuration = httptest::ephemeralConfiguration();
    configuration->setMaximumResponseDataLength(4096);
    auto bounded = SDPHTTPSessionManager::make(ns::URL::make(server.baseURL()), configuration);
    server.route("GET", "/huge", Reply::text("[\"" + std::string(8192, 'x') + "\"]", "application/json"));
    auto task = bounded->GET("huge", nullptr, success(), failure());
    env.runUntilIdle();

    ASSERT_EQ(log.names(), std::vector<std::string>{"failure"});
    EXPECT_EQ(log.events()[0].object, task);
    EXPECT_EQ(error->domain(), ns::URLErrorDomain);
    EXPECT_EQ(error->code(), ns::URLErrorDataLengthExceedsMaximum);
    bounded->invalidateSessionCancelingTasks(true);
    env.runUntilIdle();
}

TEST_F(HTTPSessionManagerTest, HtmlIsRefusedUntilItsTypeIsAccepted) {
    manager->GET("page", nullptr, success(), failure());
    env.runUntilIdle();
    ASSERT_EQ(log.names(), std::vector<std::string>{"failure"});
    EXPECT_EQ(error->code(), ns::URLErrorCannotDecodeContentData);

    // As the user-centre pages do: the set as made, plus "text/html".
    auto serializer = manager->responseSerializer();
    std::vector<ns::Id> types;
    for (const ns::Id& type : *serializer->acceptableContentTypes()) types.push_back(type);
    types.push_back(ns::String::make("text/html"));
    serializer->setAcceptableContentTypes(ns::Set::make(types));
    manager->GET("page", nullptr, success(), failure());
    env.runUntilIdle();
    ASSERT_EQ(log.names(), (std::vector<std::string>{"failure", "success"}));
    auto reply = ns::cast<ns::Dictionary>(responseObject);
    ASSERT_TRUE(reply);
    EXPECT_EQ(ns::textOf(reply->objectForKey("page")), "1");
}

TEST_F(HTTPSessionManagerTest, AnUnparsableAddressFailsOnceWithoutATask) {
    NotificationRecorder recorder(log, {SDPNetworkingTaskDidCompleteNotification});
    auto task = manager->GET("http://[not an address", nullptr, success(), failure());
    EXPECT_FALSE(task);
    env.runUntilIdle();

    ASSERT_EQ(log.names(), std::vector<std::string>{"failure"});
    EXPECT_FALSE(log.events()[0].object);
    EXPECT_TRUE(log.events()[0].onMainThread);
    EXPECT_EQ(error->domain(), "NSURLErrorDomain");
    EXPECT_EQ(error->code(), ns::URLErrorBadURL);
    EXPECT_EQ(server.requestCount(), 0u);
    EXPECT_TRUE(manager->tasks().empty());
}

TEST_F(HTTPSessionManagerTest, AQueryStringErrorFailsWithThatErrorAndNoTask) {
    auto refusal = ns::Error::make("test.query", 9);
    manager->requestSerializer()->setQueryStringSerializationWithBlock(
        [refusal](const ns::Ref<ns::URLRequest>&, const ns::Id&, ns::Ref<ns::Error>* out) -> ns::Ref<ns::String> {
            *out = refusal;
            return nullptr;
        });
    EXPECT_FALSE(manager->POST("user/list", form({{"a", ns::Number::withInt(1)}}), success(), failure()));
    env.runUntilIdle();

    ASSERT_EQ(log.names(), std::vector<std::string>{"failure"});
    EXPECT_EQ(error, refusal);
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(HTTPSessionManagerTest, TheCompletionQueueCarriesSuccessAndEarlyFailure) {
    auto queue = dispatch::Queue::serial("test.http.completion");
    manager->setCompletionQueue(queue);
    std::vector<dispatch::QueueRef> queues;
    auto onQueue = [&](const auto&...) { queues.push_back(dispatch::currentQueue()); };
    manager->GET("user/info", nullptr, [&](const auto& a, const auto& b) { onQueue(a, b); }, nullptr);
    env.runUntilIdle();
    manager->GET("http://[bad", nullptr, nullptr, [&](const auto& a, const auto& b) { onQueue(a, b); });
    env.runUntilIdle();
    ASSERT_EQ(queues.size(), 2u);
    EXPECT_EQ(queues[0], queue);
    EXPECT_EQ(queues[1], queue);
}

TEST_F(HTTPSessionManagerTest, MultipartPostStreamsFieldsAndPartsWithTheirLength) {
    server.route("POST", "/upload", Reply::text(R"({"ok":true})", "application/json"));
    int uploadReports = 0;
    auto task = manager->POSTConstructingBody(
        "upload", form({{"uid", ns::String::make("42")}}),
        [](SDPMultipartFormData& formData) {
            formData.appendPartWithFileData(ns::Data::withBytes("PNGDATA"), "avatar", "a.png", "image/png");
        },
        [&](const ns::Ref<ns::Progress>&) { ++uploadReports; }, success(), failure());
    ASSERT_TRUE(task);
    env.runUntilIdle();

    ASSERT_EQ(log.names(), std::vector<std::string>{"success"});
    const RecordedRequest request = server.requests().back();
    const std::string type = request.header("Content-Type");
    ASSERT_EQ(type.rfind("multipart/form-data; boundary=", 0), 0u);
    const std::string boundary = type.substr(std::string("multipart/form-data; boundary=").size());
    const std::string expected = "--" + boundary + "\r\n" +
                                 "Content-Disposition: form-data; name=\"uid\"\r\n\r\n42\r\n" + "--" + boundary +
                                 "\r\n" + "Content-Disposition: form-data; name=\"avatar\"; filename=\"a.png\"\r\n" +
                                 "Content-Type: image/png\r\n\r\nPNGDATA\r\n" + "--" + boundary + "--\r\n";
    EXPECT_EQ(request.body, expected);
    EXPECT_EQ(request.header("Content-Length"), std::to_string(expected.size()));
    EXPECT_GT(uploadReports, 0);
}

TEST_F(HTTPSessionManagerTest, CopiesCarryBaseURLAndCopiesOfSerializersAndPolicy) {
    manager->setCompletionQueue(dispatch::Queue::serial("not carried"));
    manager->requestSerializer()->setValueForHTTPHeaderField("token", "X-Test");
    auto copy = ns::cast<SDPHTTPSessionManager>(manager->copy());
    ASSERT_TRUE(copy);
    EXPECT_TRUE(ns::equal(copy->baseURL(), manager->baseURL()));
    EXPECT_NE(copy->requestSerializer(), manager->requestSerializer());
    EXPECT_EQ(copy->requestSerializer()->valueForHTTPHeaderField("X-Test")->utf8(), "token");
    EXPECT_NE(copy->responseSerializer(), manager->responseSerializer());
    EXPECT_TRUE(ns::cast<SDPJSONResponseSerializer>(copy->responseSerializer()));
    EXPECT_NE(copy->securityPolicy(), manager->securityPolicy());
    EXPECT_FALSE(copy->completionQueue());
    EXPECT_TRUE(copy->session()->configuration()->isEphemeral());
    copy->invalidateSessionCancelingTasks(true);
}

TEST_F(HTTPSessionManagerTest, ArchivingKeepsBaseURLSerializersAndPolicy) {
    manager->requestSerializer()->setValueForHTTPHeaderField("token", "X-Test");
    manager->setSecurityPolicy(SDPSecurityPolicy::policyWithPinningMode(SDPSSLPinningModePublicKey, ns::Set::make({})));
    ns::Ref<ns::Error> archiveError;
    auto data = ns::KeyedArchiver::archivedDataWithRootObject(manager, true, &archiveError);
    ASSERT_TRUE(data) << (archiveError ? archiveError->description() : "");
    auto decoded = ns::KeyedUnarchiver::unarchivedObjectOfClass<SDPHTTPSessionManager>(data, nullptr);
    ASSERT_TRUE(decoded);
    EXPECT_TRUE(ns::equal(decoded->baseURL(), manager->baseURL()));
    EXPECT_EQ(decoded->requestSerializer()->valueForHTTPHeaderField("X-Test")->utf8(), "token");
    EXPECT_TRUE(ns::cast<SDPJSONResponseSerializer>(decoded->responseSerializer()));
    EXPECT_EQ(decoded->securityPolicy()->SSLPinningMode(), SDPSSLPinningModePublicKey);

    // And it works.
    decoded->GET("user/info", nullptr, success(), failure());
    env.runUntilIdle();
    EXPECT_EQ(log.names(), std::vector<std::string>{"success"});
    decoded->invalidateSessionCancelingTasks(true);
}

}  // namespace
