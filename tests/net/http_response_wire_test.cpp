// Replies of a loopback server through the response serializers.

#include <gtest/gtest.h>

#include "net/SDPJSONResponseSerializer.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URLError.h"
#include "platform/testing/LoopbackServer.h"
#include "tests/net/http_request_support.h"

namespace {

using testing::LoopbackServer;
using testing::Reply;

class HTTPResponseWireTest : public ::testing::Test {
protected:
    testing::TaskEnvironment env;
    LoopbackServer server;

    httptest::Outcome get(const std::string& path) {
        return httptest::send(env, ns::URLRequest::make(ns::URL::make(server.url(path))));
    }
};

TEST_F(HTTPResponseWireTest, NotFoundWithJSONGivesTheObjectAndErrorBadServerResponse) {
    Reply reply = Reply::text(R"({"code":"404","msg":"no such user"})", "application/json");
    reply.status = 404;
    server.route("GET", "/user", reply);
    auto outcome = get("/user");
    ASSERT_FALSE(outcome.error);
    ns::Ref<ns::Error> error;
    auto object = ns::cast<ns::Dictionary>(
        SDPJSONResponseSerializer::serializer()->responseObjectForResponse(outcome.response, outcome.data, &error));
    ASSERT_TRUE(object);
    EXPECT_EQ(ns::textOf(object->objectForKey("msg")), "no such user");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), ns::URLErrorBadServerResponse);
    EXPECT_EQ(error->localizedDescription(), "Request failed: not found (404)");
    EXPECT_EQ(error->userInfo()->objectForKey(SDPNetworkingOperationFailingURLResponseErrorKey), outcome.response);
}

TEST_F(HTTPResponseWireTest, HTMLRepliesAreRefusedUntilTheTypeIsAccepted) {
    server.route("POST", "/list", Reply::text(R"({"lists":[]})", "text/html; charset=utf-8"));
    auto request = ns::MutableURLRequest::make(ns::URL::make(server.url("/list")));
    request->setHTTPMethod("POST");
    auto outcome = httptest::send(env, request);
    ASSERT_FALSE(outcome.error);
    auto serializer = SDPJSONResponseSerializer::serializer();
    ns::Ref<ns::Error> error;
    EXPECT_FALSE(serializer->responseObjectForResponse(outcome.response, outcome.data, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), ns::URLErrorCannotDecodeContentData);

    auto types = ns::cast<ns::MutableSet>(serializer->acceptableContentTypes()->mutableCopy());
    types->addObject(ns::str("text/html"));
    serializer->setAcceptableContentTypes(types);
    error = nullptr;
    auto object =
        ns::cast<ns::Dictionary>(serializer->responseObjectForResponse(outcome.response, outcome.data, &error));
    EXPECT_FALSE(error);
    ASSERT_TRUE(object);
    EXPECT_TRUE(object->objectForKey("lists"));
}

}  // namespace
