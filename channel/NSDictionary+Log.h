#pragma once
// The channel SDK's log forms of dictionaries and arrays:
//   "{\n" + "\t<key> : <value>,\n" per entry + "}" and
//   "[\n" + "\t<element>,\n" per element + "]",
// each with the last "," of the whole text deleted. Installed as the
// process's collection-description hook when the library loads, as linking
// the categories does on the device (the last library loaded wins).

#include <string>

#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"

namespace TVLog {

std::string dictionaryDescription(const ns::Dictionary& dictionary);
std::string arrayDescription(const ns::Array& array);
void install();

}  // namespace TVLog
