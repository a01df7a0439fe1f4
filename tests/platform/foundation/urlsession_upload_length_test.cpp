// A streamed upload whose request declares its length sends that many bytes
// and no more. A stream that holds more, or ends before it, fails the task
// at once with URLErrorRequestBodyStreamExhausted, and its connection is not
// reused: the session's next request still succeeds.

#include <gtest/gtest.h>

#include <string>

#include "platform/foundation/InputStream.h"
#include "platform/foundation/URLSession.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/platform/foundation/urlsession_support.h"

namespace {

using testing::LoopbackServer;
using testing::Reply;
using urltest::Outcome;
using urltest::RecordingDelegate;

class URLSessionUploadLengthTest : public ::testing::Test {
protected:
    URLSessionUploadLengthTest() {
        server.route("POST", "/upload", [](const testing::RecordedRequest& request, Reply& reply) {
            reply = Reply::text(request.header("Transfer-Encoding") + ":" + std::to_string(request.body.size()));
        });
        server.route("GET", "/next", Reply::text("next"));
        auto config = ns::URLSessionConfiguration::ephemeralSessionConfiguration();
        // One connection, so the next request goes where the upload went.
        config->setHTTPMaximumConnectionsPerHost(1);
        session = ns::URLSession::sessionWithConfiguration(config, delegate, nullptr);
    }

    // A POST of `held` bytes through a stream, declaring `declared` (none
    // when negative). A stream that ends early would otherwise wait for the
    // time-out: a short one turns that wait into its own error.
    ns::Ref<ns::MutableURLRequest> upload(const std::string& held, long declared) {
        auto request = urltest::request(server.url("/upload"));
        request->setHTTPMethod("POST");
        request->setHTTPBodyStream(ns::InputStream::withData(ns::Data::withBytes(held)));
        if (declared >= 0) request->setValueForHTTPHeaderField(std::to_string(declared), "Content-Length");
        request->setTimeoutInterval(5);
        return request;
    }

    // Then the session's next request, once the upload has ended.
    void expectNextRequestSucceeds() {
        Outcome next;
        session->dataTaskWithURL(ns::URL::make(server.url("/next")), next.handler())->resume();
        env.runUntilIdle();
        EXPECT_EQ(next.errorCode(), 0);
        EXPECT_EQ(next.status(), 200);
        EXPECT_EQ(next.body(), "next");
    }

    // No upload reached the server with more than it declared.
    void expectNothingPast(size_t declared) {
        for (const auto& received : server.requests()) {
            if (received.path == "/upload") {
                EXPECT_LE(received.body.size(), declared);
            }
        }
    }

    urltest::TemporaryHome home;
    testing::TaskEnvironment env;
    LoopbackServer server;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    ns::Ref<ns::URLSession> session;
};

TEST_F(URLSessionUploadLengthTest, StreamHoldingMoreThanItsLengthFailsAndTheNextRequestSucceeds) {
    Outcome outcome;
    session->dataTaskWithRequest(upload(std::string(100, 'm'), 5), outcome.handler())->resume();
    env.runUntilIdle();
    EXPECT_EQ(outcome.calls, 1);
    EXPECT_EQ(outcome.errorCode(), ns::URLErrorRequestBodyStreamExhausted);
    expectNothingPast(5);
    expectNextRequestSucceeds();
}

TEST_F(URLSessionUploadLengthTest, StreamHoldingMoreThanALargeLengthFailsPastIt) {
    // Past the transfer's buffer, so the excess shows up in a later read.
    const size_t declared = 300000;
    Outcome outcome;
    session->dataTaskWithRequest(upload(std::string(declared + 1, 'm'), declared), outcome.handler())->resume();
    env.runUntilIdle();
    EXPECT_EQ(outcome.errorCode(), ns::URLErrorRequestBodyStreamExhausted);
    expectNothingPast(declared);
    expectNextRequestSucceeds();
}

TEST_F(URLSessionUploadLengthTest, StreamEndingBeforeItsLengthFailsAtOnce) {
    auto task = session->uploadTaskWithStreamedRequest(upload(std::string(5, 's'), 100));
    task->resume();
    env.runUntilIdle();
    const auto record = delegate->record();
    ASSERT_EQ(record.completions.size(), 1u);
    ASSERT_TRUE(record.completions[0]);
    EXPECT_EQ(record.completions[0]->code(), ns::URLErrorRequestBodyStreamExhausted);
    EXPECT_EQ(task->error()->code(), ns::URLErrorRequestBodyStreamExhausted);
    expectNextRequestSucceeds();
}

TEST_F(URLSessionUploadLengthTest, StreamWithBytesWhereItDeclaresNoneFails) {
    Outcome outcome;
    session->dataTaskWithRequest(upload("x", 0), outcome.handler())->resume();
    env.runUntilIdle();
    EXPECT_EQ(outcome.errorCode(), ns::URLErrorRequestBodyStreamExhausted);
    expectNothingPast(0);
    expectNextRequestSucceeds();
}

TEST_F(URLSessionUploadLengthTest, StreamOfItsLengthOrOfNoneIsSentWhole) {
    Outcome exact, empty, chunked;
    session->dataTaskWithRequest(upload(std::string(70000, 'e'), 70000), exact.handler())->resume();
    env.runUntilIdle();
    session->dataTaskWithRequest(upload("", 0), empty.handler())->resume();
    env.runUntilIdle();
    session->dataTaskWithRequest(upload(std::string(70000, 'c'), -1), chunked.handler())->resume();
    env.runUntilIdle();
    EXPECT_EQ(exact.body(), ":70000");
    EXPECT_EQ(empty.body(), ":0");
    EXPECT_EQ(chunked.body(), "chunked:70000");
    expectNextRequestSucceeds();
}

}  // namespace
