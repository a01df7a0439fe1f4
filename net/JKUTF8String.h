#pragma once
// Text the codec has checked or written itself: well-formed UTF-8 of allowed
// code points, so it is not checked again on the way into a string. In every
// other way an ordinary immutable platform string, its class included.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/foundation/String.h"

class JKUTF8String final : public ns::String {
public:
    JKUTF8String(const uint8_t* bytes, size_t length);
    explicit JKUTF8String(std::string utf8);
};
