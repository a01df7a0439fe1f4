#include "platform/testing/TestCertificates.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <sys/stat.h>

namespace testing {
namespace {

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertFree {
    void operator()(X509* cert) const { X509_free(cert); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, KeyFree>;
using CertPtr = std::unique_ptr<X509, CertFree>;

[[noreturn]] void fail(const char* what) {
    char detail[256] = "no detail";
    if (unsigned long code = ERR_get_error()) ERR_error_string_n(code, detail, sizeof detail);
    ERR_clear_error();
    throw std::runtime_error(std::string("test certificates: ") + what + " failed: " + detail);
}

KeyPtr newKey() {
    KeyPtr key(EVP_EC_gen("P-256"));
    if (!key) fail("EVP_EC_gen");
    return key;
}

void addExtension(X509* cert, X509* issuer, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    if (!extension) fail("X509V3_EXT_conf_nid");
    X509_add_ext(cert, extension, -1);
    X509_EXTENSION_free(extension);
}

struct Profile {
    const char* commonName;
    const char* subjectAltName;  // nullptr for none
    bool isCa;
    long notBeforeOffset;  // seconds from now
    long validFor;         // seconds from notBefore
};

// `issuer` and `issuerKey` null: self-signed.
CertPtr makeCertificate(const Profile& profile, EVP_PKEY* key, X509* issuer, EVP_PKEY* issuerKey) {
    CertPtr cert(X509_new());
    if (!cert) fail("X509_new");
    X509_set_version(cert.get(), 2);

    unsigned char serialBytes[16];
    if (RAND_bytes(serialBytes, sizeof serialBytes) != 1) fail("RAND_bytes");
    serialBytes[0] &= 0x7f;  // positive
    BIGNUM* serial = BN_bin2bn(serialBytes, sizeof serialBytes, nullptr);
    BN_to_ASN1_INTEGER(serial, X509_get_serialNumber(cert.get()));
    BN_free(serial);

    X509_gmtime_adj(X509_getm_notBefore(cert.get()), profile.notBeforeOffset);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), profile.notBeforeOffset + profile.validFor);

    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Game Host Tests"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(profile.commonName), -1, -1, 0);
    X509_set_issuer_name(cert.get(), issuer ? X509_get_subject_name(issuer) : name);
    X509_set_pubkey(cert.get(), key);

    X509* signer = issuer ? issuer : cert.get();
    if (profile.isCa) {
        addExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:TRUE");
        addExtension(cert.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        addExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:FALSE");
        addExtension(cert.get(), signer, NID_key_usage, "critical,digitalSignature,keyEncipherment");
        addExtension(cert.get(), signer, NID_ext_key_usage, "serverAuth,clientAuth");
    }
    addExtension(cert.get(), signer, NID_subject_key_identifier, "hash");
    if (issuer) addExtension(cert.get(), signer, NID_authority_key_identifier, "keyid:always");
    if (profile.subjectAltName) addExtension(cert.get(), signer, NID_subject_alt_name, profile.subjectAltName);

    if (X509_sign(cert.get(), issuerKey ? issuerKey : key, EVP_sha256()) <= 0) fail("X509_sign");
    return cert;
}

std::string pemOf(X509* cert) {
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(bio, cert);
    char* data = nullptr;
    long length = BIO_get_mem_data(bio, &data);
    std::string pem(data, static_cast<std::size_t>(length));
    BIO_free(bio);
    return pem;
}

std::string pemOf(EVP_PKEY* key) {
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr);
    char* data = nullptr;
    long length = BIO_get_mem_data(bio, &data);
    std::string pem(data, static_cast<std::size_t>(length));
    BIO_free(bio);
    return pem;
}

void writeFile(const std::string& path, const std::string& contents, mode_t mode) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
    if (!out.flush()) throw std::runtime_error("test certificates: cannot write " + path);
    ::chmod(path.c_str(), mode);
}

TestCertificates::Identity identity(X509* cert, EVP_PKEY* key, const std::string& folder, const std::string& name) {
    TestCertificates::Identity id;
    id.certificatePem = pemOf(cert);
    int length = i2d_X509(cert, nullptr);
    id.certificateDer.resize(static_cast<std::size_t>(length));
    unsigned char* out = id.certificateDer.data();
    i2d_X509(cert, &out);
    id.privateKeyPem = pemOf(key);
    id.certificatePath = folder + "/" + name + ".pem";
    id.privateKeyPath = folder + "/" + name + ".key";
    writeFile(id.certificatePath, id.certificatePem, 0644);
    writeFile(id.privateKeyPath, id.privateKeyPem, 0600);
    return id;
}

std::string makeFolder() {
    std::string base = std::filesystem::temp_directory_path().string();
    std::string pattern = base + "/gamehost-certs-XXXXXX";
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("test certificates: cannot make a folder in " + base);
    return pattern;
}

constexpr long day = 24 * 60 * 60;
constexpr const char* loopbackNames = "DNS:localhost,IP:127.0.0.1,IP:::1";

}  // namespace

TestCertificates::TestCertificates() : folder_(makeFolder()) {
    try {
        KeyPtr caKey = newKey();
        CertPtr ca = makeCertificate({"Game Host Test CA", nullptr, true, -day, 10 * 365 * day}, caKey.get(), nullptr, nullptr);
        ca_ = identity(ca.get(), caKey.get(), folder_, "ca");

        KeyPtr leafKey = newKey();
        CertPtr leaf = makeCertificate({"localhost", loopbackNames, false, -day, 365 * day}, leafKey.get(), ca.get(), caKey.get());
        leaf_ = identity(leaf.get(), leafKey.get(), folder_, "leaf");

        // Same key, later dates: what a server shows after renewing.
        CertPtr renewed = makeCertificate({"localhost", loopbackNames, false, -60, 2 * 365 * day}, leafKey.get(), ca.get(), caKey.get());
        renewedLeaf_ = identity(renewed.get(), leafKey.get(), folder_, "renewed-leaf");

        KeyPtr selfKey = newKey();
        CertPtr self = makeCertificate({"localhost", loopbackNames, false, -day, 365 * day}, selfKey.get(), nullptr, nullptr);
        selfSigned_ = identity(self.get(), selfKey.get(), folder_, "self-signed");

        KeyPtr wrongKey = newKey();
        CertPtr wrong = makeCertificate({"wrong.example", "DNS:wrong.example", false, -day, 365 * day}, wrongKey.get(), ca.get(), caKey.get());
        wrongHost_ = identity(wrong.get(), wrongKey.get(), folder_, "wrong-host");

        KeyPtr addressKey = newKey();
        CertPtr address = makeCertificate({"127.0.0.1", "IP:127.0.0.1", false, -day, 365 * day}, addressKey.get(), ca.get(), caKey.get());
        addressOnly_ = identity(address.get(), addressKey.get(), folder_, "address-only");

        KeyPtr nameKey = newKey();
        CertPtr name = makeCertificate({"localhost", "DNS:localhost", false, -day, 365 * day}, nameKey.get(), ca.get(), caKey.get());
        nameOnly_ = identity(name.get(), nameKey.get(), folder_, "name-only");
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
        throw;
    }
}

TestCertificates::~TestCertificates() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

}  // namespace testing
