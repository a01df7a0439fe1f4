#pragma once
// An X.509 certificate, immutable once made: from the DER bytes a bundle ships
// or a server sends, or from a certificate OpenSSL already holds (the peer
// chain of a handshake). Equal certificates have equal DER bytes.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"
#include "platform/security/ByteView.h"

struct x509_st;

namespace sec {

class Key;

class Certificate final : public ns::Object {
    RT_DECLARE_CLASS(Certificate)
public:
    // nil unless `der` is exactly one DER certificate.
    static ns::Ref<Certificate> createWithData(ByteView der);
    // Takes a reference of its own on `x509`; nil for nullptr.
    static ns::Ref<Certificate> createWithX509(x509_st* x509);
    // Every certificate of a PEM text, in order; blocks that do not parse are
    // left out.
    static std::vector<ns::Ref<Certificate>> createAllWithPem(std::string_view pem);

    ~Certificate() override;

    const std::vector<std::uint8_t>& data() const { return der_; }
    // The subject's common name, or the whole subject line when it has none.
    std::string subjectSummary() const;
    // nil when OpenSSL cannot read the key (an unknown algorithm).
    ns::Ref<Key> publicKey() const;
    // Borrowed; lives as long as this certificate.
    x509_st* x509() const { return x509_; }

    std::string description() const override;
    std::uint64_t hash() const override;
    bool isEqual(const ns::Object* other) const override;
    ns::Id copy() const override { return self(); }

private:
    Certificate(x509_st* x509, std::vector<std::uint8_t> der);

    x509_st* x509_;
    std::vector<std::uint8_t> der_;
};

using CertificateRef = ns::Ref<Certificate>;

}  // namespace sec
