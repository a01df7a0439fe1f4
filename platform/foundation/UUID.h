#pragma once
// Universally unique identifiers: random (version 4) UUIDs in the platform's
// upper-case text form, "E621E1F8-C36C-495A-93FC-0C247A3E6E5F".

#include <string>

namespace ns {

// A fresh random UUID's text.
std::string UUIDString();

}  // namespace ns
