#pragma once
// Pieces of the platform's text forms shared by the collections, key-value
// coding and their exception messages. The collection description functions
// themselves are declared in Text.h.

#include <cstdint>
#include <string>

#include "platform/runtime/Object.h"

namespace ns {

// "0x7f..." as the platform prints a pointer.
std::string addressText(const void* pointer);
// "<__NSArrayM: 0x7f...>"
std::string classAndAddress(const Object& object);
// Bounds as exception texts put them: "[0 .. 2]" or "for empty array".
std::string boundsText(uint64_t count);

}  // namespace ns
