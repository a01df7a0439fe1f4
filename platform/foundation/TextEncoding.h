#pragma once
// The encodings String converts to and from beyond UTF-8, ASCII, Latin-1 and
// UTF-16: UTF-32 here, the others through the C library's iconv.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/foundation/String.h"

namespace ns {

// The CF number of GB 18030-2000, as the older C calls name it.
inline constexpr uint32_t CFStringEncodingGB_18030_2000 = 0x0632;

// The platform's conversion from a CF encoding number: the encodings that
// have a number of their own get it, any other is 0x80000000 | number.
StringEncoding stringEncodingFromCFStringEncoding(uint32_t cfEncoding);

namespace textencoding {

// Encodes UTF-8 text. A character with no form in the encoding fails the
// conversion, or with `lossy` becomes "?". False also for an encoding
// nothing here knows.
bool encode(std::string_view utf8, StringEncoding encoding, bool lossy, std::string& out);
// Decodes bytes into UTF-8; false when they are not valid in the encoding.
bool decode(std::string_view bytes, StringEncoding encoding, std::string& out);

}  // namespace textencoding

}  // namespace ns
