#pragma once
// The keychain's file format and its atomic replacement. One line of header,
// then one line per item: the class, service, account, accessibility and data
// as hexadecimal fields ("-" for an empty one), separated by single spaces.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/security/Keychain.h"

namespace sec::detail {

std::string encodeKeychain(const std::vector<KeychainItem>& items);
// nullopt when the text is not a keychain this code wrote; `why` says where.
std::optional<std::vector<KeychainItem>> decodeKeychain(std::string_view text, std::string* why);

enum class ReadOutcome { Read, Missing, Failed };
ReadOutcome readWholeFile(const std::string& path, std::string* contents);
// Writes a sibling temporary file (0600), flushes it and renames it over
// `path`, creating missing folders (0700). False, leaving `path` as it was,
// on any failure.
bool replaceFileAtomically(const std::string& path, std::string_view contents);

}  // namespace sec::detail
