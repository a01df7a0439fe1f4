#include "net/JKUTF8String.h"

#include "platform/foundation/Unicode.h"

JKUTF8String::JKUTF8String(const uint8_t* bytes, size_t length) {
    utf8_.assign(reinterpret_cast<const char*>(bytes), length);
    length16_ = ns::unicode::utf16Length(utf8_, &ascii_);
}

JKUTF8String::JKUTF8String(std::string utf8) {
    utf8_ = std::move(utf8);
    length16_ = ns::unicode::utf16Length(utf8_, &ascii_);
}
