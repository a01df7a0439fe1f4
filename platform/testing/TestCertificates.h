#pragma once
// TLS identities for loopback servers, generated afresh with OpenSSL (P-256
// keys, valid from a day ago for a year) and written to a temporary folder
// that goes away with the object:
//   ca           a self-signed certificate authority
//   leaf         for 127.0.0.1, ::1 and localhost, signed by ca
//   renewedLeaf  leaf's key in a new certificate (new serial and dates)
//   selfSigned   for the same names, signed by its own key
//   wrongHost    signed by ca, for wrong.example only
//   addressOnly  signed by ca, for 127.0.0.1 only
//   nameOnly     signed by ca, for localhost only
// A client trusts leaf, renewedLeaf and wrongHost's chain only with ca as an
// anchor; wrongHost still fails the host check.

#include <cstdint>
#include <string>
#include <vector>

namespace testing {

class TestCertificates {
public:
    struct Identity {
        std::string certificatePem;
        std::vector<std::uint8_t> certificateDer;
        std::string privateKeyPem;
        // Files in folder(), for servers that load from disk.
        std::string certificatePath;
        std::string privateKeyPath;
    };

    TestCertificates();
    ~TestCertificates();
    TestCertificates(const TestCertificates&) = delete;
    TestCertificates& operator=(const TestCertificates&) = delete;

    const Identity& ca() const { return ca_; }
    const Identity& leaf() const { return leaf_; }
    const Identity& renewedLeaf() const { return renewedLeaf_; }
    const Identity& selfSigned() const { return selfSigned_; }
    const Identity& wrongHost() const { return wrongHost_; }
    const Identity& addressOnly() const { return addressOnly_; }
    const Identity& nameOnly() const { return nameOnly_; }

    const std::string& folder() const { return folder_; }

private:
    std::string folder_;
    Identity ca_, leaf_, renewedLeaf_, selfSigned_, wrongHost_, addressOnly_, nameOnly_;
};

}  // namespace testing
