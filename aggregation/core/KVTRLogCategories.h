#pragma once
// The aggregation SDK's log forms of arrays and dictionaries, and its
// null-stripping copy of a dictionary.
//
// Loading the aggregation library installs the log forms as the
// collection-description hook of the foundation: from then on every array
// and dictionary in the process describes itself this way (elements by
// their own "%@" text, texts unquoted), in logs and in "%@" formats alike.

#include <string>

#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/MutableDictionary.h"

namespace KVTRLog {

// "(\n" + "\t<element>,\n" per element + ")"
std::string arrayDescription(const ns::Array& array);
// "{\n" + "\t<key> = <value>;\n" per entry + "}\n"
std::string dictionaryDescription(const ns::Dictionary& dictionary);
// Installs both as the process's collection-description hook (done once at
// load; callable again after a test or another library replaced the hook).
void install();

}  // namespace KVTRLog

namespace KVTRDealNull {

// A mutable copy with the same keys in the same order, where JSON null and
// the text "(null)" become "" and every other value stays.
ns::Ref<ns::MutableDictionary> deleteNull(const ns::Dictionary& dictionary);

}  // namespace KVTRDealNull
