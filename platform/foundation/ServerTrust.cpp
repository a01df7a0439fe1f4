#include "platform/foundation/ServerTrust.h"

#include "platform/security/Policy.h"

namespace ns::detail {

sec::TrustRef serverTrust(std::vector<sec::CertificateRef> chain, const std::string& host) {
    return sec::Trust::createWithCertificates(std::move(chain), {sec::Policy::createSsl(true, host)});
}

bool passesDefaultEvaluation(sec::Trust& trust, const std::vector<sec::CertificateRef>& extraAnchors) {
    if (!extraAnchors.empty()) {
        trust.setAnchorCertificates(extraAnchors);
        trust.setAnchorCertificatesOnly(false);
    }
    return sec::isTrusted(trust.evaluate());
}

}  // namespace ns::detail
