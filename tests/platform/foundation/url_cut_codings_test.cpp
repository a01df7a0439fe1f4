// A compressed reply whose bytes end before its coding does is cut short,
// never whole: a data task and a URL connection fail with -1015 and the
// blocking read gives nil, however the reply is framed, as they do for a
// member whose CRC is wrong; whole replies of several members, bytes after
// the last member that begin no other, and a member whose data ended but
// whose trailer is missing or short, still load.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/URLConnection.h"
#include "platform/foundation/URLError.h"
#include "platform/foundation/URLSession.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/SilentServer.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/platform/foundation/cut_codings_support.h"
#include "tests/platform/foundation/reply_memory_support.h"
#include "tests/platform/foundation/urlsession_support.h"

namespace {

using cuttest::Shape;

// What a connection's delegate heard: the body, and the failure's code (0
// for a finished load, 1 while neither came).
class Heard : public ns::URLConnectionDataDelegate {
public:
    std::string body;
    int64_t code = 1;

    void didFailWithError(ns::URLConnection&, const ns::Ref<ns::Error>& error) override { code = error->code(); }
    void didReceiveData(ns::URLConnection&, const ns::Ref<ns::Data>& data) override { body += data->view(); }
    void connectionDidFinishLoading(ns::URLConnection&) override { code = 0; }
};

struct Outcome {
    std::string body;
    int64_t code = 1;
};

class URLCutCodingsTest : public ::testing::Test {
protected:
    void serve(const std::string& path, const std::string& body) {
        testing::Reply reply = testing::Reply::text(body, "text/plain");
        reply.headers.emplace_back("Content-Encoding", "gzip");
        server.route("GET", path, reply);
    }

    Outcome byDataTask(const std::string& url) {
        Outcome outcome;
        session->dataTaskWithURL(ns::URL::make(url),
                                 [&](ns::Ref<ns::Data> data, ns::Ref<ns::URLResponse>, ns::Ref<ns::Error> error) {
                                     if (data) outcome.body = std::string(data->view());
                                     outcome.code = error ? error->code() : 0;
                                 })
            ->resume();
        env.runUntilIdle();
        return outcome;
    }

    Outcome byConnection(const std::string& url) {
        auto heard = std::make_shared<Heard>();
        auto connection = ns::URLConnection::make(urltest::request(url), heard);
        env.runUntilIdle();
        return {heard->body, heard->code};
    }

    urltest::TemporaryHome home;
    testing::TaskEnvironment env;
    testing::LoopbackServer server;
    ns::Ref<ns::URLSession> session = urltest::ephemeralSession();
};

TEST_F(URLCutCodingsTest, AReplyCutShortFailsOnEveryPathAndAWholeOneLoads) {
    const std::vector<Shape> shapes = cuttest::shapes();
    for (const Shape& shape : shapes) serve("/" + shape.name, shape.body);
    ns::LogCapture log;
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(shape.name);
        const std::string url = server.url("/" + shape.name);
        const Outcome task = byDataTask(url);
        const Outcome connection = byConnection(url);
        const ns::Ref<ns::Data> read = ns::Data::withContentsOfURL(ns::URL::make(url));
        if (shape.whole) {
            EXPECT_EQ(task.code, 0);
            EXPECT_EQ(task.body, shape.decoded);
            EXPECT_EQ(connection.code, 0);
            EXPECT_EQ(connection.body, shape.decoded);
            ASSERT_TRUE(read);
            EXPECT_EQ(read->view(), shape.decoded);
        } else {
            EXPECT_EQ(task.code, ns::URLErrorCannotDecodeRawData);
            EXPECT_EQ(connection.code, ns::URLErrorCannotDecodeRawData);
            EXPECT_FALSE(read);
        }
        if (!shape.logged.empty()) {
            EXPECT_TRUE(log.contains("URL loading: a reply from " + url + " " + shape.logged));
        }
    }
}

TEST_F(URLCutCodingsTest, AReplyEndedByItsConnectionClosingIsCutShortToo) {
    // No length and no chunks: the reply ends where the server closes.
    const std::string half = cuttest::shapes().front().body;
    ASSERT_EQ(cuttest::shapes().front().name, "cut-in-half");
    testing::SilentServer host;
    Outcome outcome;
    session->dataTaskWithURL(ns::URL::make(host.url("/closed")),
                             [&](ns::Ref<ns::Data>, ns::Ref<ns::URLResponse>, ns::Ref<ns::Error> error) {
                                 outcome.code = error ? error->code() : 0;
                             })
        ->resume();
    ASSERT_TRUE(host.waitForConnections(1, 30));
    host.answerAll("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Encoding: gzip\r\nConnection: close\r\n\r\n" +
                   half);
    host.closeAll();
    env.runUntilIdle();
    EXPECT_EQ(outcome.code, ns::URLErrorCannotDecodeRawData);
}

TEST_F(URLCutCodingsTest, ACompressedReplyWithoutABodyIsNotCutShort) {
    testing::Reply empty = testing::Reply::text("", "text/plain");
    empty.headers.emplace_back("Content-Encoding", "gzip");
    server.route("GET", "/empty", empty);
    const Outcome outcome = byDataTask(server.url("/empty"));
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(outcome.body, "");
}

}  // namespace
