// The task loader's challenges: the server's TLS trust and HTTP
// authentication, each asked of the delegate.

#include "platform/foundation/URLSessionTaskLoader.h"

#include "platform/foundation/URLError.h"
#include "platform/foundation/ServerTrust.h"
#include "platform/foundation/URLSessionTaskLoaderSupport.h"

namespace ns::detail {

using namespace loading;

namespace {

int64_t portOf(const URL& url) {
    if (auto port = url.port()) return port->longLongValue();
    return schemeOf(url) == "https" ? 443 : 80;
}

std::string quotedParameter(std::string_view value, std::string_view name) {
    const std::string lower = lowered(value);
    size_t at = lower.find(std::string(name) + "=");
    if (at == std::string::npos) return {};
    std::string_view rest = value.substr(at + name.size() + 1);
    if (!rest.empty() && rest.front() == '"') {
        rest.remove_prefix(1);
        return std::string(rest.substr(0, rest.find('"')));
    }
    return std::string(rest.substr(0, rest.find_first_of(", ")));
}

}  // namespace

bool URLSessionTaskLoader::transferShouldTrustServer(std::vector<sec::CertificateRef> chain) {
    if (done_) return false;
    const Ref<URL>& url = request_->URL();
    const std::string host = hostOf(*url);
    auto trust = serverTrust(std::move(chain), host);
    if (!trust) {
        trustFailure_ = URLErrorServerCertificateUntrusted;
        return false;
    }
    auto space = URLProtectionSpace::make(host, portOf(*url), "https", nullptr, URLAuthenticationMethodServerTrust, trust);
    auto challenge = URLAuthenticationChallenge::make(space, nullptr, 0, nullptr, nullptr);
    {
        std::lock_guard guard(lock_);
        trustAnswered_ = false;
        trustCredential_ = nullptr;
    }
    auto self = shared_from_this();
    offerChallenge(challenge, true, [self](URLSessionAuthChallengeDisposition disposition, Ref<URLCredential> credential) {
        {
            std::lock_guard guard(self->lock_);
            self->trustAnswered_ = true;
            self->trustDisposition_ = disposition;
            self->trustCredential_ = std::move(credential);
            self->awaitingApp_ = false;
        }
        self->holdIo(true);
        self->trustDecided_.notify_all();
    });
    // The handshake (and this thread) waits for the delegate's word.
    session_->flushDeliveries();
    std::unique_lock hold(lock_);
    trustDecided_.wait(hold, [this] { return trustAnswered_ || cancelRequested_; });
    if (cancelRequested_) {
        trustFailure_ = URLErrorCancelled;
        return false;
    }
    const auto disposition = trustDisposition_;
    const Ref<URLCredential> credential = trustCredential_;
    hold.unlock();

    switch (disposition) {
    case URLSessionAuthChallengeDisposition::UseCredential:
        if (credential && credential->trust()) return true;
        [[fallthrough]];
    case URLSessionAuthChallengeDisposition::PerformDefaultHandling: {
        if (passesDefaultEvaluation(*trust, session_->currentConfiguration()->additionalTrustAnchors())) return true;
        trustFailure_ = URLErrorServerCertificateUntrusted;
        failedTrust_ = trust;
        return false;
    }
    case URLSessionAuthChallengeDisposition::CancelAuthenticationChallenge:
        trustFailure_ = URLErrorCancelled;
        return false;
    case URLSessionAuthChallengeDisposition::RejectProtectionSpace:
        trustFailure_ = URLErrorServerCertificateUntrusted;
        failedTrust_ = trust;
        return false;
    }
    return false;
}

void URLSessionTaskLoader::askForCredential() {
    auto response = pendingHead_;
    const Ref<URL>& url = request_->URL();
    const std::string* authenticate = response->headerFields().value("WWW-Authenticate");
    const std::string realm = authenticate ? quotedParameter(*authenticate, "realm") : std::string();
    auto space = URLProtectionSpace::make(hostOf(*url), portOf(*url), schemeOf(*url),
                                          realm.empty() ? nullptr : String::make(realm), URLAuthenticationMethodHTTPBasic);
    Ref<URLCredential> proposed;
    if (url->user() && url->password()) proposed = URLCredential::credentialWithUser(url->user(), url->password());
    auto challenge = URLAuthenticationChallenge::make(space, proposed, authFailures_,
                                                      authFailures_ > 0 ? response : nullptr, nullptr);
    auto self = shared_from_this();
    offerChallenge(challenge, false, [self](URLSessionAuthChallengeDisposition disposition, Ref<URLCredential> credential) {
        self->answered([disposition, credential](URLSessionTaskLoader& loader) { loader.onCredential(disposition, credential); });
    });
}

void URLSessionTaskLoader::offerChallenge(
    Ref<URLAuthenticationChallenge> challenge, bool sessionWide,
    std::function<void(URLSessionAuthChallengeDisposition, Ref<URLCredential>)> onAnswer) {
    auto task = task_;
    auto session = session_;
    beginAwaitingApp();
    deliver([task, session, challenge, sessionWide, onAnswer = std::move(onAnswer)] {
        auto answer = firstCallOnly<URLSessionAuthChallengeDisposition, Ref<URLCredential>>(onAnswer);
        Ref<URLSessionDelegate> delegate = session->delegate();
        bool offered = sessionWide && delegate && delegate->didReceiveChallenge(session, challenge, answer);
        if (!offered) {
            auto* taskDelegate = dynamic_cast<URLSessionTaskDelegate*>(delegate.get());
            offered = taskDelegate && taskDelegate->taskDidReceiveChallenge(session, task, challenge, answer);
        }
        if (!offered) answer(URLSessionAuthChallengeDisposition::PerformDefaultHandling, nullptr);
    });
    endAwaitingApp();
}

void URLSessionTaskLoader::onCredential(URLSessionAuthChallengeDisposition disposition, Ref<URLCredential> credential) {
    if (done_) return;
    auto use = [this](const Ref<String>& user, const Ref<String>& password) {
        const std::string pair = (user ? user->utf8() : std::string()) + ":" + (password ? password->utf8() : std::string());
        authorization_ = "Basic " + Data::withBytes(pair)->base64EncodedString();
        ++authFailures_;
        prepareBody();
    };
    const Ref<URL>& url = request_->URL();
    switch (disposition) {
    case URLSessionAuthChallengeDisposition::UseCredential:
        if (credential && credential->user()) return use(credential->user(), credential->password());
        return finalWithHeldBody();
    case URLSessionAuthChallengeDisposition::PerformDefaultHandling:
        if (authFailures_ == 0 && url->user() && url->password()) return use(url->user(), url->password());
        return finalWithHeldBody();
    case URLSessionAuthChallengeDisposition::RejectProtectionSpace:
        return finalWithHeldBody();
    case URLSessionAuthChallengeDisposition::CancelAuthenticationChallenge:
        return complete(error(URLErrorCancelled));
    }
}

}  // namespace ns::detail
