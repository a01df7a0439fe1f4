// Server trust over TLS: the challenge the delegate sees, what its answers
// do, and the default evaluation.

#include <gtest/gtest.h>

#include <thread>

#include "platform/foundation/URLSession.h"
#include "platform/security/Certificate.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/testing/TestCertificates.h"
#include "tests/platform/foundation/urlsession_support.h"

namespace {

using testing::LoopbackServer;
using testing::Reply;
using urltest::Outcome;
using urltest::RecordingDelegate;
using Disposition = ns::URLSessionAuthChallengeDisposition;

class URLSessionTrustTest : public ::testing::Test {
protected:
    static testing::TestCertificates& certificates() {
        static testing::TestCertificates certs;
        return certs;
    }

    ns::Ref<ns::URLSession> session(ns::Ref<ns::URLSessionDelegate> delegate, bool anchorTestCA,
                                    ns::Ref<ns::OperationQueue> queue = nullptr) {
        auto config = ns::URLSessionConfiguration::ephemeralSessionConfiguration();
        if (anchorTestCA) {
            config->setAdditionalTrustAnchors({sec::Certificate::createWithData(certificates().ca().certificateDer)});
        }
        return ns::URLSession::sessionWithConfiguration(config, std::move(delegate), std::move(queue));
    }

    // Loads "/" from a server with `identity` and returns the outcome.
    void load(const testing::TestCertificates::Identity& identity, ns::Ref<ns::URLSessionDelegate> delegate,
              bool anchorTestCA, Outcome& outcome, ns::Ref<ns::OperationQueue> queue = nullptr) {
        LoopbackServer server(identity);
        server.route("GET", "/", Reply::text("secret"));
        auto s = session(std::move(delegate), anchorTestCA, std::move(queue));
        s->dataTaskWithURL(ns::URL::make(server.url("/")), outcome.handler())->resume();
        env.runUntilIdle();
    }

    testing::TaskEnvironment env;
};

TEST_F(URLSessionTrustTest, DelegateSeesTheServerTrustChallenge) {
    auto delegate = std::make_shared<RecordingDelegate>();
    delegate->onSessionChallenge = [](const ns::Ref<ns::URLAuthenticationChallenge>& challenge) {
        return std::make_pair(Disposition::UseCredential,
                              ns::URLCredential::credentialForTrust(challenge->protectionSpace()->serverTrust()));
    };
    Outcome outcome;
    LoopbackServer server(certificates().leaf());
    server.route("GET", "/", Reply::text("secret"));
    auto s = session(delegate, false);
    s->dataTaskWithURL(ns::URL::make(server.url("/")), outcome.handler())->resume();
    env.runUntilIdle();

    EXPECT_EQ(outcome.body(), "secret");
    const auto record = delegate->record();
    ASSERT_EQ(record.challenges.size(), 1u);
    const auto& space = record.challenges[0]->protectionSpace();
    EXPECT_EQ(space->authenticationMethod(), ns::URLAuthenticationMethodServerTrust);
    EXPECT_EQ(space->host(), "127.0.0.1");
    EXPECT_EQ(space->port(), server.port());
    EXPECT_EQ(space->protocol(), "https");
    ASSERT_TRUE(space->serverTrust());
    EXPECT_EQ(space->serverTrust()->certificateAtIndex(0)->data(), certificates().leaf().certificateDer);
}

TEST_F(URLSessionTrustTest, RejectingDelegateFailsWithUntrustedCertificate) {
    auto delegate = std::make_shared<RecordingDelegate>();
    delegate->onSessionChallenge = [](const ns::Ref<ns::URLAuthenticationChallenge>&) {
        return std::make_pair(Disposition::RejectProtectionSpace, ns::Ref<ns::URLCredential>());
    };
    Outcome outcome;
    // Even a chain the default evaluation would accept: no fallback to it.
    // The handshake waits while the main thread decides.
    load(certificates().leaf(), delegate, true, outcome, ns::OperationQueue::mainQueue());
    EXPECT_EQ(outcome.errorCode(), ns::URLErrorServerCertificateUntrusted);
    EXPECT_NE(outcome.error->localizedDescription().find("\u201c127.0.0.1\u201d"), std::string::npos);
    EXPECT_FALSE(outcome.data);
    EXPECT_EQ(delegate->record().threads.at(0), std::this_thread::get_id());
}

TEST_F(URLSessionTrustTest, CancellingTheChallengeCancelsTheTask) {
    auto delegate = std::make_shared<RecordingDelegate>();
    delegate->onSessionChallenge = [](const ns::Ref<ns::URLAuthenticationChallenge>&) {
        return std::make_pair(Disposition::CancelAuthenticationChallenge, ns::Ref<ns::URLCredential>());
    };
    Outcome outcome;
    load(certificates().leaf(), delegate, true, outcome);
    EXPECT_EQ(outcome.errorCode(), ns::URLErrorCancelled);
}

TEST_F(URLSessionTrustTest, DefaultEvaluationAcceptsTheTestChainOnlyWithItsAnchor) {
    Outcome anchored, unanchored;
    load(certificates().leaf(), nullptr, true, anchored);
    load(certificates().leaf(), nullptr, false, unanchored);
    EXPECT_EQ(anchored.body(), "secret");
    EXPECT_FALSE(anchored.error);
    EXPECT_EQ(unanchored.errorCode(), ns::URLErrorServerCertificateUntrusted);
    EXPECT_TRUE(unanchored.error->userInfo()->objectForKey(ns::URLErrorFailingURLPeerTrustErrorKey));
}

TEST_F(URLSessionTrustTest, DefaultEvaluationRefusesSelfSignedAndWrongHost) {
    Outcome selfSigned, wrongHost;
    load(certificates().selfSigned(), nullptr, true, selfSigned);
    load(certificates().wrongHost(), nullptr, true, wrongHost);
    EXPECT_EQ(selfSigned.errorCode(), ns::URLErrorServerCertificateUntrusted);
    EXPECT_EQ(wrongHost.errorCode(), ns::URLErrorServerCertificateUntrusted);
}

TEST_F(URLSessionTrustTest, TaskLevelChallengeAnswersWhenTheSessionLevelIsNotOffered) {
    auto delegate = std::make_shared<RecordingDelegate>();
    delegate->onTaskChallenge = [](const ns::Ref<ns::URLAuthenticationChallenge>& challenge) {
        return std::make_pair(Disposition::UseCredential,
                              ns::URLCredential::credentialForTrust(challenge->protectionSpace()->serverTrust()));
    };
    Outcome outcome;
    load(certificates().selfSigned(), delegate, false, outcome);
    EXPECT_EQ(outcome.body(), "secret");
    EXPECT_EQ(delegate->record().events.front(), "task-challenge");
}

TEST_F(URLSessionTrustTest, KeptAliveConnectionIsNotChallengedAgain) {
    auto delegate = std::make_shared<RecordingDelegate>();
    delegate->onSessionChallenge = [](const ns::Ref<ns::URLAuthenticationChallenge>& challenge) {
        return std::make_pair(Disposition::UseCredential,
                              ns::URLCredential::credentialForTrust(challenge->protectionSpace()->serverTrust()));
    };
    LoopbackServer server(certificates().leaf());
    server.route("GET", "/", Reply::text("secret"));
    auto s = session(delegate, false);
    Outcome first, second;
    s->dataTaskWithURL(ns::URL::make(server.url("/")), first.handler())->resume();
    env.runUntilIdle();
    s->dataTaskWithURL(ns::URL::make(server.url("/")), second.handler())->resume();
    env.runUntilIdle();
    EXPECT_EQ(second.body(), "secret");
    EXPECT_EQ(delegate->record().challenges.size(), 1u);
}

}  // namespace
