#pragma once
// The process's credentials for servers that ask who the client is (not for
// server trust), one per protection space: host, port, protocol, realm and
// authentication method. Kept in memory for the life of the process, as
// there is no keychain for them: a permanent credential is kept as a
// session one, and one of no persistence is not kept. Thread-safe.

#include <map>
#include <mutex>
#include <string>
#include <tuple>

#include "platform/foundation/URLCredential.h"
#include "platform/foundation/URLProtectionSpace.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

class URLCredentialStorage : public Object {
    RT_DECLARE_CLASS(URLCredentialStorage)
public:
    URLCredentialStorage() = default;
    static Ref<URLCredentialStorage> sharedCredentialStorage();

    // The credential a challenge of `space` is answered with; nil when none.
    Ref<URLCredential> defaultCredentialForProtectionSpace(const URLProtectionSpace& space) const;
    // Replaces the space's credential; nothing for a credential without a
    // user or of no persistence, or for a server-trust space.
    void setDefaultCredential(const Ref<URLCredential>& credential, const URLProtectionSpace& space);
    // Removes the space's credential when it has the same user and password.
    void removeCredential(const URLCredential& credential, const URLProtectionSpace& space);
    void resetForTesting();

private:
    using Key = std::tuple<std::string, int64_t, std::string, std::string, bool, std::string>;
    static Key keyOf(const URLProtectionSpace& space);

    mutable std::mutex lock_;
    std::map<Key, Ref<URLCredential>> credentials_;
};

}  // namespace ns
