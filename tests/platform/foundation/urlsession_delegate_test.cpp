// What a session asks and tells its delegate, and the task bookkeeping the
// HTTP client relies on: dispositions, observers, resume and suspend hooks,
// invalidation, caching, cookies, authentication and body streams.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/foundation/URLSession.h"
#include "platform/runtime/Exception.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/platform/foundation/urlsession_support.h"

namespace {

using testing::LoopbackServer;
using testing::RecordedRequest;
using testing::Reply;
using urltest::Outcome;
using urltest::RecordingDelegate;
using Disposition = ns::URLSessionResponseDisposition;
using Events = std::vector<std::string>;

class URLSessionDelegateTest : public ::testing::Test {
protected:
    ns::Ref<ns::URLSession> sessionWith(ns::Ref<ns::URLSessionDelegate> delegate,
                                        ns::Ref<ns::URLSessionConfiguration> config = nullptr) {
        if (!config) config = ns::URLSessionConfiguration::ephemeralSessionConfiguration();
        return ns::URLSession::sessionWithConfiguration(config, std::move(delegate), nullptr);
    }
    ns::Ref<ns::URL> url(const std::string& path) { return ns::URL::make(server.url(path)); }

    urltest::TemporaryHome home;
    testing::TaskEnvironment env;
    LoopbackServer server;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
};

TEST_F(URLSessionDelegateTest, ResponseDispositionDecidesWhetherDataFollows) {
    server.route("GET", "/page", Reply::text("body"));
    delegate->onResponse = [](const ns::Ref<ns::URLResponse>&) { return Disposition::Cancel; };
    auto session = sessionWith(delegate);
    session->dataTaskWithURL(url("/page"))->resume();
    env.runUntilIdle();
    EXPECT_EQ(delegate->record().events, (Events{"response 200", "complete -999"}));
    EXPECT_EQ(delegate->record().body, "");

    auto allowing = std::make_shared<RecordingDelegate>();
    allowing->onResponse = [](const ns::Ref<ns::URLResponse>&) { return Disposition::Allow; };
    auto second = sessionWith(allowing);
    second->dataTaskWithURL(url("/page"))->resume();
    env.runUntilIdle();
    EXPECT_EQ(allowing->record().events, (Events{"response 200", "complete"}));
    EXPECT_EQ(allowing->record().body, "body");
}

TEST_F(URLSessionDelegateTest, ADelegateWithoutTheResponseAndCacheMethodsIsNeverAsked) {
    struct Declining : RecordingDelegate {
        bool respondsToSelector(std::string_view selector) const override {
            return selector != ns::URLSessionDidReceiveResponseSelector &&
                   selector != ns::URLSessionWillCacheResponseSelector;
        }
    };
    Reply cacheable = Reply::text(std::string(100000, 'b'));
    cacheable.setHeader("Cache-Control", "max-age=60");
    server.route("GET", "/page", cacheable);
    auto declining = std::make_shared<Declining>();
    // Would cancel and refuse, were it asked.
    declining->onResponse = [](const ns::Ref<ns::URLResponse>&) { return Disposition::Cancel; };
    declining->onWillCache = [](const ns::Ref<ns::CachedURLResponse>&) { return ns::Ref<ns::CachedURLResponse>(); };
    auto config = ns::URLSessionConfiguration::defaultSessionConfiguration();
    config->setURLCache(ns::URLCache::make(1 << 20, 1 << 22, "TestCache"));
    auto session = sessionWith(declining, config);
    auto task = session->dataTaskWithURL(url("/page"));
    task->resume();
    env.runUntilIdle();

    EXPECT_EQ(declining->record().events, (Events{"complete"}));
    EXPECT_EQ(declining->record().body, std::string(100000, 'b'));
    ASSERT_TRUE(task->response());
    EXPECT_EQ(task->countOfBytesReceived(), 100000);
    EXPECT_EQ(task->countOfBytesExpectedToReceive(), 100000);

    // Stored as proposed.
    Outcome second;
    session->dataTaskWithURL(url("/page"), second.handler())->resume();
    env.runUntilIdle();
    EXPECT_EQ(second.body(), std::string(100000, 'b'));
    EXPECT_EQ(server.requestCount(), 1u);
}

TEST_F(URLSessionDelegateTest, ACompletionHandlerFindsItsTaskUpToDateAndObserversHearFirst) {
    server.route("GET", "/page", Reply::text("body"));
    auto session = sessionWith(nullptr);
    std::mutex lock;
    Events heard;
    auto note = [&](std::string what) {
        std::lock_guard guard(lock);
        heard.push_back(std::move(what));
    };
    ns::Ref<ns::URLSessionDataTask> quiet, observed;
    auto check = [&](const char* name, const ns::Ref<ns::URLSessionDataTask>* task) {
        return [&, name, task](ns::Ref<ns::Data> data, ns::Ref<ns::URLResponse> response, ns::Ref<ns::Error> error) {
            const bool upToDate = !error && data && data->length() == 4 && (*task)->response() == response &&
                                  (*task)->countOfBytesReceived() == 4 && (*task)->countOfBytesExpectedToReceive() == 4;
            note(std::string(name) + (upToDate ? " up to date" : " stale"));
        };
    };
    quiet = session->dataTaskWithURL(url("/page"), check("quiet", &quiet));
    observed = session->dataTaskWithURL(url("/page"), check("observed", &observed));
    observed->addObserver("countOfBytesReceived", [&](ns::URLSessionTask&, const std::string&, int64_t value) {
        note("received " + std::to_string(value));
    });
    quiet->resume();
    env.runUntilIdle();
    observed->resume();
    env.runUntilIdle();

    EXPECT_EQ(heard, (Events{"quiet up to date", "received 4", "observed up to date"}));
}

TEST_F(URLSessionDelegateTest, DataTaskBecomesADownloadTask) {
    server.route("GET", "/big", Reply::text(std::string(70000, 'q')));
    delegate->onResponse = [](const ns::Ref<ns::URLResponse>&) { return Disposition::BecomeDownload; };
    std::string downloaded;
    delegate->onDownloaded = [&](const ns::Ref<ns::URL>& location) {
        std::ifstream in(location->path()->utf8(), std::ios::binary);
        downloaded.assign(std::istreambuf_iterator<char>(in), {});
    };
    auto session = sessionWith(delegate);
    auto task = session->dataTaskWithURL(url("/big"));
    task->resume();
    env.runUntilIdle();

    const auto record = delegate->record();
    EXPECT_EQ(record.events, (Events{"response 200", "became-download", "wrote", "downloaded", "complete"}));
    EXPECT_EQ(downloaded, std::string(70000, 'q'));
    ASSERT_TRUE(record.becameDownload);
    EXPECT_NE(record.becameDownload->taskIdentifier(), task->taskIdentifier());
    EXPECT_EQ(record.becameDownload->state(), ns::URLSessionTaskStateCompleted);
    EXPECT_EQ(task->state(), ns::URLSessionTaskStateCompleted);
    EXPECT_EQ(record.becameDownload->countOfBytesReceived(), 70000);
}

TEST_F(URLSessionDelegateTest, ObserversSeeTheByteCountsAsTheyChange) {
    server.route("POST", "/echo", [](const RecordedRequest& request, Reply& reply) { reply = Reply::text(request.body); });
    auto session = sessionWith(delegate);
    auto request = urltest::request(server.url("/echo"));
    request->setHTTPMethod("POST");
    auto task = session->uploadTaskWithRequestFromData(request, ns::Data::withBytes(std::string(5000, 'u')));
    EXPECT_EQ(task->countOfBytesExpectedToSend(), 5000);
    EXPECT_EQ(session->dataTaskWithRequest(request)->countOfBytesExpectedToSend(), 0);
    std::mutex lock;
    std::map<std::string, std::vector<int64_t>> seen;
    for (const char* key : {"countOfBytesSent", "countOfBytesExpectedToSend", "countOfBytesReceived",
                            "countOfBytesExpectedToReceive", "state"}) {
        task->addObserver(key, [&](ns::URLSessionTask&, const std::string& keyPath, int64_t value) {
            std::lock_guard guard(lock);
            seen[keyPath].push_back(value);
        });
    }
    task->resume();
    env.runUntilIdle();

    EXPECT_EQ(seen["countOfBytesExpectedToSend"].back(), 5000);
    EXPECT_EQ(seen["countOfBytesSent"].back(), 5000);
    EXPECT_EQ(seen["countOfBytesExpectedToReceive"].back(), 5000);
    EXPECT_EQ(seen["countOfBytesReceived"].back(), 5000);
    EXPECT_EQ(seen["state"], (std::vector<int64_t>{ns::URLSessionTaskStateRunning, ns::URLSessionTaskStateCompleted}));
    EXPECT_EQ(delegate->record().expectedToSend, 5000);
    EXPECT_EQ(server.requests()[0].body, std::string(5000, 'u'));
}

TEST_F(URLSessionDelegateTest, ActivityHookHearsOnlyRealResumesAndSuspends) {
    std::vector<std::pair<uint64_t, ns::URLSessionTask::Activity>> heard;
    const uint64_t hook = ns::URLSessionTask::addActivityHook(
        [&](ns::URLSessionTask& task, ns::URLSessionTask::Activity activity) { heard.emplace_back(task.taskIdentifier(), activity); });
    Reply slow = Reply::text("x");
    slow.delaySeconds = 0.2;
    server.route("GET", "/x", slow);
    auto session = sessionWith(delegate);
    auto task = session->dataTaskWithURL(url("/x"));
    task->resume();
    task->resume();  // already running: nothing
    task->suspend();
    task->suspend();  // already suspended: nothing
    task->resume();
    env.runUntilIdle();
    ns::URLSessionTask::removeActivityHook(hook);

    using A = ns::URLSessionTask::Activity;
    const uint64_t id = task->taskIdentifier();
    EXPECT_EQ(heard, (std::vector<std::pair<uint64_t, A>>{{id, A::Resumed}, {id, A::Suspended}, {id, A::Resumed}}));
    EXPECT_EQ(delegate->record().events.back(), "complete");
}

TEST_F(URLSessionDelegateTest, TasksCarryIdentifiersAndDescriptions) {
    auto session = sessionWith(delegate);
    auto first = session->dataTaskWithURL(url("/a"));
    auto second = session->downloadTaskWithURL(url("/b"));
    EXPECT_EQ(first->taskIdentifier(), 1u);
    EXPECT_EQ(second->taskIdentifier(), 2u);
    EXPECT_FALSE(first->taskDescription());
    first->setTaskDescription(ns::String::make("0x1234"));
    EXPECT_EQ(first->taskDescription()->utf8(), "0x1234");
    EXPECT_TRUE(first->isKindOf("NSURLSessionTask"));
    EXPECT_TRUE(session->uploadTaskWithStreamedRequest(urltest::request(server.url("/c")))->isKindOf("NSURLSessionDataTask"));
    EXPECT_EQ(first->priority(), ns::URLSessionTaskPriorityDefault);

    std::vector<uint64_t> data, uploads, downloads;
    session->getTasksWithCompletionHandler([&](auto d, auto u, auto w) {
        for (auto& t : d) data.push_back(t->taskIdentifier());
        for (auto& t : u) uploads.push_back(t->taskIdentifier());
        for (auto& t : w) downloads.push_back(t->taskIdentifier());
    });
    env.runUntilIdle();
    EXPECT_EQ(data, (std::vector<uint64_t>{1}));
    EXPECT_EQ(uploads, (std::vector<uint64_t>{3}));
    EXPECT_EQ(downloads, (std::vector<uint64_t>{2}));
}

TEST_F(URLSessionDelegateTest, FinishTasksAndInvalidateWaitsForRunningTasks) {
    Reply slow = Reply::text("done");
    slow.delaySeconds = 0.2;
    server.route("GET", "/slow", slow);
    auto session = sessionWith(delegate);
    session->dataTaskWithURL(url("/slow"))->resume();
    session->finishTasksAndInvalidate();
    EXPECT_THROW(session->dataTaskWithURL(url("/slow")), ns::Exception);
    env.runUntilIdle();
    EXPECT_EQ(delegate->record().events, (Events{"response 200", "complete", "invalid"}));
    EXPECT_EQ(delegate->record().body, "done");
    EXPECT_FALSE(session->delegate());
}

TEST_F(URLSessionDelegateTest, InvalidateAndCancelCancelsEveryTask) {
    Reply slow = Reply::text("never");
    slow.delaySeconds = 5;
    server.route("GET", "/slow", slow);
    auto session = sessionWith(delegate);
    session->dataTaskWithURL(url("/slow"))->resume();
    session->dataTaskWithURL(url("/slow"));  // never resumed
    session->invalidateAndCancel();
    env.runUntilIdle();
    EXPECT_EQ(delegate->record().events, (Events{"complete -999", "complete -999", "invalid"}));
}

TEST_F(URLSessionDelegateTest, SharedSessionIgnoresInvalidation) {
    server.route("GET", "/a", Reply::text("shared"));
    auto shared = ns::URLSession::sharedSession();
    EXPECT_EQ(shared, ns::URLSession::sharedSession());
    shared->invalidateAndCancel();
    Outcome outcome;
    shared->dataTaskWithURL(url("/a"), outcome.handler())->resume();
    env.runUntilIdle();
    EXPECT_EQ(outcome.body(), "shared");
}

TEST_F(URLSessionDelegateTest, FreshResponsesComeFromTheCacheWithoutTheServer) {
    Reply cacheable = Reply::text("cached body");
    cacheable.setHeader("Cache-Control", "max-age=60");
    server.route("GET", "/c", cacheable);
    delegate->onWillCache = [](const ns::Ref<ns::CachedURLResponse>& proposed) { return proposed; };
    auto config = ns::URLSessionConfiguration::defaultSessionConfiguration();
    config->setURLCache(ns::URLCache::make(1 << 20, 1 << 22, "TestCache"));
    auto session = sessionWith(delegate, config);
    session->dataTaskWithURL(url("/c"))->resume();
    env.runUntilIdle();
    EXPECT_EQ(delegate->record().events, (Events{"response 200", "will-cache", "complete"}));

    Outcome second;
    session->dataTaskWithURL(url("/c"), second.handler())->resume();
    env.runUntilIdle();
    EXPECT_EQ(second.body(), "cached body");
    EXPECT_EQ(server.requestCount(), 1u);

    // Past max-age the server is asked again; a reload ignores the cache.
    env.fastForwardBy(61);
    Outcome third;
    session->dataTaskWithURL(url("/c"), third.handler())->resume();
    env.runUntilIdle();
    EXPECT_EQ(server.requestCount(), 2u);
    auto reload = urltest::request(server.url("/c"));
    reload->setCachePolicy(ns::URLRequestReloadIgnoringLocalCacheData);
    session->dataTaskWithRequest(reload)->resume();
    env.runUntilIdle();
    EXPECT_EQ(server.requestCount(), 3u);
    EXPECT_TRUE(std::filesystem::is_directory(home.path() + "/Library/Caches/TestCache"));
}

TEST_F(URLSessionDelegateTest, WillCacheCanRefuseAndNoStoreIsNeverCached) {
    Reply cacheable = Reply::text("one");
    cacheable.setHeader("Cache-Control", "max-age=60");
    server.route("GET", "/refused", cacheable);
    Reply noStore = Reply::text("two");
    noStore.setHeader("Cache-Control", "no-store, max-age=60");
    server.route("GET", "/nostore", noStore);
    delegate->onWillCache = [](const ns::Ref<ns::CachedURLResponse>&) { return ns::Ref<ns::CachedURLResponse>(); };
    auto config = ns::URLSessionConfiguration::ephemeralSessionConfiguration();
    auto session = sessionWith(delegate, config);
    for (int i = 0; i < 2; ++i) {
        session->dataTaskWithURL(url("/refused"))->resume();
        session->dataTaskWithURL(url("/nostore"))->resume();
        env.runUntilIdle();
    }
    EXPECT_EQ(server.requestCount(), 4u);
}

TEST_F(URLSessionDelegateTest, CookiesAreStoredAndSentBack) {
    Reply setting = Reply::text("set");
    setting.headers.emplace_back("Set-Cookie", "sid=abc123; Path=/");
    setting.headers.emplace_back("Set-Cookie", "theme=dark; Path=/account");
    server.route("GET", "/login", setting);
    server.route("GET", "/account/home", Reply::text("home"));
    server.route("GET", "/other", Reply::text("other"));
    auto config = ns::URLSessionConfiguration::ephemeralSessionConfiguration();
    auto storage = config->HTTPCookieStorage();
    auto session = sessionWith(delegate, config);
    session->dataTaskWithURL(url("/login"))->resume();
    env.runUntilIdle();
    session->dataTaskWithURL(url("/account/home"))->resume();
    session->dataTaskWithURL(url("/other"))->resume();
    auto withoutCookies = urltest::request(server.url("/other"));
    withoutCookies->setHTTPShouldHandleCookies(false);
    session->dataTaskWithRequest(withoutCookies)->resume();
    env.runUntilIdle();

    EXPECT_EQ(storage->cookies().size(), 2u);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 4u);
    for (const auto& r : requests) {
        if (r.path == "/account/home") {
            EXPECT_EQ(r.header("Cookie"), "theme=dark; sid=abc123");
        }
    }
    int plainCookies = 0, none = 0;
    for (const auto& r : requests) {
        if (r.path != "/other") continue;
        if (r.header("Cookie") == "sid=abc123") ++plainCookies;
        if (!r.hasHeader("Cookie")) ++none;
    }
    EXPECT_EQ(plainCookies, 1);
    EXPECT_EQ(none, 1);
}

TEST_F(URLSessionDelegateTest, BasicChallengeRetriesWithTheCredential) {
    server.route("GET", "/private", [](const RecordedRequest& request, Reply& reply) {
        if (request.header("Authorization") == "Basic dXNlcjpwYXNz") {
            reply = Reply::text("welcome");
        } else {
            reply = Reply::withStatus(401, "who are you");
            reply.setHeader("WWW-Authenticate", "Basic realm=\"members\"");
        }
    });
    delegate->onTaskChallenge = [](const ns::Ref<ns::URLAuthenticationChallenge>& challenge) {
        if (challenge->previousFailureCount() > 0) {
            return std::make_pair(ns::URLSessionAuthChallengeDisposition::CancelAuthenticationChallenge,
                                  ns::Ref<ns::URLCredential>());
        }
        return std::make_pair(ns::URLSessionAuthChallengeDisposition::UseCredential,
                              ns::URLCredential::credentialWithUser(ns::String::make("user"), ns::String::make("pass")));
    };
    auto session = sessionWith(delegate);
    session->dataTaskWithURL(url("/private"))->resume();
    env.runUntilIdle();

    const auto record = delegate->record();
    EXPECT_EQ(record.body, "welcome");
    ASSERT_EQ(record.challenges.size(), 1u);
    const auto& space = record.challenges[0]->protectionSpace();
    EXPECT_EQ(space->authenticationMethod(), ns::URLAuthenticationMethodHTTPBasic);
    EXPECT_EQ(space->realm()->utf8(), "members");
    EXPECT_EQ(server.requestCount(), 2u);
}

TEST_F(URLSessionDelegateTest, UnansweredBasicChallengeDeliversTheUnauthorizedResponse) {
    Reply denied = Reply::withStatus(401, "denied");
    denied.setHeader("WWW-Authenticate", "Basic realm=\"x\"");
    server.route("GET", "/private", denied);
    Outcome outcome;
    auto session = sessionWith(nullptr);
    session->dataTaskWithURL(url("/private"), outcome.handler())->resume();
    env.runUntilIdle();
    EXPECT_EQ(outcome.status(), 401);
    EXPECT_EQ(outcome.body(), "denied");
    EXPECT_FALSE(outcome.error);
}

TEST_F(URLSessionDelegateTest, StreamedUploadAsksForAStreamWhenItHasNone) {
    server.route("POST", "/up", [](const RecordedRequest& request, Reply& reply) { reply = Reply::text(request.body); });
    delegate->onNeedBodyStream = [] { return ns::InputStream::withData(ns::Data::withBytes("streamed")); };
    auto session = sessionWith(delegate);
    auto request = urltest::request(server.url("/up"));
    request->setHTTPMethod("POST");
    session->uploadTaskWithStreamedRequest(request)->resume();
    env.runUntilIdle();
    EXPECT_EQ(delegate->record().events, (Events{"need-body-stream", "response 200", "complete"}));
    EXPECT_EQ(delegate->record().body, "streamed");
}

TEST_F(URLSessionDelegateTest, TemporaryRedirectSendsTheStreamAgainFromANewOne) {
    server.route("POST", "/first", Reply::redirect("/second", 307));
    server.route("POST", "/second", [](const RecordedRequest& request, Reply& reply) { reply = Reply::text(request.body); });
    delegate->onNeedBodyStream = [] { return ns::InputStream::withData(ns::Data::withBytes("payload")); };
    auto session = sessionWith(delegate);
    auto request = urltest::request(server.url("/first"));
    request->setHTTPMethod("POST");
    request->setHTTPBodyStream(ns::InputStream::withData(ns::Data::withBytes("payload")));
    session->dataTaskWithRequest(request)->resume();
    env.runUntilIdle();
    EXPECT_EQ(delegate->record().events, (Events{"need-body-stream", "response 200", "complete"}));
    EXPECT_EQ(delegate->record().body, "payload");
    EXPECT_EQ(server.requests()[1].method, "POST");

    // Without a delegate to ask, the spent stream cannot be sent again.
    Outcome outcome;
    auto plain = sessionWith(nullptr);
    request->setHTTPBodyStream(ns::InputStream::withData(ns::Data::withBytes("payload")));
    plain->dataTaskWithRequest(request, outcome.handler())->resume();
    env.runUntilIdle();
    EXPECT_EQ(outcome.errorCode(), ns::URLErrorRequestBodyStreamExhausted);
}

TEST_F(URLSessionDelegateTest, SessionHeadersAndTimeoutsApplyToEveryRequest) {
    server.route("GET", "/h", Reply::text("ok"));
    auto config = ns::URLSessionConfiguration::ephemeralSessionConfiguration();
    config->setHTTPAdditionalHeaders(ns::Dictionary::make({{"X-App", ns::String::make("game")},
                                                           {"Accept-Language", ns::String::make("fr")}}));
    auto session = sessionWith(delegate, config);
    auto request = urltest::request(server.url("/h"));
    request->setValueForHTTPHeaderField("zh-Hans", "accept-language");
    session->dataTaskWithRequest(request)->resume();
    env.runUntilIdle();
    EXPECT_EQ(server.requests()[0].header("X-App"), "game");
    EXPECT_EQ(server.requests()[0].header("Accept-Language"), "zh-Hans");
    // The session copied the configuration when it was made.
    config->setTimeoutIntervalForRequest(1);
    EXPECT_EQ(session->configuration()->timeoutIntervalForRequest(), 60);
}

TEST_F(URLSessionDelegateTest, CancelledDownloadResumesWhereItStopped) {
    const std::string content = std::string(40000, 'a') + std::string(40000, 'b');
    server.route("GET", "/file", [&](const RecordedRequest& request, Reply& reply) {
        const std::string range = request.header("Range");
        if (range.rfind("bytes=", 0) == 0 && request.header("If-Range") == "\"v1\"") {
            // The server library cuts the body to the requested range itself.
            reply = Reply::text(content, "application/octet-stream");
            reply.status = 206;
        } else {
            reply = Reply::chunked({content.substr(0, 40000), content.substr(40000)}, "application/octet-stream");
            reply.chunkDelaySeconds = 3;
        }
        reply.setHeader("ETag", "\"v1\"");
    });
    auto session = sessionWith(delegate);
    auto task = session->downloadTaskWithURL(url("/file"));
    std::atomic<int64_t> received{0};
    task->addObserver("countOfBytesReceived", [&](ns::URLSessionTask&, const std::string&, int64_t v) { received = v; });
    task->resume();
    // The delegate queue runs on its own threads: wait in real time for the
    // first piece, while the second is still seconds away.
    for (int i = 0; i < 500 && received.load() < 40000; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(received.load(), 40000);
    ns::Ref<ns::Data> resumeData;
    task->cancelByProducingResumeData([&](ns::Ref<ns::Data> data) { resumeData = data; });
    env.runUntilIdle();
    ASSERT_TRUE(resumeData);

    std::string downloaded;
    delegate->onDownloaded = [&](const ns::Ref<ns::URL>& location) {
        std::ifstream in(location->path()->utf8(), std::ios::binary);
        downloaded.assign(std::istreambuf_iterator<char>(in), {});
    };
    session->downloadTaskWithResumeData(resumeData)->resume();
    env.runUntilIdle();
    EXPECT_EQ(downloaded.size(), content.size());
    EXPECT_TRUE(downloaded == content);
    const auto events = delegate->record().events;
    EXPECT_NE(std::find(events.begin(), events.end(), "resumed 40000/80000"), events.end());

    Outcome bad;
    session->downloadTaskWithResumeData(ns::Data::withBytes("garbage"),
                                        [&](ns::Ref<ns::URL>, ns::Ref<ns::URLResponse>, ns::Ref<ns::Error> e) {
                                            bad.handler()(nullptr, nullptr, e);
                                        })
        ->resume();
    env.runUntilIdle();
    EXPECT_EQ(bad.errorCode(), ns::URLErrorCannotOpenFile);
}

}  // namespace
