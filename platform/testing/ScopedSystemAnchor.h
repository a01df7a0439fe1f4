#pragma once
// Makes a test authority one of the system's trust anchors for the life of
// the scope, so that servers it signed pass the default trust evaluation, as
// they would on a device with the authority installed.

#include "platform/security/Certificate.h"
#include "platform/security/Trust.h"
#include "platform/testing/TestCertificates.h"

namespace testing {

class ScopedSystemAnchor {
public:
    explicit ScopedSystemAnchor(const TestCertificates::Identity& authority)
        : anchor_(sec::Certificate::createWithData(authority.certificateDer)) {
        sec::addSystemAnchorForTesting(anchor_);
    }
    ~ScopedSystemAnchor() { sec::removeSystemAnchorForTesting(anchor_); }
    ScopedSystemAnchor(const ScopedSystemAnchor&) = delete;
    ScopedSystemAnchor& operator=(const ScopedSystemAnchor&) = delete;

private:
    sec::CertificateRef anchor_;
};

}  // namespace testing
