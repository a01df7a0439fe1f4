#pragma once
// Shared helpers of the JSON codec tests: parse text and read the error.

#include <cstdint>
#include <string>
#include <string_view>

#include "net/JKCodecOptions.h"
#include "net/JSONDecoder.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"

namespace jsontest {

struct Parsed {
    ns::Id value;
    ns::Ref<ns::Error> error;

    std::string message() const { return error ? error->localizedDescription() : std::string(); }
    uint64_t index() const { return number(JKAtIndexKey); }
    uint64_t line() const { return number(JKLineNumberKey); }

private:
    uint64_t number(const char* key) const {
        auto n = error ? ns::cast<ns::Number>(error->userInfo()->objectForKey(key)) : nullptr;
        return n ? n->unsignedLongLongValue() : UINT64_MAX;
    }
};

inline Parsed parse(std::string_view text, JKParseOptionFlags options = 0) {
    JSONDecoder decoder(options);
    Parsed p;
    p.value = decoder.objectWithUTF8String(text.data(), text.size(), &p.error);
    return p;
}

// The message of a parse that must fail ("" when it succeeded).
inline std::string errorOf(std::string_view text, JKParseOptionFlags options = 0) {
    Parsed p = parse(text, options);
    return p.value ? std::string() : p.message();
}

}  // namespace jsontest
