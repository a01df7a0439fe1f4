#include "platform/security/Key.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

namespace sec {

RT_DEFINE_CLASS(Key, ns::Object, "SecKey")

Key::Key(evp_pkey_st* key, std::vector<std::uint8_t> spki) : key_(key), spki_(std::move(spki)) {}

Key::~Key() { EVP_PKEY_free(key_); }

ns::Ref<Key> Key::createWithEvpKey(evp_pkey_st* key) {
    if (!key) return nullptr;
    int length = i2d_PUBKEY(key, nullptr);
    if (length <= 0) {
        ERR_clear_error();
        return nullptr;
    }
    std::vector<std::uint8_t> spki(static_cast<std::size_t>(length));
    unsigned char* out = spki.data();
    i2d_PUBKEY(key, &out);
    EVP_PKEY_up_ref(key);
    return ns::Ref<Key>(new Key(key, std::move(spki)));
}

std::string Key::algorithmName() const {
    const char* name = EVP_PKEY_get0_type_name(key_);
    return name ? name : "unknown";
}

int Key::bitSize() const { return EVP_PKEY_get_bits(key_); }

std::string Key::description() const {
    return "<SecKey " + algorithmName() + " " + std::to_string(bitSize()) + " bits>";
}

std::uint64_t Key::hash() const {
    std::uint64_t h = 1469598103934665603ull;
    for (std::uint8_t byte : spki_) h = (h ^ byte) * 1099511628211ull;
    return h;
}

bool Key::isEqual(const ns::Object* other) const {
    auto key = dynamic_cast<const Key*>(other);
    return key && key->spki_ == spki_;
}

}  // namespace sec
