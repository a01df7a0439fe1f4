// The security policy on trusts built from the test certificates, and over
// loopback TLS through the session manager.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "net/SDPHTTPSessionManager.h"
#include "net/SDPSecurityPolicy.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/URLError.h"
#include "platform/security/Certificate.h"
#include "platform/security/Key.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/net/http_session_support.h"

namespace {

using Identity = testing::TestCertificates::Identity;
using httptest::certificates;
using httptest::derData;

const auto host = ns::String::make("127.0.0.1");

// The trust a client builds from what the server sent (its own certificate
// only), with the test CA installed as a trusted authority when asked.
sec::TrustRef serverTrust(const Identity& identity, bool caInstalled = true) {
    auto trust = sec::Trust::createWithCertificates({sec::Certificate::createWithData(identity.certificateDer)},
                                                    {sec::Policy::createSsl(true, "127.0.0.1")});
    if (caInstalled) {
        trust->setAnchorCertificates({sec::Certificate::createWithData(certificates().ca().certificateDer)});
        trust->setAnchorCertificatesOnly(false);
    }
    return trust;
}

ns::Ref<SDPSecurityPolicy> pinning(uint64_t mode, std::initializer_list<const Identity*> pins) {
    std::vector<ns::Id> data;
    for (const Identity* pin : pins) data.push_back(derData(*pin));
    return SDPSecurityPolicy::policyWithPinningMode(mode, ns::Set::make(data));
}

TEST(SecurityPolicyTest, DefaultPolicyAcceptsAValidChainForTheHostOnly) {
    auto policy = SDPSecurityPolicy::defaultPolicy();
    EXPECT_EQ(policy->SSLPinningMode(), SDPSSLPinningModeNone);
    EXPECT_TRUE(policy->validatesDomainName());
    EXPECT_FALSE(policy->allowInvalidCertificates());
    EXPECT_FALSE(policy->pinnedCertificates());

    EXPECT_TRUE(policy->evaluateServerTrust(serverTrust(certificates().leaf()), host));
    EXPECT_FALSE(policy->evaluateServerTrust(serverTrust(certificates().selfSigned()), host));
    EXPECT_FALSE(policy->evaluateServerTrust(serverTrust(certificates().wrongHost()), host));
    // Without the CA the chain reaches no anchor.
    EXPECT_FALSE(policy->evaluateServerTrust(serverTrust(certificates().leaf(), false), host));
}

TEST(SecurityPolicyTest, AllowingInvalidCertificatesNeedsPinningToCheckTheName) {
    auto policy = SDPSecurityPolicy::defaultPolicy();
    policy->setAllowInvalidCertificates(true);
    policy->setValidatesDomainName(false);
    EXPECT_TRUE(policy->evaluateServerTrust(serverTrust(certificates().selfSigned(), false), host));

    policy->setValidatesDomainName(true);
    ns::LogCapture log;
    EXPECT_FALSE(policy->evaluateServerTrust(serverTrust(certificates().leaf()), host));
    EXPECT_TRUE(log.contains("In order to validate a domain name for self signed certificates, you MUST use pinning."));
}

TEST(SecurityPolicyTest, CertificatePinningAcceptsAPinnedRootAndRefusesAForeignPin) {
    EXPECT_TRUE(pinning(SDPSSLPinningModeCertificate, {&certificates().ca()})
                    ->evaluateServerTrust(serverTrust(certificates().leaf()), host));
    EXPECT_TRUE(pinning(SDPSSLPinningModeCertificate, {&certificates().leaf()})
                    ->evaluateServerTrust(serverTrust(certificates().leaf()), host));
    EXPECT_FALSE(pinning(SDPSSLPinningModeCertificate, {&certificates().selfSigned()})
                     ->evaluateServerTrust(serverTrust(certificates().leaf()), host));
    // A pin does not excuse the wrong host.
    EXPECT_FALSE(pinning(SDPSSLPinningModeCertificate, {&certificates().ca()})
                     ->evaluateServerTrust(serverTrust(certificates().wrongHost()), host));
}

TEST(SecurityPolicyTest, APrivateRootNeedsInvalidCertificatesAllowedBeforeItsPinCounts) {
    auto policy = pinning(SDPSSLPinningModeCertificate, {&certificates().ca()});
    EXPECT_FALSE(policy->evaluateServerTrust(serverTrust(certificates().leaf(), false), host));
    // Then the pins become the only anchors, and the host is still checked.
    policy->setAllowInvalidCertificates(true);
    EXPECT_TRUE(policy->evaluateServerTrust(serverTrust(certificates().leaf(), false), host));
    EXPECT_FALSE(policy->evaluateServerTrust(serverTrust(certificates().wrongHost(), false), host));
    EXPECT_FALSE(policy->evaluateServerTrust(serverTrust(certificates().selfSigned(), false), host));
}

TEST(SecurityPolicyTest, PublicKeyPinningSurvivesARenewedLeaf) {
    auto policy = pinning(SDPSSLPinningModePublicKey, {&certificates().leaf()});
    EXPECT_TRUE(policy->evaluateServerTrust(serverTrust(certificates().renewedLeaf()), host));
    EXPECT_FALSE(pinning(SDPSSLPinningModePublicKey, {&certificates().selfSigned()})
                     ->evaluateServerTrust(serverTrust(certificates().leaf()), host));
    // The chain must still be valid unless invalid certificates are allowed.
    EXPECT_FALSE(pinning(SDPSSLPinningModePublicKey, {&certificates().selfSigned()})
                     ->evaluateServerTrust(serverTrust(certificates().selfSigned()), host));
    auto lenient = pinning(SDPSSLPinningModePublicKey, {&certificates().selfSigned()});
    lenient->setAllowInvalidCertificates(true);
    lenient->setValidatesDomainName(false);
    EXPECT_TRUE(lenient->evaluateServerTrust(serverTrust(certificates().selfSigned(), false), host));
}

TEST(SecurityPolicyTest, PinnedKeysFollowThePinnedCertificates) {
    auto policy = SDPSecurityPolicy::defaultPolicy();
    policy->setPinnedCertificates(
        ns::Set::make({derData(certificates().leaf()), ns::Data::withBytes("not a certificate"), derData(certificates().ca())}));
    ASSERT_TRUE(policy->pinnedPublicKeys());
    EXPECT_EQ(policy->pinnedPublicKeys()->count(), 2u);
    auto leafKey = sec::Certificate::createWithData(certificates().leaf().certificateDer)->publicKey();
    EXPECT_TRUE(policy->pinnedPublicKeys()->containsObject(leafKey));

    policy->setPinnedCertificates(nullptr);
    EXPECT_FALSE(policy->pinnedPublicKeys());
}

TEST(SecurityPolicyTest, BundleCertificatesAreTheCerFilesOfItsFolder) {
    const auto folder = std::filesystem::temp_directory_path() / ("sdp-bundle-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder / "nested");
    auto write = [](const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    };
    write(folder / "server.cer", certificates().leaf().certificateDer);
    write(folder / "root.cer", certificates().ca().certificateDer);
    write(folder / "notes.txt", {'h', 'i'});
    write(folder / "nested" / "deeper.cer", certificates().selfSigned().certificateDer);

    auto found = SDPSecurityPolicy::certificatesInBundle(std::make_shared<ns::Bundle>(folder.string()));
    EXPECT_EQ(found->count(), 2u);
    EXPECT_TRUE(found->containsObject(derData(certificates().leaf())));
    EXPECT_TRUE(found->containsObject(derData(certificates().ca())));
    std::filesystem::remove_all(folder);
}

TEST(SecurityPolicyTest, ArchivingAndCopyingKeepModeFlagsAndPins) {
    auto policy = pinning(SDPSSLPinningModePublicKey, {&certificates().leaf()});
    policy->setAllowInvalidCertificates(true);
    policy->setValidatesDomainName(false);

    auto data = ns::KeyedArchiver::archivedDataWithRootObject(policy, true, nullptr);
    auto decoded = ns::KeyedUnarchiver::unarchivedObjectOfClass<SDPSecurityPolicy>(data, nullptr);
    auto copied = ns::cast<SDPSecurityPolicy>(policy->copy());
    for (const auto& other : {decoded, copied}) {
        ASSERT_TRUE(other);
        EXPECT_NE(other, policy);
        EXPECT_EQ(other->SSLPinningMode(), SDPSSLPinningModePublicKey);
        EXPECT_TRUE(other->allowInvalidCertificates());
        EXPECT_FALSE(other->validatesDomainName());
        ASSERT_TRUE(other->pinnedCertificates());
        EXPECT_TRUE(other->pinnedCertificates()->isEqual(policy->pinnedCertificates().get()));
        ASSERT_TRUE(other->pinnedPublicKeys());
        EXPECT_EQ(other->pinnedPublicKeys()->count(), 1u);
    }
}

// ---- Over loopback TLS, through the HTTP session manager ----

class SecurityPolicyTLSTest : public ::testing::Test {
protected:
    struct Outcome {
        int successes = 0;
        int failures = 0;
        ns::Ref<ns::Error> error;
    };

    // One GET to a TLS server with `identity`, judged by `policy`.
    Outcome fetch(const Identity& identity, ns::Ref<SDPSecurityPolicy> policy, bool caInstalled) {
        testing::LoopbackServer server(identity);
        server.route("GET", "/hello", testing::Reply::text(R"({"hello":"world"})", "application/json"));
        auto manager = SDPHTTPSessionManager::make(nullptr, httptest::ephemeralConfiguration(caInstalled));
        manager->setSecurityPolicy(std::move(policy));
        Outcome outcome;
        manager->GET(server.url("/hello"), nullptr,
                     [&](const ns::Ref<ns::URLSessionDataTask>&, const ns::Id&) { ++outcome.successes; },
                     [&](const ns::Ref<ns::URLSessionDataTask>&, const ns::Ref<ns::Error>& error) {
                         ++outcome.failures;
                         outcome.error = error;
                     });
        env.runUntilIdle();
        manager->invalidateSessionCancelingTasks(true);
        env.runUntilIdle();
        return outcome;
    }

    static void expectRefused(const Outcome& outcome) {
        EXPECT_EQ(outcome.successes, 0);
        ASSERT_EQ(outcome.failures, 1);
        EXPECT_EQ(outcome.error->domain(), "NSURLErrorDomain");
        EXPECT_EQ(outcome.error->code(), ns::URLErrorServerCertificateUntrusted);
    }

    testing::TaskEnvironment env;
};

TEST_F(SecurityPolicyTLSTest, DefaultPolicyTrustsAnInstalledAuthority) {
    const auto outcome = fetch(certificates().leaf(), SDPSecurityPolicy::defaultPolicy(), true);
    EXPECT_EQ(outcome.successes, 1);
    EXPECT_EQ(outcome.failures, 0);
}

TEST_F(SecurityPolicyTLSTest, SelfSignedServerIsRefusedWithoutPinning) {
    expectRefused(fetch(certificates().selfSigned(), SDPSecurityPolicy::defaultPolicy(), true));
}

TEST_F(SecurityPolicyTLSTest, PinnedRootIsAccepted) {
    const auto outcome = fetch(certificates().leaf(), pinning(SDPSSLPinningModeCertificate, {&certificates().ca()}), true);
    EXPECT_EQ(outcome.successes, 1);
    EXPECT_EQ(outcome.failures, 0);
}

TEST_F(SecurityPolicyTLSTest, PinnedPrivateRootWithInvalidCertificatesAllowed) {
    auto policy = pinning(SDPSSLPinningModeCertificate, {&certificates().ca()});
    policy->setAllowInvalidCertificates(true);
    const auto outcome = fetch(certificates().leaf(), policy, false);
    EXPECT_EQ(outcome.successes, 1);
    EXPECT_EQ(outcome.failures, 0);
    expectRefused(fetch(certificates().selfSigned(), policy, false));
}

TEST_F(SecurityPolicyTLSTest, PinnedKeyAcceptsTheRenewedLeaf) {
    const auto outcome =
        fetch(certificates().renewedLeaf(), pinning(SDPSSLPinningModePublicKey, {&certificates().leaf()}), true);
    EXPECT_EQ(outcome.successes, 1);
    EXPECT_EQ(outcome.failures, 0);
}

TEST_F(SecurityPolicyTLSTest, AForeignPinIsRefused) {
    expectRefused(fetch(certificates().leaf(), pinning(SDPSSLPinningModeCertificate, {&certificates().selfSigned()}), true));
    expectRefused(fetch(certificates().leaf(), pinning(SDPSSLPinningModePublicKey, {&certificates().selfSigned()}), true));
}

}  // namespace
