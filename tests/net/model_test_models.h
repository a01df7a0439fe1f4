#pragma once
// Models shaped like the user centre's list items, shared by the model
// mapping tests.

#include <cstdint>

#include "net/ModelMapping.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/String.h"
#include "platform/foundation/URL.h"

namespace mmt {

// The game a gift pack belongs to.
class Game : public ns::Object, public ns::Coding {
    RT_DECLARE_CLASS(Game)
public:
    ns::Ref<ns::String> name;
    ns::Ref<ns::URL> icon;

    void encodeWithCoder(ns::KeyedArchiver& coder) const override { qz_encode(*this, coder); }
    bool initWithCoder(ns::KeyedUnarchiver& coder) override { return qz_decode(*this, coder); }
    bool supportsSecureCoding() const override { return true; }
};

// One code of a gift pack.
class GiftCode : public ns::Object, public ns::Coding {
    RT_DECLARE_CLASS(GiftCode)
public:
    ns::Ref<ns::String> code;
    int64_t used = 0;

    void encodeWithCoder(ns::KeyedArchiver& coder) const override { qz_encode(*this, coder); }
    bool initWithCoder(ns::KeyedUnarchiver& coder) override { return qz_decode(*this, coder); }
    bool supportsSecureCoding() const override { return true; }
};

// A row of the gift-pack list: the reply's "id" becomes cardId.
class GiftItem : public ns::Object, public ns::Coding {
    RT_DECLARE_CLASS(GiftItem)
public:
    ns::Ref<ns::String> cardId;
    ns::Ref<ns::String> name;
    ns::Ref<ns::String> content;
    int32_t remain = -1;
    bool received = false;
    ns::Ref<Game> game;
    ns::Ref<ns::Array> codes;

    static ns::Ref<ns::Dictionary> qz_replacedKeyFromPropertyName() {
        return ns::Dictionary::make({{"cardId", ns::str("id")}});
    }
    static ns::Ref<ns::Dictionary> qz_objectClassInArray() {
        return ns::Dictionary::make({{"codes", ns::str("MMTGiftCode")}});
    }

    void encodeWithCoder(ns::KeyedArchiver& coder) const override { qz_encode(*this, coder); }
    bool initWithCoder(ns::KeyedUnarchiver& coder) override { return qz_decode(*this, coder); }
    bool supportsSecureCoding() const override { return true; }
};

// A row of the server-opening list: a key path into a nested reply, and
// a hook that runs after filling.
class ServerItem : public ns::Object {
    RT_DECLARE_CLASS(ServerItem)
public:
    ns::Ref<ns::String> serverName;
    ns::Ref<ns::String> openTime;
    int64_t serverId = 0;
    int filled = 0;

    static ns::Ref<ns::Dictionary> qz_replacedKeyFromPropertyName() {
        return ns::Dictionary::make({{"serverName", ns::str("data.list[0][1].name")},
                                     {"openTime", ns::Array::make({ns::str("time"), ns::str("data.open")})},
                                     {"serverId", ns::str("id")}});
    }
    void qz_keyValuesDidFinishConvertingToObject() { ++filled; }
};

}  // namespace mmt
