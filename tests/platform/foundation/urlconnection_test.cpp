// The older connection API: delegate calls on the run loop the connection
// was scheduled in, pieces of data as they arrive, cancellation, caching
// decisions, redirects and challenges, and the credential storage.

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/URLConnection.h"
#include "platform/foundation/URLCredentialStorage.h"
#include "platform/foundation/URLError.h"
#include "platform/security/Certificate.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/PeakBound.h"
#include "platform/testing/SilentServer.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/testing/TestCertificates.h"
#include "tests/platform/foundation/reply_memory_support.h"
#include "tests/platform/foundation/urlsession_support.h"

namespace {

using testing::LoopbackServer;
using testing::Reply;
using Events = std::vector<std::string>;

class Recorder : public ns::URLConnectionDataDelegate {
public:
    std::function<ns::Ref<ns::URLRequest>(const ns::Ref<ns::URLRequest>&, const ns::Ref<ns::URLResponse>&)> onRedirect;
    std::function<ns::Ref<ns::CachedURLResponse>(const ns::Ref<ns::CachedURLResponse>&)> onWillCache;
    std::function<void(const ns::Ref<ns::URLAuthenticationChallenge>&)> onChallenge;
    std::function<void(ns::URLConnection&)> afterResponse;
    bool useCredentialStorage = true;

    Events events;
    std::vector<std::string> pieces;
    ns::Ref<ns::Error> error;
    bool offMainThread = false;

    void didFailWithError(ns::URLConnection&, const ns::Ref<ns::Error>& e) override {
        note("fail " + std::to_string(e->code()));
        error = e;
    }
    bool connectionShouldUseCredentialStorage(ns::URLConnection&) override {
        note(useCredentialStorage ? "storage: yes" : "storage: no");
        return useCredentialStorage;
    }
    bool willSendRequestForAuthenticationChallenge(ns::URLConnection&,
                                                   const ns::Ref<ns::URLAuthenticationChallenge>& challenge) override {
        if (!onChallenge) return false;
        note("challenge");
        onChallenge(challenge);
        return true;
    }
    ns::Ref<ns::URLRequest> willSendRequest(ns::URLConnection&, const ns::Ref<ns::URLRequest>& request,
                                            const ns::Ref<ns::URLResponse>& redirect) override {
        note("redirect");
        return onRedirect ? onRedirect(request, redirect) : request;
    }
    void didReceiveResponse(ns::URLConnection& connection, const ns::Ref<ns::URLResponse>& response) override {
        note("response " + std::to_string(ns::cast<ns::HTTPURLResponse>(response)->statusCode()));
        if (afterResponse) afterResponse(connection);
    }
    void didReceiveData(ns::URLConnection&, const ns::Ref<ns::Data>& data) override {
        note("data");
        pieces.emplace_back(data->view());
    }
    ns::Ref<ns::CachedURLResponse> willCacheResponse(ns::URLConnection&, const ns::Ref<ns::CachedURLResponse>& cached) override {
        note("will-cache");
        return onWillCache ? onWillCache(cached) : cached;
    }
    void connectionDidFinishLoading(ns::URLConnection&) override { note("finish"); }

    std::string body() const {
        std::string out;
        for (const auto& p : pieces) out += p;
        return out;
    }
    // The events with runs of "data" folded into one, without the caching
    // question every cacheable response brings.
    Events folded() const {
        Events out;
        for (const auto& e : events) {
            if (e == "will-cache") continue;
            if (e == "data" && !out.empty() && out.back() == "data") continue;
            out.push_back(e);
        }
        return out;
    }

private:
    void note(std::string event) {
        if (!dispatch::RunLoop::current().isMain()) offMainThread = true;
        events.push_back(std::move(event));
    }
};

class URLConnectionTest : public ::testing::Test {
protected:
    urltest::TemporaryHome home;
    testing::TaskEnvironment env;
    LoopbackServer server;
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
};

TEST_F(URLConnectionTest, DelegateHearsEachPieceOnTheMainRunLoop) {
    Reply reply = Reply::chunked({"{\"first\":1}", "{\"second\":2}"}, "text/html");
    reply.chunkDelaySeconds = 0.1;
    server.route("POST", "/api", reply);
    auto request = urltest::request(server.url("/api"));
    request->setHTTPMethod("POST");
    request->setCachePolicy(ns::URLRequestReloadIgnoringLocalCacheData);
    request->setTimeoutInterval(10);
    request->setValueForHTTPHeaderField("text/html", "Content-Type");
    request->setHTTPBody(ns::Data::withBytes("\x1f\x8b payload"));
    auto connection = ns::URLConnection::make(request, recorder);
    env.runUntilIdle();

    EXPECT_EQ(recorder->events, (Events{"response 200", "data", "data", "finish"}));
    EXPECT_EQ(recorder->pieces, (std::vector<std::string>{"{\"first\":1}", "{\"second\":2}"}));
    EXPECT_FALSE(recorder->offMainThread);
    EXPECT_EQ(server.requests()[0].body, "\x1f\x8b payload");
    EXPECT_EQ(server.requests()[0].header("Content-Type"), "text/html");
}

TEST_F(URLConnectionTest, FailureReachesTheDelegate) {
    LoopbackServer closed;
    const std::string url = closed.url("/gone");
    closed.stop();
    ns::URLConnection::make(urltest::request(url), recorder);
    env.runUntilIdle();
    EXPECT_EQ(recorder->events, (Events{"fail -1004"}));
    EXPECT_EQ(recorder->error->domain(), ns::URLErrorDomain);
}

TEST_F(URLConnectionTest, CancelledConnectionTellsNothingMore) {
    Reply reply = Reply::chunked({"one", "two"});
    reply.chunkDelaySeconds = 0.2;
    server.route("GET", "/slow", reply);
    recorder->afterResponse = [](ns::URLConnection& connection) { connection.cancel(); };
    ns::URLConnection::make(urltest::request(server.url("/slow")), recorder);
    env.runUntilIdle();
    EXPECT_EQ(recorder->events, (Events{"response 200"}));
}

TEST_F(URLConnectionTest, DeliveryWaitsForTheScheduledMode) {
    server.route("GET", "/a", Reply::text("tracked"));
    auto connection = ns::URLConnection::make(urltest::request(server.url("/a")), recorder, false);
    connection->scheduleInRunLoop(dispatch::RunLoop::main(), dispatch::RunLoopMode::Tracking);
    connection->start();
    // Everything has arrived and been handed to the main run loop, which
    // has only run in the default mode so far.
    env.runUntilIdle();
    EXPECT_TRUE(recorder->events.empty());
    // Each pass in the tracking mode lets the load go a step further (the
    // caching question is answered there too).
    for (int i = 0; i < 10 && recorder->folded().size() < 3; ++i) {
        dispatch::RunLoop::main().runOnce(dispatch::RunLoopMode::Tracking);
        env.runUntilIdle();
    }
    EXPECT_EQ(recorder->folded(), (Events{"response 200", "data", "finish"}));
    EXPECT_EQ(recorder->body(), "tracked");
}

TEST_F(URLConnectionTest, WillCacheDecidesWhatTheSharedCacheKeeps) {
    Reply cacheable = Reply::text("image bytes", "image/png");
    cacheable.setHeader("Cache-Control", "max-age=600");
    server.route("GET", "/kept.png", cacheable);
    server.route("GET", "/dropped.png", cacheable);
    recorder->onWillCache = [](const ns::Ref<ns::CachedURLResponse>& cached) {
        return cached->response()->URL()->path()->utf8() == "/kept.png" ? cached : nullptr;
    };
    ns::URLConnection::make(urltest::request(server.url("/kept.png")), recorder);
    ns::URLConnection::make(urltest::request(server.url("/dropped.png")), recorder);
    env.runUntilIdle();
    EXPECT_EQ(std::count(recorder->events.begin(), recorder->events.end(), "will-cache"), 2);

    auto again = std::make_shared<Recorder>();
    ns::URLConnection::make(urltest::request(server.url("/kept.png")), again);
    ns::URLConnection::make(urltest::request(server.url("/dropped.png")), again);
    auto reload = urltest::request(server.url("/kept.png"));
    reload->setCachePolicy(ns::URLRequestReloadIgnoringLocalCacheData);
    ns::URLConnection::make(reload, again);
    env.runUntilIdle();
    // Only the dropped one and the reload went to the server again.
    EXPECT_EQ(server.requestCount(), 4u);
    ns::URLCache::sharedURLCache()->removeAllCachedResponses();
}

TEST_F(URLConnectionTest, RedirectAsksWillSendRequest) {
    server.route("GET", "/from", Reply::redirect("/to"));
    server.route("GET", "/to", Reply::text("arrived"));
    ns::Ref<ns::URLResponse> redirectSeen;
    recorder->onRedirect = [&](const ns::Ref<ns::URLRequest>& request, const ns::Ref<ns::URLResponse>& redirect) {
        redirectSeen = redirect;
        return request;
    };
    auto connection = ns::URLConnection::make(urltest::request(server.url("/from")), recorder);
    env.runUntilIdle();
    EXPECT_EQ(recorder->folded(), (Events{"redirect", "response 200", "data", "finish"}));
    ASSERT_TRUE(redirectSeen);
    EXPECT_EQ(ns::cast<ns::HTTPURLResponse>(redirectSeen)->statusCode(), 302);
    EXPECT_EQ(connection->currentRequest()->URL()->path()->utf8(), "/to");
}

TEST_F(URLConnectionTest, ChallengeIsAnsweredThroughItsSender) {
    testing::TestCertificates certificates;
    LoopbackServer secure(certificates.selfSigned());
    secure.route("GET", "/", Reply::text("trusted anyway"));
    recorder->onChallenge = [](const ns::Ref<ns::URLAuthenticationChallenge>& challenge) {
        ASSERT_EQ(challenge->protectionSpace()->authenticationMethod(), ns::URLAuthenticationMethodServerTrust);
        challenge->sender()->useCredential(ns::URLCredential::credentialForTrust(challenge->protectionSpace()->serverTrust()),
                                           *challenge);
    };
    ns::URLConnection::make(urltest::request(secure.url("/")), recorder);
    env.runUntilIdle();
    EXPECT_EQ(recorder->folded(), (Events{"challenge", "response 200", "data", "finish"}));

    // Another server: a connection kept alive to the first is not challenged again.
    LoopbackServer other(certificates.selfSigned());
    auto refusing = std::make_shared<Recorder>();
    refusing->onChallenge = [](const ns::Ref<ns::URLAuthenticationChallenge>& challenge) {
        challenge->sender()->cancelAuthenticationChallenge(*challenge);
    };
    ns::URLConnection::make(urltest::request(other.url("/")), refusing);
    env.runUntilIdle();
    EXPECT_EQ(refusing->events, (Events{"challenge", "fail -1012"}));
}

TEST_F(URLConnectionTest, AsynchronousRequestCompletesOnTheGivenQueue) {
    server.route("GET", "/async", Reply::text("whole"));
    std::string body;
    std::thread::id thread;
    ns::URLConnection::sendAsynchronousRequest(urltest::request(server.url("/async")), ns::OperationQueue::mainQueue(),
                                               [&](ns::Ref<ns::URLResponse>, ns::Ref<ns::Data> data, ns::Ref<ns::Error>) {
                                                   body = std::string(data->view());
                                                   thread = std::this_thread::get_id();
                                               });
    env.runUntilIdle();
    EXPECT_EQ(body, "whole");
    EXPECT_EQ(thread, std::this_thread::get_id());
    EXPECT_TRUE(ns::URLConnection::canHandleRequest(*urltest::request("https://x.example/")));
    EXPECT_FALSE(ns::URLConnection::canHandleRequest(*urltest::request("mailto:a@b.c")));
}

// A members' page behind HTTP Basic (realm "members") that lets ann in
// with the password the test sets, and a shared storage emptied around
// each test.
class URLConnectionCredentialStorageTest : public URLConnectionTest {
protected:
    URLConnectionCredentialStorageTest() {
        storage->resetForTesting();
        server.route("GET", "/members", [this](const testing::RecordedRequest& request, Reply& reply) {
            std::lock_guard guard(lock);
            authorizations.push_back(request.header("Authorization"));
            if (request.header("Authorization") == "Basic " + accepted) {
                reply = Reply::text("welcome");
            } else {
                reply = Reply::withStatus(401, "who are you");
                reply.setHeader("WWW-Authenticate", "Basic realm=\"members\"");
            }
        });
    }
    ~URLConnectionCredentialStorageTest() override { storage->resetForTesting(); }

    // A connection to the page whose delegate answers its first challenge
    // with `credential` (none: without one) and later ones without.
    std::shared_ptr<Recorder> visit(ns::Ref<ns::URLCredential> credential, bool useStorage) {
        auto delegate = std::make_shared<Recorder>();
        delegate->useCredentialStorage = useStorage;
        delegate->onChallenge = [credential](const ns::Ref<ns::URLAuthenticationChallenge>& challenge) {
            if (credential && challenge->previousFailureCount() == 0) {
                challenge->sender()->useCredential(credential, *challenge);
            } else {
                challenge->sender()->continueWithoutCredential(*challenge);
            }
        };
        ns::URLConnection::make(urltest::request(server.url("/members")), delegate);
        env.runUntilIdle();
        return delegate;
    }
    static ns::Ref<ns::URLCredential> ann(const char* password, uint64_t persistence) {
        return ns::URLCredential::credentialWithUser(ns::String::make("ann"), ns::String::make(password), persistence);
    }
    ns::Ref<ns::URLCredential> kept() const {
        auto space = ns::URLProtectionSpace::make("127.0.0.1", server.port(), "http", ns::String::make("members"),
                                                  ns::URLAuthenticationMethodHTTPBasic);
        return storage->defaultCredentialForProtectionSpace(*space);
    }

    const ns::Ref<ns::URLCredentialStorage> storage = ns::URLCredentialStorage::sharedCredentialStorage();
    std::string accepted = "YW5uOnNlY3JldA==";  // ann:secret
    std::mutex lock;
    std::vector<std::string> authorizations;
};

TEST_F(URLConnectionCredentialStorageTest, ACredentialTheServerTookAnswersTheNextConnectionWhenItsDelegateSaysYes) {
    auto first = visit(ann("secret", ns::URLCredentialPersistenceForSession), true);
    EXPECT_EQ(first->folded(), (Events{"storage: yes", "challenge", "response 200", "data", "finish"}));
    ASSERT_TRUE(kept());
    EXPECT_EQ(kept()->user()->utf8(), "ann");

    // The delegate is asked first; it brings none, so the storage answers.
    auto second = visit(nullptr, true);
    EXPECT_EQ(second->folded(), (Events{"storage: yes", "challenge", "response 200", "data", "finish"}));
    EXPECT_EQ(second->body(), "welcome");

    // A delegate that says no is asked itself, and its 401 stands.
    auto third = visit(nullptr, false);
    EXPECT_EQ(third->folded(), (Events{"storage: no", "challenge", "response 401", "data", "finish"}));
    std::lock_guard guard(lock);
    EXPECT_EQ(authorizations, (std::vector<std::string>{"", "Basic YW5uOnNlY3JldA==", "", "Basic YW5uOnNlY3JldA==",
                                                        ""}));
}

TEST_F(URLConnectionCredentialStorageTest, OnlyACredentialTheServerTookWithPersistenceIsKeptAndARefusedOneLeaves) {
    // Refused by the server, of no persistence, or asked not to store: none kept.
    EXPECT_EQ(visit(ann("wrong", ns::URLCredentialPersistenceForSession), true)->folded().back(), "finish");
    EXPECT_FALSE(kept());
    visit(ann("secret", ns::URLCredentialPersistenceNone), true);
    EXPECT_FALSE(kept());
    visit(ann("secret", ns::URLCredentialPersistenceForSession), false);
    EXPECT_FALSE(kept());

    // A permanent one is kept for the session.
    visit(ann("secret", ns::URLCredentialPersistencePermanent), true);
    ASSERT_TRUE(kept());
    EXPECT_EQ(kept()->password()->utf8(), "secret");

    // The password changes: the kept one is refused and leaves; the delegate
    // hears the refusal and its own new credential is then kept.
    {
        std::lock_guard guard(lock);
        accepted = "YW5uOmNoYW5nZWQ=";  // ann:changed
    }
    auto refused = visit(nullptr, true);
    EXPECT_EQ(refused->folded(),
              (Events{"storage: yes", "challenge", "storage: yes", "challenge", "response 401", "data", "finish"}));
    EXPECT_FALSE(kept());
    auto renewed = visit(ann("changed", ns::URLCredentialPersistenceForSession), true);
    EXPECT_EQ(renewed->body(), "welcome");
    ASSERT_TRUE(kept());
    EXPECT_EQ(kept()->password()->utf8(), "changed");
}

TEST_F(URLConnectionCredentialStorageTest, TheDelegatesOwnCredentialComesBeforeAStaleStoredOne) {
    visit(ann("secret", ns::URLCredentialPersistenceForSession), true);
    ASSERT_TRUE(kept());
    {
        std::lock_guard guard(lock);
        accepted = "YW5uOmNoYW5nZWQ=";  // ann:changed
        authorizations.clear();
    }
    // The stored one is stale; the delegate brings the new one, which is
    // offered at the first challenge and kept.
    auto renewed = visit(ann("changed", ns::URLCredentialPersistenceForSession), true);
    EXPECT_EQ(renewed->body(), "welcome");
    EXPECT_EQ(renewed->folded(), (Events{"storage: yes", "challenge", "response 200", "data", "finish"}));
    std::lock_guard guard(lock);
    EXPECT_EQ(authorizations, (std::vector<std::string>{"", "Basic YW5uOmNoYW5nZWQ="}));
    ASSERT_TRUE(kept());
    EXPECT_EQ(kept()->password()->utf8(), "changed");
}

TEST_F(URLConnectionTest, ReplyInflatingPastTheDefaultBoundFailsAsTooLongInLittleMemory) {
    // Past the default bound (64 MiB). The reply waits at its head for the
    // delegate, paused, with the rest of the bomb read. Gzipped twice, the
    // whole bomb is a few kilobytes, written with the head at once, so curl
    // reads it all with the head.
    using urltest::MiB;
    const std::string bomb = urltest::gzipped(urltest::gzippedZeros(256 * MiB));
    ASSERT_LT(bomb.size(), 16 * 1024u);
    testing::SilentServer stalling("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
                                   "Content-Encoding: gzip, gzip\r\nContent-Length: " +
                                   std::to_string(bomb.size()) + "\r\n\r\n" + bomb);
    auto request = urltest::request(stalling.url("/bomb"));
    request->setHTTPMethod("POST");
    request->setHTTPBody(ns::Data::withBytes(std::string("{}")));

    testing::ResidentPeak peak;
    ns::URLConnection::make(request, recorder);
    env.runUntilIdle();
    const uint64_t growth = peak.growth();

    ASSERT_FALSE(recorder->events.empty());
    EXPECT_EQ(recorder->events.front(), "response 200");
    EXPECT_EQ(recorder->events.back(), "fail -1103");
    ASSERT_TRUE(recorder->error);
    EXPECT_EQ(recorder->error->code(), ns::URLErrorDataLengthExceedsMaximum);
    EXPECT_LE(recorder->body().size(), 64 * MiB);
    RecordProperty("peak_MiB", std::to_string(testing::residentPeakBytes() / MiB));
    // The bound's worth of pieces this delegate keeps, and as much again of
    // pieces let go that the allocator may keep: the transport inflates in
    // pieces, so nothing past them is held, paused or not.
    testing::expectGrowthUnder(growth, 2 * 64 * MiB + 8 * MiB, "a 256 MiB bomb to a paused delegate");
}

}  // namespace
