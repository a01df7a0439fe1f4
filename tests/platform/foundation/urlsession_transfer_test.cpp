// Session tasks against a real loopback server: what arrives at the server,
// what the task reports, and how transfers fail.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/foundation/URLSession.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/platform/foundation/urlsession_support.h"

namespace {

using testing::LoopbackServer;
using testing::Reply;
using urltest::Outcome;
using urltest::RecordingDelegate;

// A port nothing listens on: bound, never listened on, then released.
int refusedPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// A body made as it is read, so nothing holds all of it at once.
class GeneratedStream : public ns::InputStream {
public:
    explicit GeneratedStream(uint64_t size) : size_(size) {}
    static char byteAt(uint64_t i) { return char('a' + (i * 7 + i / 4096) % 26); }

    int64_t read(uint8_t* buffer, uint64_t maxLength) override {
        if (streamStatus() == ns::StreamStatusAtEnd) return 0;
        if (streamStatus() != ns::StreamStatusOpen) return -1;
        const uint64_t n = std::min(maxLength, size_ - position_);
        for (uint64_t i = 0; i < n; ++i) buffer[i] = uint8_t(byteAt(position_ + i));
        position_ += n;
        if (n > largestRead.load()) largestRead = n;
        ++reads;
        if (position_ == size_) setStreamStatus(ns::StreamStatusAtEnd);
        return int64_t(n);
    }
    bool hasBytesAvailable() const override { return position_ < size_; }

    std::atomic<uint64_t> largestRead{0};
    std::atomic<int> reads{0};

private:
    uint64_t size_;
    uint64_t position_ = 0;
};

class URLSessionTransferTest : public ::testing::Test {
protected:
    ns::Ref<ns::URLSession> sessionWith(ns::Ref<ns::URLSessionDelegate> delegate,
                                        ns::Ref<ns::OperationQueue> queue = nullptr) {
        auto config = ns::URLSessionConfiguration::ephemeralSessionConfiguration();
        return ns::URLSession::sessionWithConfiguration(config, std::move(delegate), std::move(queue));
    }

    urltest::TemporaryHome home;
    testing::TaskEnvironment env;
    LoopbackServer server;
};

TEST_F(URLSessionTransferTest, FormPostArrivesByteExactWithItsHeaders) {
    server.route("POST", "/form", Reply::text("{\"ok\":1}", "application/json"));
    const std::string body = "name=\xE5\xBC\xA0\xE4\xB8\x89&note=a&b&";
    auto request = urltest::request(server.url("/form"));
    request->setHTTPMethod("POST");
    request->setHTTPBody(ns::Data::withBytes(body));
    request->setValueForHTTPHeaderField("application/x-www-form-urlencoded", "Content-Type");
    request->setValueForHTTPHeaderField(std::to_string(body.size()), "Content-Length");
    request->setTimeoutInterval(3.0);
    Outcome outcome;
    auto session = sessionWith(nullptr);
    session->dataTaskWithRequest(request, outcome.handler())->resume();
    env.runUntilIdle();

    ASSERT_EQ(server.requestCount(), 1u);
    const auto sent = server.requests()[0];
    EXPECT_EQ(sent.method, "POST");
    EXPECT_EQ(sent.body, body);
    EXPECT_EQ(sent.header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(sent.header("Content-Length"), std::to_string(body.size()));
    EXPECT_FALSE(sent.hasHeader("Expect"));
    EXPECT_EQ(outcome.calls, 1);
    EXPECT_EQ(outcome.body(), "{\"ok\":1}");
    EXPECT_EQ(outcome.status(), 200);
    EXPECT_EQ(outcome.response->MIMEType()->utf8(), "application/json");
}

TEST_F(URLSessionTransferTest, GetCarriesItsQueryAndReportsTheResponse) {
    server.route("GET", "/search", Reply::text("found", "text/html; charset=UTF-8"));
    Outcome outcome;
    auto session = sessionWith(nullptr);
    auto task = session->dataTaskWithURL(ns::URL::make(server.url("/search?q=%E4%B8%AD&page=2")), outcome.handler());
    EXPECT_EQ(task->state(), ns::URLSessionTaskStateSuspended);
    task->resume();
    env.runUntilIdle();

    ASSERT_EQ(server.requestCount(), 1u);
    EXPECT_EQ(server.requests()[0].method, "GET");
    EXPECT_EQ(server.requests()[0].path, "/search");
    EXPECT_EQ(server.requests()[0].query, "q=%E4%B8%AD&page=2");
    EXPECT_EQ(outcome.body(), "found");
    auto http = ns::cast<ns::HTTPURLResponse>(outcome.response);
    ASSERT_TRUE(http);
    EXPECT_EQ(http->MIMEType()->utf8(), "text/html");
    EXPECT_EQ(http->textEncodingName()->utf8(), "UTF-8");
    EXPECT_EQ(http->expectedContentLength(), 5);
    EXPECT_EQ(http->valueForHTTPHeaderField("content-type")->utf8(), "text/html; charset=UTF-8");
    EXPECT_EQ(task->state(), ns::URLSessionTaskStateCompleted);
    EXPECT_EQ(task->countOfBytesReceived(), 5);
    EXPECT_EQ(task->response(), outcome.response);
}

TEST_F(URLSessionTransferTest, SlowServerPastTheRequestTimeoutTimesOut) {
    Reply slow = Reply::text("late");
    slow.delaySeconds = 2.0;
    server.route("GET", "/slow", slow);
    auto request = urltest::request(server.url("/slow"));
    request->setTimeoutInterval(1.0);
    Outcome outcome;
    auto session = sessionWith(nullptr);
    session->dataTaskWithRequest(request, outcome.handler())->resume();
    env.runUntilIdle();

    EXPECT_EQ(outcome.calls, 1);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->domain(), ns::URLErrorDomain);
    EXPECT_EQ(outcome.error->code(), ns::URLErrorTimedOut);
    EXPECT_EQ(outcome.error->localizedDescription(), "The request timed out.");
    EXPECT_EQ(ns::cast<ns::String>(outcome.error->userInfo()->objectForKey(ns::URLErrorFailingURLStringErrorKey))->utf8(),
              server.url("/slow"));
    EXPECT_FALSE(outcome.data);
}

TEST_F(URLSessionTransferTest, RefusedPortCannotConnect) {
    Outcome outcome;
    auto session = sessionWith(nullptr);
    const std::string url = "http://127.0.0.1:" + std::to_string(refusedPort()) + "/x";
    session->dataTaskWithURL(ns::URL::make(url), outcome.handler())->resume();
    env.runUntilIdle();

    EXPECT_EQ(outcome.errorCode(), ns::URLErrorCannotConnectToHost);
    EXPECT_EQ(outcome.error->localizedDescription(), "Could not connect to the server.");
    EXPECT_TRUE(ns::equal(outcome.error->userInfo()->objectForKey(ns::URLErrorFailingURLErrorKey), ns::URL::make(url)));
}

TEST_F(URLSessionTransferTest, CancelEndsTheTaskOnceWithCancelled) {
    Reply slow = Reply::text("late");
    slow.delaySeconds = 5.0;
    server.route("GET", "/slow", slow);
    auto delegate = std::make_shared<RecordingDelegate>();
    auto session = sessionWith(delegate);
    auto task = session->dataTaskWithURL(ns::URL::make(server.url("/slow")));
    task->resume();
    ASSERT_TRUE(server.waitForRequests(1, 5.0));
    // The delegate queue runs on its own threads: once the events before
    // are through, hold it, so the completion can only be on its way; the
    // task reads canceling until it is delivered.
    session->delegateQueue()->waitUntilAllOperationsAreFinished();
    session->delegateQueue()->setSuspended(true);
    task->cancel();
    task->cancel();
    EXPECT_EQ(task->state(), ns::URLSessionTaskStateCanceling);
    env.runUntilIdle();
    EXPECT_EQ(task->state(), ns::URLSessionTaskStateCanceling);
    EXPECT_TRUE(delegate->record().completions.empty());
    session->delegateQueue()->setSuspended(false);
    env.runUntilIdle();

    const auto record = delegate->record();
    ASSERT_EQ(record.completions.size(), 1u);
    EXPECT_EQ(record.completions[0]->code(), ns::URLErrorCancelled);
    EXPECT_EQ(record.completions[0]->localizedDescription(), "cancelled");
    EXPECT_EQ(task->state(), ns::URLSessionTaskStateCompleted);
    EXPECT_EQ(task->error()->code(), ns::URLErrorCancelled);
    task->cancel();
    env.runUntilIdle();
    EXPECT_EQ(delegate->record().completions.size(), 1u);
}

TEST_F(URLSessionTransferTest, CancelBeforeResumeStillCompletesOnce) {
    auto delegate = std::make_shared<RecordingDelegate>();
    auto session = sessionWith(delegate);
    auto task = session->dataTaskWithURL(ns::URL::make(server.url("/never")));
    task->cancel();
    env.runUntilIdle();
    ASSERT_EQ(delegate->record().completions.size(), 1u);
    EXPECT_EQ(delegate->record().completions[0]->code(), ns::URLErrorCancelled);
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(URLSessionTransferTest, ChunkedReplyArrivesWhole) {
    Reply reply = Reply::chunked({"first,", "second,", std::string(100000, 'x'), "last"}, "text/plain");
    reply.chunkDelaySeconds = 0.01;
    server.route("GET", "/chunks", reply);
    auto delegate = std::make_shared<RecordingDelegate>();
    auto session = sessionWith(delegate);
    auto task = session->dataTaskWithURL(ns::URL::make(server.url("/chunks")));
    task->resume();
    env.runUntilIdle();

    const auto record = delegate->record();
    EXPECT_EQ(record.body, "first,second," + std::string(100000, 'x') + "last");
    ASSERT_EQ(record.completions.size(), 1u);
    EXPECT_FALSE(record.completions[0]);
    EXPECT_EQ(task->response()->expectedContentLength(), -1);
    EXPECT_EQ(task->countOfBytesExpectedToReceive(), ns::URLSessionTransferSizeUnknown);
}

TEST_F(URLSessionTransferTest, RedirectAsksTheDelegateBeforeFollowing) {
    server.route("POST", "/old", Reply::redirect("/new", 302));
    server.route("GET", "/new", Reply::text("moved here"));
    auto delegate = std::make_shared<RecordingDelegate>();
    ns::Ref<ns::URLRequest> proposed;
    delegate->onRedirect = [&](const ns::Ref<ns::HTTPURLResponse>&, const ns::Ref<ns::URLRequest>& next) {
        proposed = next;
        return next;
    };
    auto session = sessionWith(delegate);
    auto request = urltest::request(server.url("/old"));
    request->setHTTPMethod("POST");
    request->setHTTPBody(ns::Data::withBytes("a=1"));
    auto task = session->dataTaskWithRequest(request);
    task->resume();
    env.runUntilIdle();

    const auto record = delegate->record();
    EXPECT_EQ(record.events.front(), "redirect 302");
    ASSERT_TRUE(proposed);
    EXPECT_EQ(proposed->URL()->absoluteString()->utf8(), server.url("/new"));
    // A POST answered 302 is followed with a GET, as browsers do.
    EXPECT_EQ(proposed->HTTPMethod()->utf8(), "GET");
    EXPECT_EQ(record.body, "moved here");
    ASSERT_EQ(server.requestCount(), 2u);
    EXPECT_EQ(server.requests()[1].method, "GET");
    EXPECT_EQ(task->currentRequest()->URL()->absoluteString()->utf8(), server.url("/new"));
    EXPECT_EQ(task->originalRequest()->URL()->absoluteString()->utf8(), server.url("/old"));
}

TEST_F(URLSessionTransferTest, RedirectRefusedDeliversTheRedirectResponse) {
    Reply redirect = Reply::redirect("/new", 301);
    redirect.body = "see /new";
    server.route("GET", "/old", redirect);
    auto delegate = std::make_shared<RecordingDelegate>();
    delegate->onRedirect = [](const ns::Ref<ns::HTTPURLResponse>&, const ns::Ref<ns::URLRequest>&) {
        return ns::Ref<ns::URLRequest>();
    };
    auto session = sessionWith(delegate);
    auto task = session->dataTaskWithURL(ns::URL::make(server.url("/old")));
    task->resume();
    env.runUntilIdle();

    const auto record = delegate->record();
    EXPECT_EQ(record.body, "see /new");
    EXPECT_EQ(ns::cast<ns::HTTPURLResponse>(task->response())->statusCode(), 301);
    EXPECT_EQ(server.requestCount(), 1u);
}

TEST_F(URLSessionTransferTest, StreamedUploadOfTenMebibytesIsReadAsItIsSent) {
    constexpr uint64_t size = 10 * 1024 * 1024;
    server.route("PUT", "/upload", [](const testing::RecordedRequest& request, Reply& reply) {
        reply = Reply::text(std::to_string(request.body.size()));
    });
    auto stream = std::make_shared<GeneratedStream>(size);
    auto request = urltest::request(server.url("/upload"));
    request->setHTTPMethod("PUT");
    request->setHTTPBodyStream(stream);
    request->setValueForHTTPHeaderField(std::to_string(size), "Content-Length");
    auto delegate = std::make_shared<RecordingDelegate>();
    auto session = sessionWith(delegate);
    auto task = session->uploadTaskWithStreamedRequest(request);
    task->resume();
    env.runUntilIdle();

    const auto record = delegate->record();
    ASSERT_EQ(record.completions.size(), 1u);
    EXPECT_FALSE(record.completions[0]);
    EXPECT_EQ(record.body, std::to_string(size));
    ASSERT_EQ(server.requestCount(), 1u);
    const std::string received = server.requests()[0].body;
    ASSERT_EQ(received.size(), size);
    for (uint64_t i = 0; i < size; i += 4093) ASSERT_EQ(received[i], GeneratedStream::byteAt(i)) << i;
    // Read in pieces no bigger than the transfer buffer, never as a whole.
    EXPECT_LE(stream->largestRead.load(), 64u * 1024);
    EXPECT_GT(stream->reads.load(), 100);
    ASSERT_GT(record.sentTotals.size(), 10u);
    EXPECT_TRUE(std::is_sorted(record.sentTotals.begin(), record.sentTotals.end()));
    EXPECT_EQ(record.sentTotals.back(), int64_t(size));
    EXPECT_EQ(record.expectedToSend, int64_t(size));
    EXPECT_EQ(task->countOfBytesSent(), int64_t(size));
}

TEST_F(URLSessionTransferTest, StreamWithoutLengthIsSentChunked) {
    server.route("POST", "/upload", [](const testing::RecordedRequest& request, Reply& reply) {
        reply = Reply::text(request.header("Transfer-Encoding") + ":" + std::to_string(request.body.size()));
    });
    auto request = urltest::request(server.url("/upload"));
    request->setHTTPMethod("POST");
    request->setHTTPBodyStream(std::make_shared<GeneratedStream>(300000));
    Outcome outcome;
    auto session = sessionWith(nullptr);
    session->dataTaskWithRequest(request, outcome.handler())->resume();
    env.runUntilIdle();
    EXPECT_EQ(outcome.body(), "chunked:300000");
}

TEST_F(URLSessionTransferTest, DownloadLandsInATemporaryFileThatGoesAfterwards) {
    const std::string content(200000, 'd');
    server.route("GET", "/file.bin", Reply::text(content, "application/octet-stream"));
    auto delegate = std::make_shared<RecordingDelegate>();
    std::string path, seen;
    delegate->onDownloaded = [&](const ns::Ref<ns::URL>& location) {
        path = location->path()->utf8();
        std::ifstream in(path, std::ios::binary);
        seen.assign(std::istreambuf_iterator<char>(in), {});
    };
    auto session = sessionWith(delegate);
    auto task = session->downloadTaskWithURL(ns::URL::make(server.url("/file.bin")));
    task->resume();
    env.runUntilIdle();

    EXPECT_EQ(seen, content);
    EXPECT_EQ(path.rfind(home.path() + "/tmp/", 0), 0u) << path;
    EXPECT_FALSE(std::filesystem::exists(path));
    const auto record = delegate->record();
    EXPECT_EQ(record.events, (std::vector<std::string>{"wrote", "downloaded", "complete"}));
    EXPECT_EQ(task->countOfBytesReceived(), int64_t(content.size()));
    EXPECT_EQ(task->countOfBytesExpectedToReceive(), int64_t(content.size()));
}

TEST_F(URLSessionTransferTest, DownloadCompletionHandlerGetsTheFile) {
    server.route("GET", "/f", Reply::text("file body"));
    auto session = sessionWith(nullptr);
    std::string seen;
    std::string path;
    session->downloadTaskWithURL(ns::URL::make(server.url("/f")),
                                 [&](ns::Ref<ns::URL> location, ns::Ref<ns::URLResponse>, ns::Ref<ns::Error> error) {
                                     ASSERT_FALSE(error);
                                     path = location->path()->utf8();
                                     std::ifstream in(path, std::ios::binary);
                                     seen.assign(std::istreambuf_iterator<char>(in), {});
                                 })
        ->resume();
    env.runUntilIdle();
    EXPECT_EQ(seen, "file body");
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(URLSessionTransferTest, CallsArriveOnTheDelegateQueue) {
    server.route("GET", "/a", Reply::text("a"));
    // The main queue: the main thread sees them as the environment runs it.
    auto mainDelegate = std::make_shared<RecordingDelegate>();
    auto onMain = sessionWith(mainDelegate, ns::OperationQueue::mainQueue());
    Outcome mainOutcome;
    onMain->dataTaskWithURL(ns::URL::make(server.url("/a")), mainOutcome.handler())->resume();
    onMain->dataTaskWithURL(ns::URL::make(server.url("/a")))->resume();
    // A session's own queue: a background thread.
    Outcome backgroundOutcome;
    auto background = sessionWith(nullptr);
    background->dataTaskWithURL(ns::URL::make(server.url("/a")), backgroundOutcome.handler())->resume();
    env.runUntilIdle();

    EXPECT_EQ(mainOutcome.calls, 1);
    EXPECT_EQ(mainOutcome.thread, std::this_thread::get_id());
    const auto record = mainDelegate->record();
    ASSERT_FALSE(record.threads.empty());
    for (auto thread : record.threads) EXPECT_EQ(thread, std::this_thread::get_id());
    EXPECT_EQ(backgroundOutcome.calls, 1);
    EXPECT_NE(backgroundOutcome.thread, std::this_thread::get_id());
}

TEST_F(URLSessionTransferTest, UnparsableOrUnsupportedURLsFailWithoutAConnection) {
    auto session = sessionWith(nullptr);
    Outcome noURL, ftp, noHost;
    ASSERT_FALSE(ns::URL::make("http://exa mple.com/"));
    session->dataTaskWithRequest(urltest::request("http://exa mple.com/"), noURL.handler())->resume();
    session->dataTaskWithURL(ns::URL::make("ftp://127.0.0.1/file"), ftp.handler())->resume();
    session->dataTaskWithURL(ns::URL::make("http:relative"), noHost.handler())->resume();
    env.runUntilIdle();
    EXPECT_EQ(noURL.errorCode(), ns::URLErrorBadURL);
    EXPECT_EQ(ftp.errorCode(), ns::URLErrorUnsupportedURL);
    EXPECT_EQ(ftp.error->localizedDescription(), "unsupported URL");
    EXPECT_EQ(noHost.errorCode(), ns::URLErrorBadURL);
}

TEST_F(URLSessionTransferTest, ServerClosingMidBodyLosesTheConnection) {
    Reply reply = Reply::text(std::string(50000, 'z'));
    reply.dropAfterBytes = 1000;
    server.route("GET", "/cut", reply);
    Outcome outcome;
    auto delegate = std::make_shared<RecordingDelegate>();
    auto session = sessionWith(delegate);
    session->dataTaskWithURL(ns::URL::make(server.url("/cut")), outcome.handler())->resume();
    auto task = session->dataTaskWithURL(ns::URL::make(server.url("/cut")));
    task->resume();
    env.runUntilIdle();

    EXPECT_EQ(outcome.errorCode(), ns::URLErrorNetworkConnectionLost);
    EXPECT_EQ(outcome.error->localizedDescription(), "The network connection was lost.");
    EXPECT_FALSE(outcome.data);
    const auto record = delegate->record();
    ASSERT_EQ(record.completions.size(), 1u);
    ASSERT_TRUE(record.completions[0]);
    EXPECT_EQ(record.completions[0]->code(), ns::URLErrorNetworkConnectionLost);
}

TEST_F(URLSessionTransferTest, FileURLsAreReadFromDisk) {
    const std::string path = home.path() + "/page.json";
    std::ofstream(path) << "{\"a\":1}";
    Outcome found, missing;
    auto session = sessionWith(nullptr);
    session->dataTaskWithURL(ns::URL::fileURLWithPath(path), found.handler())->resume();
    session->dataTaskWithURL(ns::URL::fileURLWithPath(home.path() + "/none.json"), missing.handler())->resume();
    env.runUntilIdle();
    EXPECT_EQ(found.body(), "{\"a\":1}");
    EXPECT_EQ(found.response->MIMEType()->utf8(), "application/json");
    EXPECT_EQ(found.response->expectedContentLength(), 7);
    EXPECT_EQ(missing.errorCode(), ns::URLErrorFileDoesNotExist);
}

}  // namespace
