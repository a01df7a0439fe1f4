// What a loopback server receives from requests the serializers built.

#include <gtest/gtest.h>

#include "net/SDPHTTPRequestSerializer.h"
#include "net/SDPJSONRequestSerializer.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/Text.h"
#include "platform/testing/LoopbackServer.h"
#include "tests/net/http_request_support.h"

namespace {

using testing::LoopbackServer;
using testing::RecordedRequest;
using testing::Reply;

class HTTPRequestWireTest : public ::testing::Test {
protected:
    testing::TaskEnvironment env;
    LoopbackServer server;

    RecordedRequest sendAndRecord(const ns::Ref<ns::URLRequest>& request) {
        auto outcome = httptest::send(env, request);
        EXPECT_FALSE(outcome.error) << ns::textOf(outcome.error);
        EXPECT_EQ(server.requestCount(), 1u);
        return server.requests().empty() ? RecordedRequest{} : server.requests().back();
    }
};

ns::Ref<ns::Dictionary> nestedParameters() {
    return ns::Dictionary::make({
        {"filter", ns::Dictionary::make({{"max", ns::num(10)}, {"min", ns::num(-1)}})},
        {"ids", ns::Array::make({ns::num(3), ns::num(1)})},
        {"q", ns::str("tea & cake/2?")},
    });
}

TEST_F(HTTPRequestWireTest, GetSendsTheExactQueryString) {
    server.route("GET", "/search", Reply::text("ok"));
    auto request = SDPHTTPRequestSerializer::serializer()->requestWithMethod("GET", server.url("/search"),
                                                                             nestedParameters(), nullptr);
    const RecordedRequest received = sendAndRecord(request);
    EXPECT_EQ(received.path, "/search");
    EXPECT_EQ(received.query, "filter%5Bmax%5D=10&filter%5Bmin%5D=-1&ids%5B%5D=3&ids%5B%5D=1&q=tea%20%26%20cake/2?");
    EXPECT_EQ(received.body, "");
}

TEST_F(HTTPRequestWireTest, PostSendsTheExactFormBodyAndDefaultHeaders) {
    server.route("POST", "/form", Reply::text("ok"));
    auto serializer = SDPHTTPRequestSerializer::serializer();
    serializer->setValueForHTTPHeaderField("sdp-test", "X-Client");
    auto request = serializer->requestWithMethod("POST", server.url("/form"), nestedParameters(), nullptr);
    const RecordedRequest received = sendAndRecord(request);
    EXPECT_EQ(received.query, "");
    EXPECT_EQ(received.body, "filter%5Bmax%5D=10&filter%5Bmin%5D=-1&ids%5B%5D=3&ids%5B%5D=1&q=tea%20%26%20cake/2?");
    EXPECT_EQ(received.header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(received.header("Content-Length"), std::to_string(received.body.size()));
    EXPECT_EQ(received.header("X-Client"), "sdp-test");
    EXPECT_EQ(received.header("User-Agent"), serializer->valueForHTTPHeaderField("User-Agent")->utf8());
    EXPECT_EQ(received.header("Accept-Language"), serializer->valueForHTTPHeaderField("Accept-Language")->utf8());
}

TEST_F(HTTPRequestWireTest, JSONBodyArrivesAsWritten) {
    server.route("PATCH", "/item", Reply::text("ok"));
    auto serializer = SDPJSONRequestSerializer::serializer();
    auto request = serializer->requestWithMethod("PATCH", server.url("/item"),
                                                 ns::Dictionary::make({{"name", ns::str("Ada")}}), nullptr);
    const RecordedRequest received = sendAndRecord(request);
    EXPECT_EQ(received.method, "PATCH");
    EXPECT_EQ(received.header("Content-Type"), "application/json");
    EXPECT_EQ(received.body, R"({"name":"Ada"})");
}

}  // namespace
