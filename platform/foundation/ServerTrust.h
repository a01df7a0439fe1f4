#pragma once
// The server trust of a TLS handshake, as every URL load judges it: the
// chain the server sent, checked for the host it was asked for, and the
// evaluation a load gets when nobody answers for it (the system's anchors,
// plus any the caller adds).
//
// Internal to URL loading.

#include <string>
#include <vector>

#include "platform/security/Trust.h"

namespace ns::detail {

// The trust of the server at `host` for `chain` (leaf first); nil when the
// chain makes none.
sec::TrustRef serverTrust(std::vector<sec::CertificateRef> chain, const std::string& host);

// Whether `trust` passes on the system's anchors and `extraAnchors`.
bool passesDefaultEvaluation(sec::Trust& trust, const std::vector<sec::CertificateRef>& extraAnchors);

}  // namespace ns::detail
