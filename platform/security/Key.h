#pragma once
// A public key taken from a certificate. Two keys are equal when their
// SubjectPublicKeyInfo encodings are, which is what pinning by public key
// compares: a renewed certificate that keeps its key gives an equal key.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

struct evp_pkey_st;

namespace sec {

class Key final : public ns::Object {
    RT_DECLARE_CLASS(Key)
public:
    // Takes a reference of its own on `key`; nil for nullptr or a key that
    // cannot be encoded.
    static ns::Ref<Key> createWithEvpKey(evp_pkey_st* key);

    ~Key() override;

    // The DER SubjectPublicKeyInfo.
    const std::vector<std::uint8_t>& externalRepresentation() const { return spki_; }
    // "RSA", "EC", "ED25519"...
    std::string algorithmName() const;
    int bitSize() const;
    // Borrowed; lives as long as this key.
    evp_pkey_st* evpKey() const { return key_; }

    std::string description() const override;
    std::uint64_t hash() const override;
    bool isEqual(const ns::Object* other) const override;
    ns::Id copy() const override { return self(); }

private:
    Key(evp_pkey_st* key, std::vector<std::uint8_t> spki);

    evp_pkey_st* key_;
    std::vector<std::uint8_t> spki_;
};

using KeyRef = ns::Ref<Key>;

}  // namespace sec
