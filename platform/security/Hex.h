#pragma once
// Hexadecimal text of bytes, two digits per byte ("%02x" / "%02X").

#include <string>

#include "platform/security/ByteView.h"

namespace sec {

std::string hexLower(ByteView bytes);
std::string hexUpper(ByteView bytes);

}  // namespace sec
