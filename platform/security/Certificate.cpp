#include "platform/security/Certificate.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cstring>

#include "platform/security/Key.h"
#include "platform/security/OpenSslError.h"

namespace sec {

RT_DEFINE_CLASS(Certificate, ns::Object, "SecCertificate")

namespace {

std::vector<std::uint8_t> derOf(X509* x509) {
    int length = i2d_X509(x509, nullptr);
    if (length <= 0) return {};
    std::vector<std::uint8_t> der(static_cast<std::size_t>(length));
    unsigned char* out = der.data();
    i2d_X509(x509, &out);
    return der;
}

std::string oneLine(const X509_NAME* name) {
    BIO* bio = BIO_new(BIO_s_mem());
    if (!bio) detail::throwOpenSslFailure("BIO_new");
    X509_NAME_print_ex(bio, name, 0, XN_FLAG_ONELINE & ~ASN1_STRFLGS_ESC_MSB);
    char* text = nullptr;
    long length = BIO_get_mem_data(bio, &text);
    std::string line(text, static_cast<std::size_t>(length > 0 ? length : 0));
    BIO_free(bio);
    return line;
}

}  // namespace

Certificate::Certificate(x509_st* x509, std::vector<std::uint8_t> der) : x509_(x509), der_(std::move(der)) {}

Certificate::~Certificate() { X509_free(x509_); }

ns::Ref<Certificate> Certificate::createWithData(ByteView der) {
    if (der.empty()) return nullptr;
    const unsigned char* in = der.data();
    X509* x509 = d2i_X509(nullptr, &in, static_cast<long>(der.size()));
    if (!x509 || in != der.end()) {
        // Bad input is the caller's data, not a library failure: leave no
        // error behind for the next unrelated call to trip over.
        X509_free(x509);
        ERR_clear_error();
        return nullptr;
    }
    return ns::Ref<Certificate>(new Certificate(x509, std::vector<std::uint8_t>(der.begin(), der.end())));
}

ns::Ref<Certificate> Certificate::createWithX509(x509_st* x509) {
    if (!x509) return nullptr;
    std::vector<std::uint8_t> der = derOf(x509);
    if (der.empty()) {
        ERR_clear_error();
        return nullptr;
    }
    X509_up_ref(x509);
    return ns::Ref<Certificate>(new Certificate(x509, std::move(der)));
}

std::vector<ns::Ref<Certificate>> Certificate::createAllWithPem(std::string_view pem) {
    std::vector<ns::Ref<Certificate>> out;
    static constexpr std::string_view begin = "-----BEGIN CERTIFICATE-----";
    static constexpr std::string_view end = "-----END CERTIFICATE-----";
    // Block by block, so one damaged entry does not hide the ones after it.
    std::size_t at = 0;
    while ((at = pem.find(begin, at)) != std::string_view::npos) {
        std::size_t stop = pem.find(end, at);
        if (stop == std::string_view::npos) break;
        std::string_view block = pem.substr(at, stop + end.size() - at);
        at = stop + end.size();
        BIO* bio = BIO_new_mem_buf(block.data(), static_cast<int>(block.size()));
        if (!bio) detail::throwOpenSslFailure("BIO_new_mem_buf");
        X509* x509 = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
        BIO_free(bio);
        if (!x509) {
            ERR_clear_error();
            continue;
        }
        if (auto certificate = createWithX509(x509)) out.push_back(std::move(certificate));
        X509_free(x509);
    }
    return out;
}

std::string Certificate::subjectSummary() const {
    const X509_NAME* subject = X509_get_subject_name(x509_);
    int index = X509_NAME_get_index_by_NID(subject, NID_commonName, -1);
    if (index >= 0) {
        const ASN1_STRING* value = X509_NAME_ENTRY_get_data(X509_NAME_get_entry(subject, index));
        unsigned char* utf8 = nullptr;
        int length = ASN1_STRING_to_UTF8(&utf8, value);
        if (length >= 0) {
            std::string name(reinterpret_cast<char*>(utf8), static_cast<std::size_t>(length));
            OPENSSL_free(utf8);
            return name;
        }
        ERR_clear_error();
    }
    return oneLine(subject);
}

ns::Ref<Key> Certificate::publicKey() const {
    EVP_PKEY* key = X509_get0_pubkey(x509_);
    if (!key) {
        ERR_clear_error();
        return nullptr;
    }
    return Key::createWithEvpKey(key);
}

std::string Certificate::description() const { return "<SecCertificate " + subjectSummary() + ">"; }

std::uint64_t Certificate::hash() const {
    // FNV-1a over the DER: stable across runs, and equal bytes hash alike.
    std::uint64_t h = 1469598103934665603ull;
    for (std::uint8_t byte : der_) h = (h ^ byte) * 1099511628211ull;
    return h;
}

bool Certificate::isEqual(const ns::Object* other) const {
    auto certificate = dynamic_cast<const Certificate*>(other);
    return certificate && certificate->der_ == der_;
}

}  // namespace sec
