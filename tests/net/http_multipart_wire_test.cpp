// Multipart bodies sent to a loopback server, failing uploads, and bodies
// written to a file.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "net/SDPHTTPRequestSerializer.h"
#include "net/SDPStreamingMultipartFormData.h"
#include "platform/dispatch/MainThread.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URLError.h"
#include "platform/testing/LoopbackServer.h"
#include "tests/net/http_multipart_support.h"
#include "tests/net/http_request_support.h"

namespace {

using testing::LoopbackServer;
using testing::RecordedRequest;
using testing::Reply;

class HTTPMultipartWireTest : public ::testing::Test {
protected:
    testing::TaskEnvironment env;
    LoopbackServer server;
    httptest::TemporaryFolder folder;

    ns::Ref<ns::MutableURLRequest> build(const ns::Id& parameters,
                                         const SDPHTTPRequestSerializer::ConstructingBodyBlock& block) {
        ns::Ref<ns::Error> error;
        auto request = SDPHTTPRequestSerializer::serializer()->multipartFormRequestWithMethod(
            "POST", server.url("/upload"), parameters, block, &error);
        EXPECT_FALSE(error) << ns::textOf(error);
        return request;
    }
};

std::string boundaryOf(const ns::Ref<ns::URLRequest>& request) {
    const std::string type = request->valueForHTTPHeaderField("Content-Type")->utf8();
    return type.substr(type.find("boundary=") + 9);
}

TEST_F(HTTPMultipartWireTest, OnePartArrivesByteExactWithItsLength) {
    server.route("POST", "/upload", Reply::text("ok"));
    auto request = build(ns::Dictionary::make({{"a", ns::num(1)}}), nullptr);
    const std::string b = boundaryOf(request);
    auto outcome = httptest::send(env, request);
    ASSERT_FALSE(outcome.error) << ns::textOf(outcome.error);
    ASSERT_EQ(server.requestCount(), 1u);
    const RecordedRequest received = server.requests()[0];
    const std::string expected =
        "--" + b + "\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1\r\n--" + b + "--\r\n";
    EXPECT_EQ(received.body, expected);
    EXPECT_EQ(received.header("Content-Length"), std::to_string(expected.size()));
    EXPECT_EQ(received.header("Content-Type"), "multipart/form-data; boundary=" + b);
    EXPECT_FALSE(received.hasHeader("Transfer-Encoding"));
}

TEST_F(HTTPMultipartWireTest, TwoPartsWithAFileArriveByteExact) {
    server.route("POST", "/upload", Reply::text("ok"));
    const std::string content(70000, 'f');
    const std::string path = folder.write("report.txt", content);
    auto request = build(ns::Dictionary::make({{"title", ns::str("Q3")}}), [&](SDPMultipartFormData& formData) {
        ASSERT_TRUE(formData.appendPartWithFileURL(ns::URL::fileURLWithPath(path), "report", nullptr));
    });
    const std::string b = boundaryOf(request);
    auto outcome = httptest::send(env, request);
    ASSERT_FALSE(outcome.error) << ns::textOf(outcome.error);
    ASSERT_EQ(server.requestCount(), 1u);
    const RecordedRequest received = server.requests()[0];
    const std::string expected = "--" + b + "\r\nContent-Disposition: form-data; name=\"title\"\r\n\r\nQ3\r\n--" + b +
                                 "\r\nContent-Disposition: form-data; name=\"report\"; filename=\"report.txt\"\r\n"
                                 "Content-Type: text/plain\r\n\r\n" +
                                 content + "\r\n--" + b + "--\r\n";
    EXPECT_EQ(received.body.size(), expected.size());
    EXPECT_TRUE(received.body == expected);
    EXPECT_EQ(received.header("Content-Length"), std::to_string(expected.size()));
}

TEST_F(HTTPMultipartWireTest, AFailingPartFailsTheUpload) {
    server.route("POST", "/upload", Reply::text("ok"));
    auto request = build(nullptr, [](SDPMultipartFormData& formData) {
        formData.appendPartWithInputStream(std::make_shared<httptest::FailingStream>(20000), "f", "f.bin", 50000,
                                           "application/octet-stream");
    });
    auto outcome = httptest::send(env, request);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->domain(), ns::URLErrorDomain);
    EXPECT_EQ(outcome.error->code(), ns::URLErrorRequestBodyStreamExhausted);
    for (const auto& received : server.requests()) EXPECT_LT(received.body.size(), 20000u + 200);
}

TEST_F(HTTPMultipartWireTest, AFileGrownAfterItWasAddedFailsTheUploadAndTheNextRequestSucceeds) {
    server.route("POST", "/upload", Reply::text("ok"));
    server.route("GET", "/next", Reply::text("next"));
    const std::string path = folder.write("log.txt", std::string(20000, 'a'));
    auto request = build(nullptr, [&](SDPMultipartFormData& formData) {
        ASSERT_TRUE(formData.appendPartWithFileURL(ns::URL::fileURLWithPath(path), "log", nullptr));
    });
    const size_t declared = std::stoul(request->valueForHTTPHeaderField("Content-Length")->utf8());
    std::ofstream(path, std::ios::app) << std::string(5000, 'b');

    auto config = ns::URLSessionConfiguration::ephemeralSessionConfiguration();
    config->setHTTPMaximumConnectionsPerHost(1);
    auto session = ns::URLSession::sessionWithConfiguration(config);
    ns::Ref<ns::Error> uploadError, nextError;
    ns::Ref<ns::Data> next;
    session->dataTaskWithRequest(request, [&](ns::Ref<ns::Data>, ns::Ref<ns::URLResponse>, ns::Ref<ns::Error> error) {
        uploadError = error;
    })->resume();
    env.runUntilIdle();
    session
        ->dataTaskWithURL(ns::URL::make(server.url("/next")),
                          [&](ns::Ref<ns::Data> data, ns::Ref<ns::URLResponse>, ns::Ref<ns::Error> error) {
                              next = data;
                              nextError = error;
                          })
        ->resume();
    env.runUntilIdle();
    session->finishTasksAndInvalidate();
    env.runUntilIdle();

    ASSERT_TRUE(uploadError);
    EXPECT_EQ(uploadError->code(), ns::URLErrorRequestBodyStreamExhausted);
    for (const auto& received : server.requests()) EXPECT_LE(received.body.size(), declared);
    EXPECT_FALSE(nextError) << ns::textOf(nextError);
    ASSERT_TRUE(next);
    EXPECT_EQ(next->view(), "next");
}

TEST_F(HTTPMultipartWireTest, BodyWrittenToAFileMatchesTheStream) {
    auto formData =
        std::make_shared<SDPStreamingMultipartFormData>(ns::URLRequest::make(ns::URL::make(server.url("/upload"))),
                                                        ns::StringEncoding::UTF8, "Boundary+AAAABBBBCCCCDDDD");
    formData->appendPartWithFormData(ns::Data::withBytes("v"), "k");
    formData->appendPartWithFileData(ns::Data::withBytes(std::string(5000, 'z')), "z", "z.bin", "application/zip");
    auto request = formData->requestByFinalizingMultipartFormData();
    const std::string expected =
        httptest::readAll(*ns::cast<ns::InputStream>(request->HTTPBodyStream()->copy()), 1 << 16).bytes;

    const std::string path = folder.file("body.out");
    int calls = 0;
    bool onMain = false;
    ns::Ref<ns::Error> reported = ns::Error::make("unset", 0);
    auto stripped = SDPHTTPRequestSerializer::serializer()->requestWithMultipartFormRequest(
        request, ns::URL::fileURLWithPath(path), [&](const ns::Ref<ns::Error>& error) {
            ++calls;
            onMain = dispatch::isMainThread();
            reported = error;
        });
    ASSERT_TRUE(stripped);
    EXPECT_FALSE(stripped->HTTPBodyStream());
    EXPECT_EQ(stripped->valueForHTTPHeaderField("Content-Length")->utf8(), std::to_string(expected.size()));
    env.runUntilIdle();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(onMain);
    EXPECT_FALSE(reported) << ns::textOf(reported);
    EXPECT_TRUE(httptest::readFile(path) == expected);
}

TEST_F(HTTPMultipartWireTest, WritingABodyReportsFailures) {
    auto formData = std::make_shared<SDPStreamingMultipartFormData>(
        ns::URLRequest::make(ns::URL::make(server.url("/upload"))), ns::StringEncoding::UTF8);
    formData->appendPartWithInputStream(std::make_shared<httptest::FailingStream>(3000), "f", "f", 9000, "text/plain");
    auto failing = formData->requestByFinalizingMultipartFormData();
    auto serializer = SDPHTTPRequestSerializer::serializer();

    std::vector<ns::Ref<ns::Error>> errors;
    auto record = [&](const ns::Ref<ns::Error>& error) { errors.push_back(error); };
    serializer->requestWithMultipartFormRequest(failing, ns::URL::fileURLWithPath(folder.file("a.out")), record);
    serializer->requestWithMultipartFormRequest(ns::URLRequest::make(ns::URL::make(server.url("/x"))),
                                                ns::URL::fileURLWithPath(folder.file("b.out")), record);
    auto other = std::make_shared<SDPStreamingMultipartFormData>(
        ns::URLRequest::make(ns::URL::make(server.url("/upload"))), ns::StringEncoding::UTF8);
    other->appendPartWithFormData(ns::Data::withBytes("v"), "k");
    serializer->requestWithMultipartFormRequest(other->requestByFinalizingMultipartFormData(),
                                                ns::URL::fileURLWithPath(folder.file("missing/dir/c.out")), record);
    env.runUntilIdle();
    ASSERT_EQ(errors.size(), 3u);
    for (const auto& error : errors) EXPECT_TRUE(error);
    // They finish in any order; the failing stream's own error is passed on.
    EXPECT_EQ(std::count_if(errors.begin(), errors.end(),
                            [](const ns::Ref<ns::Error>& e) { return e && e->domain() == "test.stream"; }),
              1);
}

}  // namespace
