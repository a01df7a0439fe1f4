#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/security/Certificate.h"
#include "platform/security/Key.h"
#include "platform/security/Policy.h"
#include "platform/security/Trust.h"
#include "platform/testing/ScopedSystemAnchor.h"
#include "platform/testing/TestCertificates.h"

namespace sec {
namespace {

using Identity = testing::TestCertificates::Identity;

class TrustTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { certs_ = new testing::TestCertificates; }
    static void TearDownTestSuite() {
        delete certs_;
        certs_ = nullptr;
    }

    static CertificateRef cert(const Identity& identity) {
        auto certificate = Certificate::createWithData(identity.certificateDer);
        EXPECT_TRUE(certificate);
        return certificate;
    }
    static const testing::TestCertificates& certs() { return *certs_; }

    // A server trust for `host` over `leaf`, with the test CA as the only
    // anchor when `caAnchored`.
    static TrustRef serverTrust(const Identity& leaf, const std::string& host, bool caAnchored) {
        auto trust = Trust::createWithCertificates({cert(leaf)}, {Policy::createSsl(true, host)});
        if (caAnchored) trust->setAnchorCertificates({cert(certs().ca())});
        return trust;
    }

private:
    static testing::TestCertificates* certs_;
};

testing::TestCertificates* TrustTest::certs_ = nullptr;

TEST_F(TrustTest, CertificateRoundTripsDerAndRejectsAnythingElse) {
    auto leaf = cert(certs().leaf());
    ASSERT_TRUE(leaf);
    EXPECT_EQ(leaf->data(), certs().leaf().certificateDer);
    EXPECT_EQ(leaf->subjectSummary(), "localhost");
    EXPECT_EQ(cert(certs().ca())->subjectSummary(), "Game Host Test CA");

    std::vector<std::uint8_t> trailing = certs().leaf().certificateDer;
    trailing.push_back(0);
    EXPECT_FALSE(Certificate::createWithData(trailing));
    std::vector<std::uint8_t> cut(certs().leaf().certificateDer.begin(), certs().leaf().certificateDer.end() - 10);
    EXPECT_FALSE(Certificate::createWithData(cut));
    EXPECT_FALSE(Certificate::createWithData(std::string("not a certificate")));
    EXPECT_FALSE(Certificate::createWithData(ByteView()));
}

TEST_F(TrustTest, CertificatesAreEqualByBytes) {
    auto a = cert(certs().leaf());
    auto b = cert(certs().leaf());
    EXPECT_TRUE(a->isEqual(b.get()));
    EXPECT_EQ(a->hash(), b->hash());
    EXPECT_FALSE(a->isEqual(cert(certs().renewedLeaf()).get()));
}

TEST_F(TrustTest, PemBundleSkipsDamagedBlocks) {
    std::string damaged = "-----BEGIN CERTIFICATE-----\nAAAA\n-----END CERTIFICATE-----\n";
    auto all = Certificate::createAllWithPem(certs().ca().certificatePem + damaged + certs().leaf().certificatePem);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0]->data(), certs().ca().certificateDer);
    EXPECT_EQ(all[1]->data(), certs().leaf().certificateDer);
}

TEST_F(TrustTest, LeafIsTrustedOnlyWithTheTestCaAsAnchor) {
    auto anchored = serverTrust(certs().leaf(), "127.0.0.1", true);
    EXPECT_EQ(anchored->evaluate(), TrustResult::Unspecified);
    EXPECT_TRUE(anchored->failureReason().empty());
    // The built chain runs from the leaf to the anchor.
    ASSERT_EQ(anchored->certificateCount(), 2u);
    EXPECT_TRUE(anchored->certificateAtIndex(0)->isEqual(cert(certs().leaf()).get()));
    EXPECT_TRUE(anchored->certificateAtIndex(1)->isEqual(cert(certs().ca()).get()));
    EXPECT_FALSE(anchored->certificateAtIndex(2));

    auto systemOnly = serverTrust(certs().leaf(), "127.0.0.1", false);
    EXPECT_EQ(systemOnly->evaluate(), TrustResult::RecoverableTrustFailure);
    EXPECT_FALSE(systemOnly->failureReason().empty());
    EXPECT_EQ(systemOnly->certificateCount(), 1u);
}

TEST_F(TrustTest, HostNamesAndAddressesAreChecked) {
    EXPECT_EQ(serverTrust(certs().leaf(), "localhost", true)->evaluate(), TrustResult::Unspecified);
    EXPECT_EQ(serverTrust(certs().leaf(), "[::1]", true)->evaluate(), TrustResult::Unspecified);
    EXPECT_EQ(serverTrust(certs().leaf(), "127.0.0.2", true)->evaluate(), TrustResult::RecoverableTrustFailure);
    EXPECT_EQ(serverTrust(certs().leaf(), "example.com", true)->evaluate(), TrustResult::RecoverableTrustFailure);

    auto wrong = serverTrust(certs().wrongHost(), "127.0.0.1", true);
    EXPECT_EQ(wrong->evaluate(), TrustResult::RecoverableTrustFailure);
    EXPECT_NE(wrong->failureReason().find("mismatch"), std::string::npos) << wrong->failureReason();
    // Its chain is fine: only the name is wrong.
    wrong->setPolicies({Policy::createBasicX509()});
    EXPECT_EQ(wrong->evaluate(), TrustResult::Unspecified);
    // With no host to check the SSL policy accepts it too.
    wrong->setPolicies({Policy::createSsl(true, "")});
    EXPECT_EQ(wrong->evaluate(), TrustResult::Unspecified);
}

TEST_F(TrustTest, SelfSignedLeafIsTrustedOnlyAsItsOwnAnchor) {
    auto trust = serverTrust(certs().selfSigned(), "127.0.0.1", true);
    EXPECT_EQ(trust->evaluate(), TrustResult::RecoverableTrustFailure);
    EXPECT_EQ(serverTrust(certs().selfSigned(), "127.0.0.1", false)->evaluate(), TrustResult::RecoverableTrustFailure);

    trust->setAnchorCertificates({cert(certs().selfSigned())});
    EXPECT_EQ(trust->evaluate(), TrustResult::Unspecified);
}

TEST_F(TrustTest, PinnedLeafAnchorsItselfWithoutItsIssuer) {
    // Pinning a certificate makes it an anchor even though it is no root.
    auto trust = serverTrust(certs().leaf(), "127.0.0.1", false);
    trust->setAnchorCertificates({cert(certs().leaf())});
    EXPECT_EQ(trust->evaluate(), TrustResult::Unspecified);
    trust->setAnchorCertificates({cert(certs().renewedLeaf())});
    EXPECT_EQ(trust->evaluate(), TrustResult::RecoverableTrustFailure);
}

TEST_F(TrustTest, SystemBundleIsTheDefaultAnchorSet) {
    std::ifstream in("/etc/ssl/certs/ca-certificates.crt");
    if (!in) GTEST_SKIP() << "no system CA bundle";
    std::stringstream text;
    text << in.rdbuf();
    auto roots = Certificate::createAllWithPem(text.str());
    ASSERT_FALSE(roots.empty());
    auto trust = Trust::createWithCertificates({roots.front()});
    EXPECT_EQ(trust->evaluate(), TrustResult::Unspecified) << trust->failureReason();
    // The same root is unknown once only the test CA is trusted...
    trust->setAnchorCertificates({cert(certs().ca())});
    EXPECT_EQ(trust->evaluate(), TrustResult::RecoverableTrustFailure);
    // ...and known again, beside the test CA, when not only it is.
    trust->setAnchorCertificatesOnly(false);
    EXPECT_EQ(trust->evaluate(), TrustResult::Unspecified);
    auto leaf = serverTrust(certs().leaf(), "127.0.0.1", true);
    leaf->setAnchorCertificatesOnly(false);
    EXPECT_EQ(leaf->evaluate(), TrustResult::Unspecified);
}

TEST_F(TrustTest, AnAnchorAddedForATestCountsWhereverTheSystemsDoAndOnlyWhileItLives) {
    auto leaf = serverTrust(certs().leaf(), "127.0.0.1", false);
    {
        testing::ScopedSystemAnchor anchor(certs().ca());
        EXPECT_EQ(leaf->evaluate(), TrustResult::Unspecified) << leaf->failureReason();
        // Beside anchors of the caller's own, as the system's are...
        auto besides = serverTrust(certs().leaf(), "127.0.0.1", false);
        besides->setAnchorCertificates({cert(certs().selfSigned())});
        besides->setAnchorCertificatesOnly(false);
        EXPECT_EQ(besides->evaluate(), TrustResult::Unspecified) << besides->failureReason();
        // ...and not where only the caller's count.
        besides->setAnchorCertificatesOnly(true);
        EXPECT_EQ(besides->evaluate(), TrustResult::RecoverableTrustFailure);
    }
    EXPECT_EQ(leaf->evaluate(), TrustResult::RecoverableTrustFailure);
}

TEST_F(TrustTest, BrokenSignatureIsFatal) {
    std::vector<std::uint8_t> der = certs().leaf().certificateDer;
    // The signature's last byte sits at the very end of the encoding.
    der.back() ^= 0x01;
    auto tampered = Certificate::createWithData(der);
    ASSERT_TRUE(tampered);
    auto trust = Trust::createWithCertificates({tampered}, {Policy::createSsl(true, "127.0.0.1")});
    trust->setAnchorCertificates({cert(certs().ca())});
    EXPECT_EQ(trust->evaluate(), TrustResult::FatalTrustFailure);
    EXPECT_FALSE(isTrusted(trust->result()));
}

TEST_F(TrustTest, RenewedLeafKeepsItsPublicKey) {
    auto leafKey = Trust::createWithCertificates({cert(certs().leaf())})->copyPublicKey();
    auto renewedKey = cert(certs().renewedLeaf())->publicKey();
    auto otherKey = cert(certs().selfSigned())->publicKey();
    ASSERT_TRUE(leafKey && renewedKey && otherKey);
    EXPECT_TRUE(leafKey->isEqual(renewedKey.get()));
    EXPECT_EQ(leafKey->hash(), renewedKey->hash());
    EXPECT_EQ(leafKey->externalRepresentation(), renewedKey->externalRepresentation());
    EXPECT_FALSE(leafKey->isEqual(otherKey.get()));
    EXPECT_EQ(leafKey->algorithmName(), "EC");
    EXPECT_EQ(leafKey->bitSize(), 256);
}

TEST_F(TrustTest, ChangingPoliciesForgetsTheLastEvaluation) {
    auto trust = serverTrust(certs().leaf(), "127.0.0.1", true);
    ASSERT_EQ(trust->evaluate(), TrustResult::Unspecified);
    ASSERT_EQ(trust->certificateCount(), 2u);
    trust->setPolicies({Policy::createSsl(true, "example.com")});
    EXPECT_EQ(trust->result(), TrustResult::Invalid);
    EXPECT_EQ(trust->certificateCount(), 1u);
    EXPECT_EQ(trust->evaluate(), TrustResult::RecoverableTrustFailure);
}

TEST_F(TrustTest, EveryPolicyMustPass) {
    auto trust = Trust::createWithCertificates(
        {cert(certs().leaf())}, {Policy::createBasicX509(), Policy::createSsl(true, "example.com")});
    trust->setAnchorCertificates({cert(certs().ca())});
    EXPECT_EQ(trust->evaluate(), TrustResult::RecoverableTrustFailure);
}

TEST_F(TrustTest, TrustNeedsACertificate) {
    EXPECT_FALSE(Trust::createWithCertificates({}));
    EXPECT_FALSE(Trust::createWithCertificates({nullptr}));
}

}  // namespace
}  // namespace sec
