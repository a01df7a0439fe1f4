#pragma once
// Whether the HTTP client accepts a server's TLS identity: the platform's
// chain and host-name check, optionally pinned to certificates shipped with
// the app, either whole (any certificate of the chain) or by public key.
//
// A policy has no lock: configure it before requests and only read it while
// challenges are answered on the session's delegate queue.

#include <cstdint>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Coding.h"
#include "platform/foundation/Set.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"
#include "platform/security/Trust.h"

enum SDPSSLPinningMode : uint64_t {
    SDPSSLPinningModeNone = 0,
    SDPSSLPinningModePublicKey = 1,
    SDPSSLPinningModeCertificate = 2,
};

class SDPSecurityPolicy : public ns::Object, public ns::Coding {
    RT_DECLARE_CLASS(SDPSecurityPolicy)
public:
    // Every "*.cer" file directly in the bundle's resources, as data. A file
    // that cannot be read is left out.
    static ns::Ref<ns::Set> certificatesInBundle(const ns::Ref<ns::Bundle>& bundle);
    // certificatesInBundle of the bundle holding this class, read once.
    static ns::Ref<ns::Set> defaultPinnedCertificates();

    // No pinning, domain names validated, invalid certificates refused.
    static ns::Ref<SDPSecurityPolicy> defaultPolicy();
    static ns::Ref<SDPSecurityPolicy> policyWithPinningMode(uint64_t pinningMode);
    static ns::Ref<SDPSecurityPolicy> policyWithPinningMode(uint64_t pinningMode, ns::Ref<ns::Set> pinnedCertificates);

    SDPSecurityPolicy() = default;

    uint64_t SSLPinningMode() const { return pinningMode_; }
    void setSSLPinningMode(uint64_t mode) { pinningMode_ = mode; }
    // DER certificate data.
    const ns::Ref<ns::Set>& pinnedCertificates() const { return pinnedCertificates_; }
    // Also derives pinnedPublicKeys; nil clears both.
    void setPinnedCertificates(ns::Ref<ns::Set> certificates);
    // sec::Key objects of the pinned certificates that could be read.
    const ns::Ref<ns::Set>& pinnedPublicKeys() const { return pinnedPublicKeys_; }
    bool allowInvalidCertificates() const { return allowInvalidCertificates_; }
    void setAllowInvalidCertificates(bool allow) { allowInvalidCertificates_ = allow; }
    bool validatesDomainName() const { return validatesDomainName_; }
    void setValidatesDomainName(bool validates) { validatesDomainName_ = validates; }

    // Replaces the trust's policies (and, when pinning certificates, its
    // anchors) and answers whether the server is accepted. `domain` may be nil.
    bool evaluateServerTrust(const sec::TrustRef& serverTrust, const ns::Ref<ns::String>& domain) const;

    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;
    bool supportsSecureCoding() const override { return true; }
    ns::Id copy() const override;

private:
    uint64_t pinningMode_ = SDPSSLPinningModeNone;
    ns::Ref<ns::Set> pinnedCertificates_;
    ns::Ref<ns::Set> pinnedPublicKeys_;
    bool allowInvalidCertificates_ = false;
    bool validatesDomainName_ = true;
};
