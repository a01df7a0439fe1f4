#include "sandbox/HttpServer.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <stdexcept>
#include <vector>

#include "sandbox/GamePage.h"
#include "sandbox/GamePageServer.h"
#include "tests/sandbox/SandboxClient.h"

namespace sandbox {
namespace {

TEST(HttpServerTest, RecordsAndTracesEveryRequest) {
    std::mutex lock;
    std::vector<std::string> traced;
    HttpServer server([](const Request& request) { return Response::json("{\"path\":\"" + request.path + "\"}"); });
    server.setTrace([&](const std::string& line) {
        std::lock_guard guard(lock);
        traced.push_back(line);
    });
    EXPECT_EQ(server.origin(), "http://127.0.0.1:" + std::to_string(server.port()));

    EXPECT_EQ(test::get(server, "/menu/index?game_id=1001&role_id=7").body, "{\"path\":\"/menu/index\"}");
    EXPECT_EQ(test::post(server, "/role/index", "a=1&b=two\nlines&").status, 200);

    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].path, "/menu/index");
    EXPECT_EQ(requests[0].query, "game_id=1001&role_id=7");
    EXPECT_EQ(requests[0].fields().value("role_id"), "7");
    EXPECT_EQ(requests[1].method, "POST");
    EXPECT_EQ(requests[1].body, "a=1&b=two\nlines&");
    EXPECT_EQ(requests[1].fields().value("b"), "two\nlines");

    std::lock_guard guard(lock);
    ASSERT_EQ(traced.size(), 2u);
    EXPECT_EQ(traced[0], "GET /menu/index game_id=1001&role_id=7");
    // One line per request, whatever the body holds.
    EXPECT_EQ(traced[1], "POST /role/index a=1&b=two\\x0alines&");

    server.clearRequests();
    EXPECT_TRUE(server.requests().empty());
}

TEST(HttpServerTest, ListensOnAGivenPortAndRefusesATakenOne) {
    auto answer = [](const Request&) { return Response::json("{}"); };
    int port;
    {
        HttpServer first(answer);
        port = first.port();
        // The refusal names the port and what keeps it.
        try {
            HttpServer second(answer, port);
            ADD_FAILURE() << "a second server listens on the taken port " << port;
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()), "cannot listen on 127.0.0.1:" + std::to_string(port) + ": port " +
                                                      std::to_string(port) + " is in use: another program holds it");
        }
    }
    HttpServer again(answer, port);
    EXPECT_EQ(again.port(), port);
    EXPECT_EQ(test::get(again, "/").status, 200);
}

TEST(HttpServerTest, AHandlerFailureIsAnErrorReplyNotACrash) {
    HttpServer server([](const Request&) -> Response { throw std::runtime_error("catalogue broken"); });
    auto reply = test::get(server, "/x");
    EXPECT_EQ(reply.status, 500);
    EXPECT_EQ(reply.body, "catalogue broken");
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST(GamePageServerTest, ServesThePageAtTheRootOnly) {
    GamePageServer server;
    EXPECT_EQ(server.pageURL(), server.http().origin() + "/");
    auto page = test::get(server.http(), "/");
    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(page.body, gamePageHtml());
    EXPECT_NE(page.body.find("<title>Sample game</title>"), std::string::npos);
    EXPECT_NE(page.body.find(gamePageScript()), std::string::npos);
    EXPECT_EQ(test::get(server.http(), "/favicon.ico").status, 404);
}

}  // namespace
}  // namespace sandbox
