#pragma once
// An answer to an authentication challenge: a user name and password, or
// the acceptance of a server's trust.

#include <cstdint>

#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"
#include "platform/security/Trust.h"

namespace ns {

enum URLCredentialPersistence : uint64_t {
    URLCredentialPersistenceNone = 0,
    URLCredentialPersistenceForSession = 1,
    URLCredentialPersistencePermanent = 2,
    URLCredentialPersistenceSynchronizable = 3,
};

class URLCredential : public Object {
    RT_DECLARE_CLASS(URLCredential)
public:
    URLCredential() = default;
    static Ref<URLCredential> credentialWithUser(Ref<String> user, Ref<String> password,
                                                 uint64_t persistence = URLCredentialPersistenceForSession);
    // Accepts the server whose trust this is, whatever an evaluation says.
    static Ref<URLCredential> credentialForTrust(sec::TrustRef trust);

    const Ref<String>& user() const { return user_; }
    const Ref<String>& password() const { return password_; }
    bool hasPassword() const { return password_ != nullptr; }
    uint64_t persistence() const { return persistence_; }
    // nil for a user credential.
    const sec::TrustRef& trust() const { return trust_; }

    std::string description() const override;
    Id copy() const override { return self(); }

private:
    Ref<String> user_;
    Ref<String> password_;
    uint64_t persistence_ = URLCredentialPersistenceNone;
    sec::TrustRef trust_;
};

}  // namespace ns
