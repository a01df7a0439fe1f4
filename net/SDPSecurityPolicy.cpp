#include "net/SDPSecurityPolicy.h"

#include <vector>

#include "platform/dispatch/Once.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Number.h"
#include "platform/security/Certificate.h"
#include "platform/security/Key.h"
#include "platform/security/Policy.h"

RT_DEFINE_CLASS(SDPSecurityPolicy, ns::Object, "SDPSecurityPolicy")

namespace {

bool isValid(sec::Trust& trust) { return sec::isTrusted(trust.evaluate()); }

// The key a certificate's own trust reports; nil when the certificate does
// not parse.
sec::KeyRef publicKeyForCertificate(const sec::CertificateRef& certificate) {
    if (!certificate) return nullptr;
    auto trust = sec::Trust::createWithCertificates({certificate}, {sec::Policy::createBasicX509()});
    if (!trust) return nullptr;
    trust->evaluate();  // only whether it runs matters, not its verdict
    return trust->copyPublicKey();
}

std::vector<ns::Ref<ns::Data>> certificateChainData(const sec::Trust& trust) {
    std::vector<ns::Ref<ns::Data>> chain;
    for (std::size_t i = 0; i < trust.certificateCount(); ++i) {
        if (auto certificate = trust.certificateAtIndex(i)) chain.push_back(ns::Data::make(certificate->data()));
    }
    return chain;
}

std::vector<sec::KeyRef> publicKeyChain(const sec::Trust& trust) {
    std::vector<sec::KeyRef> keys;
    for (std::size_t i = 0; i < trust.certificateCount(); ++i) {
        if (auto key = publicKeyForCertificate(trust.certificateAtIndex(i))) keys.push_back(std::move(key));
    }
    return keys;
}

}  // namespace

ns::Ref<ns::Set> SDPSecurityPolicy::certificatesInBundle(const ns::Ref<ns::Bundle>& bundle) {
    std::vector<ns::Id> certificates;
    if (bundle) {
        const std::string folder = bundle->resourcePath()->utf8();
        if (auto names = ns::FileManager::defaultManager()->contentsOfDirectoryAtPath(folder)) {
            for (const ns::Id& entry : *names) {
                auto name = ns::cast<ns::String>(entry);
                if (!name || !name->pathExtension()->isEqualToString("cer")) continue;
                if (auto data = ns::Data::withContentsOfFile(folder + "/" + name->utf8())) certificates.push_back(data);
            }
        }
    }
    return ns::Set::make(certificates);
}

ns::Ref<ns::Set> SDPSecurityPolicy::defaultPinnedCertificates() {
    static dispatch::Once once;
    static ns::Ref<ns::Set> certificates;
    dispatch::once(once, [] { certificates = certificatesInBundle(ns::Bundle::bundleForClass(staticClass())); });
    return certificates;
}

ns::Ref<SDPSecurityPolicy> SDPSecurityPolicy::defaultPolicy() {
    auto policy = std::make_shared<SDPSecurityPolicy>();
    policy->setSSLPinningMode(SDPSSLPinningModeNone);
    return policy;
}

ns::Ref<SDPSecurityPolicy> SDPSecurityPolicy::policyWithPinningMode(uint64_t pinningMode) {
    return policyWithPinningMode(pinningMode, defaultPinnedCertificates());
}

ns::Ref<SDPSecurityPolicy> SDPSecurityPolicy::policyWithPinningMode(uint64_t pinningMode,
                                                                  ns::Ref<ns::Set> pinnedCertificates) {
    auto policy = std::make_shared<SDPSecurityPolicy>();
    policy->setSSLPinningMode(pinningMode);
    policy->setPinnedCertificates(std::move(pinnedCertificates));
    return policy;
}

void SDPSecurityPolicy::setPinnedCertificates(ns::Ref<ns::Set> certificates) {
    pinnedCertificates_ = std::move(certificates);
    if (!pinnedCertificates_) {
        pinnedPublicKeys_ = nullptr;
        return;
    }
    std::vector<ns::Id> keys;
    for (const ns::Id& entry : *pinnedCertificates_) {
        auto data = ns::cast<ns::Data>(entry);
        if (!data) continue;
        if (auto key = publicKeyForCertificate(sec::Certificate::createWithData(data->vector()))) keys.push_back(key);
    }
    pinnedPublicKeys_ = ns::Set::make(keys);
}

bool SDPSecurityPolicy::evaluateServerTrust(const sec::TrustRef& serverTrust, const ns::Ref<ns::String>& domain) const {
    if (!serverTrust) return false;
    const bool noPins = !pinnedCertificates_ || pinnedCertificates_->count() == 0;
    if (domain && allowInvalidCertificates_ && validatesDomainName_ &&
        (pinningMode_ == SDPSSLPinningModeNone || noPins)) {
        // A self-signed certificate names nothing a CA vouched for: only a
        // pin can tie it to the host.
        ns::log("In order to validate a domain name for self signed certificates, you MUST use pinning.");
        return false;
    }

    if (validatesDomainName_) {
        serverTrust->setPolicies({sec::Policy::createSsl(true, domain ? domain->utf8() : std::string())});
    } else {
        serverTrust->setPolicies({sec::Policy::createBasicX509()});
    }

    if (pinningMode_ == SDPSSLPinningModeNone) return allowInvalidCertificates_ || isValid(*serverTrust);
    if (!allowInvalidCertificates_ && !isValid(*serverTrust)) return false;

    switch (pinningMode_) {
    case SDPSSLPinningModeCertificate: {
        std::vector<sec::CertificateRef> anchors;
        if (pinnedCertificates_) {
            for (const ns::Id& entry : *pinnedCertificates_) {
                auto data = ns::cast<ns::Data>(entry);
                if (!data) continue;
                if (auto certificate = sec::Certificate::createWithData(data->vector())) anchors.push_back(certificate);
            }
        }
        serverTrust->setAnchorCertificates(std::move(anchors));
        if (!pinnedCertificates_ || !isValid(*serverTrust)) return false;
        // From the root end: a pinned root or intermediate is found first.
        const auto chain = certificateChainData(*serverTrust);
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            if (pinnedCertificates_->containsObject(*it)) return true;
        }
        return false;
    }
    case SDPSSLPinningModePublicKey: {
        if (!pinnedPublicKeys_) return false;
        int matches = 0;
        for (const auto& key : publicKeyChain(*serverTrust)) {
            for (const ns::Id& pinned : *pinnedPublicKeys_) {
                if (key->isEqual(pinned.get())) ++matches;
            }
        }
        return matches > 0;
    }
    default:
        return false;
    }
}

void SDPSecurityPolicy::encodeWithCoder(ns::KeyedArchiver& coder) const {
    coder.encodeObject(ns::Number::withUnsignedLongLong(pinningMode_), "SSLPinningMode");
    coder.encodeBool(allowInvalidCertificates_, "allowInvalidCertificates");
    coder.encodeBool(validatesDomainName_, "validatesDomainName");
    coder.encodeObject(pinnedCertificates_, "pinnedCertificates");
}

bool SDPSecurityPolicy::initWithCoder(ns::KeyedUnarchiver& coder) {
    auto mode = coder.decodeObjectOfClass<ns::Number>("SSLPinningMode");
    pinningMode_ = mode ? mode->unsignedLongLongValue() : SDPSSLPinningModeNone;
    allowInvalidCertificates_ = coder.decodeBoolForKey("allowInvalidCertificates");
    validatesDomainName_ = coder.decodeBoolForKey("validatesDomainName");
    setPinnedCertificates(coder.decodeObjectOfClass<ns::Set>("pinnedCertificates"));
    return true;
}

ns::Id SDPSecurityPolicy::copy() const {
    auto policy = std::make_shared<SDPSecurityPolicy>();
    policy->pinningMode_ = pinningMode_;
    policy->allowInvalidCertificates_ = allowInvalidCertificates_;
    policy->validatesDomainName_ = validatesDomainName_;
    policy->setPinnedCertificates(pinnedCertificates_ ? ns::cast<ns::Set>(pinnedCertificates_->copy()) : nullptr);
    return policy;
}
