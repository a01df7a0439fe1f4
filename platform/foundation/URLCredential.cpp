#include "platform/foundation/URLCredential.h"

#include "platform/foundation/Format.h"

namespace ns {

RT_DEFINE_CLASS(URLCredential, Object, "NSURLCredential")

Ref<URLCredential> URLCredential::credentialWithUser(Ref<String> user, Ref<String> password, uint64_t persistence) {
    auto credential = std::make_shared<URLCredential>();
    credential->user_ = std::move(user);
    credential->password_ = std::move(password);
    credential->persistence_ = persistence;
    return credential;
}

Ref<URLCredential> URLCredential::credentialForTrust(sec::TrustRef trust) {
    auto credential = std::make_shared<URLCredential>();
    credential->trust_ = std::move(trust);
    credential->persistence_ = URLCredentialPersistenceForSession;
    return credential;
}

std::string URLCredential::description() const {
    // The password is never printed.
    return format("<%@: %p>: %@", className(), static_cast<const void*>(this), user_);
}

}  // namespace ns
