#pragma once
// Trust evaluation of a certificate chain on OpenSSL: does the leaf chain up
// to an anchor and satisfy every policy, at the current real time?
//
// Anchors are the system's CA bundle (/etc/ssl/certs/ca-certificates.crt)
// until setAnchorCertificates() makes the given certificates the only ones;
// setAnchorCertificatesOnly(false) adds the system's back. Any anchor counts,
// even one that is not self-signed (a pinned intermediate or leaf).
//
// A trust may be handed between threads; its calls are serialised.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"
#include "platform/security/Certificate.h"
#include "platform/security/Key.h"
#include "platform/security/Policy.h"

namespace sec {

// The platform's result numbers.
enum class TrustResult : std::uint32_t {
    Invalid = 0,  // not evaluated, or the evaluation could not run
    Proceed = 1,
    Deny = 3,
    Unspecified = 4,  // the chain is valid and nobody said otherwise
    RecoverableTrustFailure = 5,  // expired, unknown anchor, wrong host...
    FatalTrustFailure = 6,  // a broken signature, a malformed certificate
    OtherError = 7,
};

// Proceed or Unspecified: what callers accept as a trusted server.
inline bool isTrusted(TrustResult result) {
    return result == TrustResult::Proceed || result == TrustResult::Unspecified;
}

class Trust final : public ns::Object {
    RT_DECLARE_CLASS(Trust)
public:
    // `certificates` starts with the leaf; the rest may help reach an anchor,
    // in any order. With no policies the basic X.509 policy applies. nil when
    // there is no certificate.
    static ns::Ref<Trust> createWithCertificates(std::vector<CertificateRef> certificates,
                                                 std::vector<PolicyRef> policies = {});

    void setPolicies(std::vector<PolicyRef> policies);
    std::vector<PolicyRef> policies() const;

    void setAnchorCertificates(std::vector<CertificateRef> anchors);
    void setAnchorCertificatesOnly(bool only);

    // Every policy must pass. Each call evaluates afresh.
    TrustResult evaluate();
    // The last evaluation's result; Invalid before the first.
    TrustResult result() const;
    // Why the last evaluation failed, in OpenSSL's words; empty otherwise.
    std::string failureReason() const;

    // After a successful evaluation: the chain that was built, leaf to anchor.
    // Otherwise: the certificates the trust was made with.
    std::size_t certificateCount() const;
    // nil past the end.
    CertificateRef certificateAtIndex(std::size_t index) const;
    // The leaf's public key, evaluated or not.
    KeyRef copyPublicKey() const;

    std::string description() const override;

    Trust(std::vector<CertificateRef> certificates, std::vector<PolicyRef> policies);

private:
    void forgetEvaluationLocked();

    mutable std::mutex lock_;
    std::vector<CertificateRef> certificates_;
    std::vector<PolicyRef> policies_;
    std::vector<CertificateRef> anchors_;
    bool anchorsOnly_ = false;
    bool customAnchors_ = false;
    TrustResult result_ = TrustResult::Invalid;
    std::string failureReason_;
    std::vector<CertificateRef> builtChain_;
};

using TrustRef = ns::Ref<Trust>;

// For tests only, through testing::ScopedSystemAnchor: a certificate that
// counts as one of the system's anchors until it is removed, as an authority
// installed on a test device would. The app never adds one.
void addSystemAnchorForTesting(CertificateRef anchor);
void removeSystemAnchorForTesting(const CertificateRef& anchor);

}  // namespace sec
