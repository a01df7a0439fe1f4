#include "platform/security/Trust.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <memory>
#include <mutex>

#include "platform/security/OpenSslError.h"

namespace sec {

RT_DEFINE_CLASS(Trust, ns::Object, "SecTrust")

namespace {

constexpr const char* systemBundlePath = "/etc/ssl/certs/ca-certificates.crt";

struct StoreFree {
    void operator()(X509_STORE* store) const { X509_STORE_free(store); }
};
struct ContextFree {
    void operator()(X509_STORE_CTX* context) const { X509_STORE_CTX_free(context); }
};
struct StackFree {
    void operator()(STACK_OF(X509) * stack) const { sk_X509_free(stack); }
};
using StorePtr = std::unique_ptr<X509_STORE, StoreFree>;

// Loaded once: the bundle holds well over a hundred certificates and every
// default evaluation needs it. Never changed after loading, so it is shared
// by concurrent evaluations without a lock.
X509_STORE* systemStore() {
    static X509_STORE* store = [] {
        X509_STORE* s = X509_STORE_new();
        if (!s) detail::throwOpenSslFailure("X509_STORE_new");
        // A missing bundle leaves no anchors: every chain is then untrusted,
        // which is the safe reading of a system without CAs.
        if (X509_STORE_load_file(s, systemBundlePath) != 1) ERR_clear_error();
        return s;
    }();
    return store;
}

// Anchors a test added to the system's; empty in the app.
struct TestAnchors {
    std::mutex lock;
    std::vector<CertificateRef> certificates;
};

TestAnchors& testAnchors() {
    static TestAnchors* anchors = new TestAnchors;
    return *anchors;
}

std::vector<CertificateRef> systemAnchorsAddedForTesting() {
    TestAnchors& added = testAnchors();
    std::lock_guard guard(added.lock);
    return added.certificates;
}

StorePtr storeWith(const std::vector<CertificateRef>& anchors, bool withSystem) {
    StorePtr store(X509_STORE_new());
    if (!store) detail::throwOpenSslFailure("X509_STORE_new");
    if (withSystem) {
        X509_STORE* system = systemStore();
        STACK_OF(X509)* systemCerts = X509_STORE_get1_all_certs(system);
        if (systemCerts) {
            for (int i = 0; i < sk_X509_num(systemCerts); ++i) X509_STORE_add_cert(store.get(), sk_X509_value(systemCerts, i));
            sk_X509_pop_free(systemCerts, X509_free);
        }
    }
    for (const auto& anchor : anchors) X509_STORE_add_cert(store.get(), anchor->x509());
    // Adding a certificate already present reports an error we do not care about.
    ERR_clear_error();
    return store;
}

TrustResult resultForError(int error) {
    switch (error) {
    case X509_V_ERR_CERT_SIGNATURE_FAILURE:
    case X509_V_ERR_CRL_SIGNATURE_FAILURE:
    case X509_V_ERR_CERT_REVOKED:
    case X509_V_ERR_UNABLE_TO_DECRYPT_CERT_SIGNATURE:
    case X509_V_ERR_UNABLE_TO_DECODE_ISSUER_PUBLIC_KEY:
    case X509_V_ERR_ERROR_IN_CERT_NOT_BEFORE_FIELD:
    case X509_V_ERR_ERROR_IN_CERT_NOT_AFTER_FIELD:
    case X509_V_ERR_INVALID_EXTENSION:
        return TrustResult::FatalTrustFailure;
    default:
        return TrustResult::RecoverableTrustFailure;
    }
}

bool isIpAddress(const std::string& host) {
    unsigned char buffer[16];
    return inet_pton(AF_INET, host.c_str(), buffer) == 1 || inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

struct Verdict {
    TrustResult result = TrustResult::OtherError;
    std::string reason;
    std::vector<CertificateRef> chain;
};

Verdict verifyOnce(X509_STORE* store, const std::vector<CertificateRef>& certificates, const Policy* policy,
                   bool partialChain) {
    Verdict verdict;
    std::unique_ptr<STACK_OF(X509), StackFree> untrusted(sk_X509_new_null());
    std::unique_ptr<X509_STORE_CTX, ContextFree> context(X509_STORE_CTX_new());
    if (!untrusted || !context) detail::throwOpenSslFailure("X509_STORE_CTX_new");
    for (std::size_t i = 1; i < certificates.size(); ++i) sk_X509_push(untrusted.get(), certificates[i]->x509());
    if (X509_STORE_CTX_init(context.get(), store, certificates.front()->x509(), untrusted.get()) != 1) {
        ERR_clear_error();
        verdict.reason = "the verification context could not be set up";
        return verdict;
    }
    X509_VERIFY_PARAM* param = X509_STORE_CTX_get0_param(context.get());
    if (partialChain) X509_VERIFY_PARAM_set_flags(param, X509_V_FLAG_PARTIAL_CHAIN);
    if (policy && policy->kind() == Policy::Kind::Ssl) {
        X509_STORE_CTX_set_purpose(context.get(), policy->isServer() ? X509_PURPOSE_SSL_SERVER : X509_PURPOSE_SSL_CLIENT);
        const std::string& host = policy->hostName();
        if (!host.empty()) {
            int set = isIpAddress(host) ? X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str())
                                        : X509_VERIFY_PARAM_set1_host(param, host.c_str(), host.size());
            if (set != 1) {
                ERR_clear_error();
                verdict.result = TrustResult::RecoverableTrustFailure;
                verdict.reason = "the host name cannot be checked: " + host;
                return verdict;
            }
        }
    }

    int verified = X509_verify_cert(context.get());
    if (verified == 1) {
        verdict.result = TrustResult::Unspecified;
        STACK_OF(X509)* chain = X509_STORE_CTX_get0_chain(context.get());
        for (int i = 0; chain && i < sk_X509_num(chain); ++i)
            if (auto certificate = Certificate::createWithX509(sk_X509_value(chain, i)))
                verdict.chain.push_back(std::move(certificate));
    } else {
        int error = X509_STORE_CTX_get_error(context.get());
        verdict.result = verified < 0 && error == X509_V_OK ? TrustResult::OtherError : resultForError(error);
        verdict.reason = X509_verify_cert_error_string(error);
    }
    ERR_clear_error();
    return verdict;
}

}  // namespace

Trust::Trust(std::vector<CertificateRef> certificates, std::vector<PolicyRef> policies)
    : certificates_(std::move(certificates)), policies_(std::move(policies)) {}

ns::Ref<Trust> Trust::createWithCertificates(std::vector<CertificateRef> certificates, std::vector<PolicyRef> policies) {
    if (certificates.empty()) return nullptr;
    for (const auto& certificate : certificates)
        if (!certificate) return nullptr;
    std::erase(policies, nullptr);
    return std::make_shared<Trust>(std::move(certificates), std::move(policies));
}

void Trust::setPolicies(std::vector<PolicyRef> policies) {
    std::erase(policies, nullptr);
    std::lock_guard guard(lock_);
    policies_ = std::move(policies);
    forgetEvaluationLocked();
}

std::vector<PolicyRef> Trust::policies() const {
    std::lock_guard guard(lock_);
    return policies_;
}

void Trust::setAnchorCertificates(std::vector<CertificateRef> anchors) {
    std::erase(anchors, nullptr);
    std::lock_guard guard(lock_);
    anchors_ = std::move(anchors);
    customAnchors_ = true;
    anchorsOnly_ = true;
    forgetEvaluationLocked();
}

void Trust::setAnchorCertificatesOnly(bool only) {
    std::lock_guard guard(lock_);
    anchorsOnly_ = only;
    forgetEvaluationLocked();
}

void Trust::forgetEvaluationLocked() {
    result_ = TrustResult::Invalid;
    failureReason_.clear();
    builtChain_.clear();
}

TrustResult Trust::evaluate() {
    std::lock_guard guard(lock_);
    StorePtr custom;
    X509_STORE* store = systemStore();
    const bool withSystem = !customAnchors_ || !anchorsOnly_;
    std::vector<CertificateRef> anchors;
    if (withSystem) anchors = systemAnchorsAddedForTesting();
    if (customAnchors_ || !anchors.empty()) {
        anchors.insert(anchors.end(), anchors_.begin(), anchors_.end());
        custom = storeWith(anchors, withSystem);
        store = custom.get();
    }

    std::vector<const Policy*> checks;
    for (const auto& policy : policies_) checks.push_back(policy.get());
    if (checks.empty()) checks.push_back(nullptr);

    Verdict verdict;
    for (const Policy* policy : checks) {
        verdict = verifyOnce(store, certificates_, policy, customAnchors_);
        if (!isTrusted(verdict.result)) break;
    }
    result_ = verdict.result;
    failureReason_ = isTrusted(verdict.result) ? std::string() : verdict.reason;
    builtChain_ = isTrusted(verdict.result) ? std::move(verdict.chain) : std::vector<CertificateRef>();
    return result_;
}

void addSystemAnchorForTesting(CertificateRef anchor) {
    if (!anchor) return;
    TestAnchors& added = testAnchors();
    std::lock_guard guard(added.lock);
    added.certificates.push_back(std::move(anchor));
}

void removeSystemAnchorForTesting(const CertificateRef& anchor) {
    TestAnchors& added = testAnchors();
    std::lock_guard guard(added.lock);
    auto found = std::find(added.certificates.begin(), added.certificates.end(), anchor);
    if (found != added.certificates.end()) added.certificates.erase(found);
}

TrustResult Trust::result() const {
    std::lock_guard guard(lock_);
    return result_;
}

std::string Trust::failureReason() const {
    std::lock_guard guard(lock_);
    return failureReason_;
}

std::size_t Trust::certificateCount() const {
    std::lock_guard guard(lock_);
    return builtChain_.empty() ? certificates_.size() : builtChain_.size();
}

CertificateRef Trust::certificateAtIndex(std::size_t index) const {
    std::lock_guard guard(lock_);
    const auto& chain = builtChain_.empty() ? certificates_ : builtChain_;
    return index < chain.size() ? chain[index] : nullptr;
}

KeyRef Trust::copyPublicKey() const {
    std::lock_guard guard(lock_);
    return certificates_.front()->publicKey();
}

std::string Trust::description() const {
    std::lock_guard guard(lock_);
    return "<SecTrust " + certificates_.front()->subjectSummary() + " result " +
           std::to_string(static_cast<unsigned>(result_)) + ">";
}

}  // namespace sec
